#include "tools/bridge/bridge_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

#include "keys/key_table.h"
#include "platform/ks_trace.h"
#include "tools/bridge/lease_table.h"
#include "tools/commands/key_names.h"

namespace velmora::bridge {

namespace {

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

QString StatusText(Status status)
{
    return QString::fromStdString(StatusName(status));
}

QString PacketText(const RegisterPacket& packet)
{
    return QString::fromStdString(HexBytes(packet.data(), packet.size()));
}

// ok, the device and, when it failed, the error.
QJsonObject Answer(const DeviceInfo& device, const std::optional<BridgeFailure>& failure)
{
    QJsonObject answer;
    answer.insert("ok", !failure.has_value());
    if (!device.id.empty()) answer.insert("device", DeviceJson(device));
    if (failure) answer.insert("error", FailureJson(*failure));
    return answer;
}

QJsonObject KeyJson(int keyIndex)
{
    const KeyDefinition& key = Keys[static_cast<std::size_t>(keyIndex)];
    QJsonObject object;
    object.insert("key", Text(velmoractl::ShortKeyName(key)));
    object.insert("button", Text(key.objectName));
    object.insert("caption", Text(key.caption));
    return object;
}

QJsonObject WriteJson(const KeyWrite& write, bool withKey)
{
    QJsonObject event;
    if (withKey) event.insert("key", Text(velmoractl::ShortKeyName(Keys[write.keyIndex])));
    event.insert("event", write.press ? "press" : "release");
    event.insert("sent", write.writes);
    if (write.writes) {
        event.insert("data", write.data);
        event.insert("packet", PacketText(write.packet));
        event.insert("status", StatusText(write.status));
    }
    return event;
}

// The step of a nudge's one-step macro (no name), or nullopt for a named macro.
std::optional<MacroStep> NudgeOf(const MacroOutcome& outcome)
{
    if (!outcome.name.empty() || outcome.nudge.kind != MacroStep::Kind::Nudge) return std::nullopt;
    return outcome.nudge;
}

QJsonArray HeldJson(const std::vector<HeldBy>& held, bool withDevice)
{
    QJsonArray list;
    for (const HeldBy& hold : held) {
        QJsonObject entry;
        if (withDevice) entry.insert("device", QString::fromStdString(hold.deviceId));
        entry.insert("key", Text(velmoractl::ShortKeyName(Keys[static_cast<std::size_t>(hold.keyIndex)])));
        entry.insert("client", QString::fromStdString(hold.client));
        list.append(entry);
    }
    return list;
}

}  // namespace

QJsonObject DeviceJson(const DeviceInfo& device)
{
    QJsonObject object;
    object.insert("id", QString::fromStdString(device.id));
    object.insert("index", device.index);
    object.insert("label", QString::fromStdString(device.label));
    object.insert("path", QString::fromStdString(device.path));
    return object;
}

QJsonObject FailureJson(const BridgeFailure& failure)
{
    QJsonObject error;
    error.insert("cause", QString::fromStdString(failure.cause));
    error.insert("message", QString::fromStdString(failure.message));
    if (failure.status) error.insert("status", StatusText(*failure.status));
    return error;
}

QJsonObject FailureAnswer(const BridgeFailure& failure)
{
    return Answer({}, failure);
}

QJsonObject KeyAnswer(const KeyOutcome& outcome)
{
    QJsonObject answer = Answer(outcome.device, outcome.failure);
    if (outcome.keyIndex >= 0 && outcome.keyIndex < KeyCount) {
        const QJsonObject key = KeyJson(outcome.keyIndex);
        for (auto field = key.begin(); field != key.end(); ++field) answer.insert(field.key(), field.value());
    }
    answer.insert("action", Text(KeyActionName(outcome.action)));
    QJsonArray events;
    for (const KeyWrite& write : outcome.writes)
        events.append(WriteJson(write, write.keyIndex != outcome.keyIndex));
    answer.insert("events", events);
    return answer;
}

QJsonObject MacroAnswer(const MacroOutcome& outcome)
{
    QJsonObject answer = Answer(outcome.device, outcome.failure);
    const std::optional<MacroStep> nudge = NudgeOf(outcome);
    if (nudge) {
        answer.insert("key", Text(velmoractl::ShortKeyName(Keys[static_cast<std::size_t>(nudge->key)])));
        answer.insert("action", "nudge");
        answer.insert("ms", nudge->ms);
    } else {
        answer.insert("macro", QString::fromStdString(outcome.name));
    }
    answer.insert("finished", outcome.finished);
    if (outcome.end) answer.insert("reason", Text(MacroEndName(*outcome.end)));
    if (!outcome.endedBy.empty()) answer.insert("by", QString::fromStdString(outcome.endedBy));
    QJsonArray events;
    for (std::size_t i = 0; i < outcome.writes.size(); ++i) {
        QJsonObject event = WriteJson(outcome.writes[i], true);
        const int step = i < outcome.steps.size() ? outcome.steps[i] : -1;
        if (step >= 0) {
            event.insert("step", step);
        } else {
            event.insert("cancel", true);
        }
        events.append(event);
    }
    answer.insert("events", events);
    return answer;
}

QJsonObject MacrosAnswer(const MacroBook& book, const std::vector<RunningMacro>& running)
{
    QJsonArray list;
    for (const Macro& macro : book.macros) {
        QJsonObject entry;
        entry.insert("name", QString::fromStdString(macro.name));
        entry.insert("steps", static_cast<int>(macro.steps.size()));
        entry.insert("ms", static_cast<double>(MacroDurationMs(macro)));
        list.append(entry);
    }
    QJsonArray now;
    for (const RunningMacro& run : running) {
        QJsonObject entry;
        if (run.name.empty()) {
            entry.insert("action", "nudge");
        } else {
            entry.insert("macro", QString::fromStdString(run.name));
        }
        entry.insert("device", QString::fromStdString(run.device.id));
        entry.insert("client", QString::fromStdString(run.client));
        now.append(entry);
    }
    QJsonObject answer;
    answer.insert("ok", true);
    answer.insert("macros", list);
    answer.insert("running", now);
    return answer;
}

QJsonObject StatusAnswer(const StatusOutcome& outcome)
{
    QJsonObject answer = Answer(outcome.device, outcome.failure);
    QJsonArray registers;
    for (const RegisterRead& read : outcome.registers) {
        QJsonObject entry;
        entry.insert("address", static_cast<int>(read.address));
        entry.insert("packet", PacketText(read.packet));
        entry.insert("status", StatusText(read.status));
        if (read.status == StatusOk) {
            entry.insert("value", static_cast<double>(read.value));
        } else {
            entry.insert("error", QString::fromStdString(read.cause));
        }
        registers.append(entry);
    }
    if (!outcome.registers.empty()) answer.insert("registers", registers);
    return answer;
}

QJsonObject ZoomAnswer(const ZoomOutcome& outcome)
{
    QJsonObject answer = Answer(outcome.device, outcome.failure);
    if (outcome.failure) return answer;
    answer.insert("value", outcome.zoom.value);
    answer.insert("minimum", outcome.zoom.minimum);
    answer.insert("maximum", outcome.zoom.maximum);
    answer.insert("step", outcome.zoom.step);
    return answer;
}

QJsonObject DevicesAnswer(const std::vector<DeviceInfo>& devices)
{
    QJsonArray list;
    for (const DeviceInfo& device : devices) list.append(DeviceJson(device));
    QJsonObject answer;
    answer.insert("ok", true);
    answer.insert("devices", list);
    return answer;
}

QJsonObject KeysAnswer()
{
    QJsonArray list;
    for (int i = 0; i < KeyCount; ++i) {
        const KeyDefinition& key = Keys[static_cast<std::size_t>(i)];
        QJsonObject entry = KeyJson(i);
        entry.insert("press", key.pressCode);
        entry.insert("release", key.releaseCode ? QJsonValue(*key.releaseCode) : QJsonValue());
        list.append(entry);
    }
    QJsonObject answer;
    answer.insert("ok", true);
    answer.insert("keys", list);
    return answer;
}

QJsonObject EventJson(const BridgeEvent& event)
{
    QJsonObject object;
    switch (event.kind) {
        case BridgeEvent::Kind::Arrival:
            object.insert("event", "arrival");
            object.insert("device", DeviceJson(event.device));
            break;
        case BridgeEvent::Kind::Removal: {
            object.insert("event", "removal");
            object.insert("device", DeviceJson(event.device));
            QJsonArray dropped;
            for (const int key : event.droppedHolds)
                dropped.append(Text(velmoractl::ShortKeyName(Keys[key])));
            object.insert("droppedHolds", dropped);
            break;
        }
        case BridgeEvent::Kind::MacroStarted:
        case BridgeEvent::Kind::MacroStep:
        case BridgeEvent::Kind::MacroEnded: {
            const MacroOutcome& run = *event.macro;
            if (event.kind == BridgeEvent::Kind::MacroStep && event.key) {
                object = KeyAnswer(*event.key);
                object.insert("step", event.step);
                if (event.line > 0) object.insert("line", event.line);
            } else if (event.kind == BridgeEvent::Kind::MacroEnded) {
                object = MacroAnswer(run);
                object.remove("events");
            } else {
                object.insert("device", DeviceJson(event.device));
            }
            const bool finished = event.kind == BridgeEvent::Kind::MacroEnded && run.finished;
            object.insert("event", event.kind == BridgeEvent::Kind::MacroStarted ? "macro-started"
                                   : event.kind == BridgeEvent::Kind::MacroStep  ? "macro-step"
                                   : finished                                    ? "macro-finished"
                                                                                 : "macro-cancelled");
            if (const std::optional<MacroStep> nudge = NudgeOf(run)) {
                object.insert("nudge",
                              Text(velmoractl::ShortKeyName(Keys[static_cast<std::size_t>(nudge->key)])));
                object.insert("ms", nudge->ms);
            } else {
                object.insert("macro", QString::fromStdString(run.name));
            }
            object.insert("client", QString::fromStdString(event.client));
            if (event.kind != BridgeEvent::Kind::MacroStarted)
                object.insert("held", HeldJson(event.held, false));
            break;
        }
        case BridgeEvent::Kind::KeySent:
        case BridgeEvent::Kind::HoldReleased:
            object = KeyAnswer(*event.key);
            object.insert("event", event.kind == BridgeEvent::Kind::KeySent ? "key" : "hold-released");
            if (event.kind == BridgeEvent::Kind::HoldReleased)
                object.insert("reason", Text(HoldEndName(event.holdEnd)));
            object.insert("client", QString::fromStdString(event.client));
            object.insert("held", HeldJson(event.held, false));
            break;
    }
    return object;
}

QJsonObject HelloJson(const std::string& client, const std::vector<DeviceInfo>& devices,
                      const std::optional<std::string>& served, const std::vector<HeldBy>& held,
                      std::chrono::milliseconds holdLimit, const std::vector<std::string>& macros)
{
    QJsonObject hello;
    hello.insert("event", "hello");
    hello.insert("api", "v1");
    hello.insert("client", QString::fromStdString(client));
    hello.insert("devices", DevicesAnswer(devices).value("devices"));
    hello.insert("served", served ? QJsonValue(QString::fromStdString(*served)) : QJsonValue());
    hello.insert("held", HeldJson(held, true));
    hello.insert("holdLimitSeconds", static_cast<double>(holdLimit.count()) / 1000);
    hello.insert("leaseSeconds", static_cast<double>(LeaseTime.count()) / 1000);
    QJsonArray names;
    for (const std::string& name : macros) names.append(QString::fromStdString(name));
    hello.insert("macros", names);
    return hello;
}

QJsonObject RenewAnswer(int keyIndex, const std::optional<BridgeFailure>& failure)
{
    QJsonObject answer = Answer({}, failure);
    answer.insert("key", Text(velmoractl::ShortKeyName(Keys[static_cast<std::size_t>(keyIndex)])));
    answer.insert("action", "renew");
    return answer;
}

QByteArray Compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::string KeyAnswerTexts::Text(const KeyOutcome& outcome)
{
    const auto text = [&outcome] { return Compact(KeyAnswer(outcome)).toStdString() + "\n"; };
    if (outcome.failure) return text();
    // Everything the answer says, as the key it is remembered under.
    std::string key = outcome.device.id + '\n' + std::to_string(outcome.device.index) + '\n' +
                      outcome.device.label + '\n' + outcome.device.path + '\n' +
                      std::to_string(outcome.keyIndex) + std::to_string(static_cast<int>(outcome.action));
    for (const KeyWrite& write : outcome.writes) {
        key += '\n' + std::to_string(write.keyIndex) + (write.press ? 'p' : 'r') +
               (write.writes ? 'w' : '-') + std::to_string(write.data) + ':' + std::to_string(write.status);
    }
    const auto found = m_texts.find(key);
    if (found != m_texts.end()) return found->second;
    if (m_texts.size() >= 512) m_texts.clear();
    return m_texts.emplace(std::move(key), text()).first->second;
}

}  // namespace velmora::bridge

// The bridge's answers and events as JSON objects, shared by its front ends, in velmoractl's own
// terms (key names, "events", "error" with cause, message and status).
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <chrono>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/bridge/bridge_types.h"

namespace velmora::bridge {

QJsonObject DeviceJson(const DeviceInfo& device);
QJsonObject FailureJson(const BridgeFailure& failure);
// {"ok": false, "error": {...}}
QJsonObject FailureAnswer(const BridgeFailure& failure);

QJsonObject KeyAnswer(const KeyOutcome& outcome);
// What a macro or a nudge sent ("events", each with its "step", or "cancel" for a cancel's
// release) and how it ended ("finished", else "reason", "by" and the "error").
QJsonObject MacroAnswer(const MacroOutcome& outcome);
// The macros of the file: "name", "steps", "ms"; and the ones "running".
QJsonObject MacrosAnswer(const MacroBook& book, const std::vector<RunningMacro>& running);
QJsonObject StatusAnswer(const StatusOutcome& outcome);
QJsonObject ZoomAnswer(const ZoomOutcome& outcome);
QJsonObject DevicesAnswer(const std::vector<DeviceInfo>& devices);
QJsonObject KeysAnswer();
QJsonObject EventJson(const BridgeEvent& event);
// The first message on an event socket: who it is, the devices, the one served, the keys held,
// the names of the macros.
QJsonObject HelloJson(const std::string& client, const std::vector<DeviceInfo>& devices,
                      const std::optional<std::string>& served, const std::vector<HeldBy>& held,
                      std::chrono::milliseconds holdLimit, const std::vector<std::string>& macros);
// The answer to a lease renewal.
QJsonObject RenewAnswer(int keyIndex, const std::optional<BridgeFailure>& failure);

QByteArray Compact(const QJsonObject& object);

// The text of KeyAnswer, a line of its own, remembered for answers that recur (a control surface
// clicking the same key on the same camera gets the same answer every time).
class KeyAnswerTexts {
public:
    std::string Text(const KeyOutcome& outcome);

private:
    std::unordered_map<std::string, std::string> m_texts;
};

}  // namespace velmora::bridge

#include "tools/bridge/camera_host.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "devices/device_change_handling.h"
#include "keys/key_table.h"
#include "platform/tracing_device.h"
#include "tools/xu_probe.h"
#include "xu/register_protocol.h"

namespace velmora::bridge {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

DeviceInfo InfoOf(const velmoractl::DeviceEntry& entry)
{
    return DeviceInfo{entry.id, entry.index, entry.label.toStdString(), entry.path.value_or("")};
}

BridgeFailure FromCli(const velmoractl::Failure& failure)
{
    FailureKind kind = FailureKind::Camera;
    if (failure.code == velmoractl::ExitCode::Usage) kind = FailureKind::BadRequest;
    if (failure.code == velmoractl::ExitCode::NoDevice) kind = FailureKind::NoDevice;
    if (failure.code == velmoractl::ExitCode::DeviceGone) kind = FailureKind::DeviceGone;
    return BridgeFailure{kind, failure.cause, failure.message, failure.status};
}

}  // namespace

struct CameraHost::Target {
    DeviceInfo info;
    std::string subject;  // "device 0 (USB Camera    VID_ABCD&PID_EF01)"
    std::unique_ptr<TracingCaptureDevice> traced;
    CaptureDevice* device = nullptr;
};

CameraHost::CameraHost(velmoractl::Options options) : m_options(std::move(options)) {}

CameraHost::~CameraHost() = default;

std::optional<velmoractl::Failure> CameraHost::Open(bool registerSource)
{
    if (auto failure = m_setup.Prepare(m_options, false, true)) return failure;
    velmoractl::Session& session = m_setup.GetSession();
    // The first enumeration readies the backend's own event source (Linux: the udev monitor opened
    // before the devices are listed), which the device-change source then takes over.
    Devices();
    m_source = session.Backend().CreateDeviceChangeSource();
    // Events only say that something changed; Refresh enumerates again whatever they were.
    if (registerSource && m_source &&
        velmora::Failed(m_source->Register(0, WatchedInterfaceClasses[0], [](const DeviceChangeEvent&) {}))) {
        std::fprintf(stderr, "velmoractl: warning: device changes cannot be followed\n");
        m_source.reset();
    }
    return std::nullopt;
}

std::unique_ptr<DeviceChangeSource> CameraHost::TakeDeviceChangeSource()
{
    return std::move(m_source);
}

int CameraHost::DeviceChangeDescriptor() const
{
    return m_source ? m_source->EventDescriptor() : -1;
}

void CameraHost::Refresh()
{
    if (m_source) m_source->DispatchPending();
    m_setup.GetSession().Forget();
    const std::vector<DeviceInfo> devices = Devices();
    for (auto held = m_held.begin(); held != m_held.end();) {
        const bool listed = std::any_of(devices.begin(), devices.end(),
                                        [&held](const DeviceInfo& d) { return d.id == held->first; });
        held = listed ? std::next(held) : m_held.erase(held);
    }
}

std::vector<DeviceInfo> CameraHost::Devices()
{
    std::vector<DeviceInfo> devices;
    for (const velmoractl::DeviceEntry& entry : m_setup.GetSession().Devices()) {
        devices.push_back(InfoOf(entry));
        m_seen[Lower(entry.id)] = devices.back().label;
    }
    return devices;
}

std::optional<DeviceInfo> CameraHost::Served(std::optional<BridgeFailure>& failure)
{
    std::optional<Target> target = Resolve(std::nullopt, failure);
    if (!target) return std::nullopt;
    return target->info;
}

std::optional<CameraHost::Target> CameraHost::Resolve(const std::optional<std::string>& selector,
                                                      std::optional<BridgeFailure>& failure)
{
    velmoractl::Session& session = m_setup.GetSession();
    Devices();
    const std::optional<std::string>& wanted = selector ? selector : m_options.device;
    std::optional<velmoractl::Failure> notFound;
    const velmoractl::DeviceEntry* entry = nullptr;
    if (wanted) {
        entry = session.Find(*wanted, notFound);
    } else if (!session.Devices().empty()) {
        entry = &session.Devices().front();
    } else {
        std::string message = "no capture device found";
        if (!session.EnumerationProblem().empty()) message += ": " + session.EnumerationProblem();
        notFound = velmoractl::NoDeviceFailure(message);
    }
    if (entry) {
        if (!selector) m_servedId = entry->id;
        Target target{InfoOf(*entry),
                      "device " + std::to_string(entry->index) + " (" + entry->label.toStdString() + ")",
                      nullptr, entry->device};
        if (m_options.trace) {
            target.traced =
                std::make_unique<TracingCaptureDevice>(*entry->device, [](const std::string& line) {
                    std::fprintf(stderr, "%s\n", line.c_str());
                    std::fflush(stderr);
                });
            target.device = target.traced.get();
        }
        return target;
    }
    // A device that was listed and is no longer: gone, not unknown.
    std::optional<std::string> gone;
    if (!selector && m_servedId && notFound->code == velmoractl::ExitCode::NoDevice) gone = m_servedId;
    if (selector && m_seen.count(Lower(*selector))) gone = *selector;
    if (gone) {
        failure = BridgeFailure{
            FailureKind::DeviceGone, velmoractl::CauseName(velmoractl::ExitCode::DeviceGone),
            "device " + *gone + " (" + m_seen[Lower(*gone)] + ") was pulled out", StatusDeviceNotConnected};
    } else {
        failure = FromCli(*notFound);
    }
    return std::nullopt;
}

BridgeFailure CameraHost::TransferFailure(const Target& target, const std::string& action, Status status,
                                          bool cameraControl)
{
    std::optional<velmoractl::SizeQueryAnswer> sizeQuery;
    if (!cameraControl && status == StatusInvalidArg)
        sizeQuery = velmoractl::ProbeSizeQuery(*target.device, RegisterSelector);
    return FromCli(velmoractl::RequestFailure(
        target.subject, action, status,
        cameraControl ? velmoractl::Channel::CameraControl : velmoractl::Channel::ExtensionUnit,
        m_setup.GetSession().PlatformName(), sizeQuery));
}

std::optional<BridgeFailure> CameraHost::ReleaseAtStart()
{
    std::optional<BridgeFailure> failure;
    const std::optional<Target> target = Resolve(std::nullopt, failure);
    if (!target) return failure;
    const Status status =
        WriteRegister(target->device, KeyRegisterAddress, KeyReleaseCode, KeyParam, KeyCommand);
    if (status != StatusOk)
        return TransferFailure(*target, "the release at start (data 0x16)", status, false);
    return std::nullopt;
}

KeyOutcome CameraHost::RunKey(const KeyRequest& request)
{
    KeyOutcome outcome;
    outcome.keyIndex = request.keyIndex;
    outcome.action = request.action;
    std::optional<Target> target = Resolve(request.device, outcome.failure);
    if (!target) return outcome;
    outcome.device = target->info;
    const auto run = m_runs.find(target->info.id);
    if (request.macroStep && (run == m_runs.end() || run->second != request.owner)) {
        outcome.failure =
            BridgeFailure{FailureKind::Cancelled, "cancelled", "the macro was cancelled", std::nullopt};
        return outcome;
    }
    std::vector<int> slots;
    HeldKeys& held = m_held[target->info.id];
    const int key = request.keyIndex;
    if (request.plan) {
        slots = request.plan(held);
    } else if (request.action != KeyAction::Release) {
        slots = KeypadPressSlots(held, key, request.action == KeyAction::Click);
    } else if (held.Holds(key) || !Keys[static_cast<std::size_t>(key)].releaseCode) {
        slots.push_back(2 * key + 1);  // a key not held has nothing to release
    }
    // A press of the key held sends nothing: the key is this owner's now, and its time starts again.
    if (request.action == KeyAction::Press && slots.empty() && key >= 0 && held.Holds(key)) {
        held.Sent(2 * key, request.owner);
        outcome.renewed = true;
    }
    const bool presses =
        outcome.renewed || std::any_of(slots.begin(), slots.end(), [](int s) { return s % 2 == 0; });
    // A key pressed cancels the macro; one keypad has put the release of the key it holds first.
    if (!request.macroStep && presses && run != m_runs.end()) {
        outcome.cancelledRun = run->second;
        m_runs.erase(run);
    }
    Send(*target, slots, held, request.owner, outcome);
    outcome.sentAt = std::chrono::steady_clock::now();
    if (outcome.held.Empty()) m_held.erase(target->info.id);
    if (outcome.keyIndex < 0 && !outcome.writes.empty()) outcome.keyIndex = outcome.writes.front().keyIndex;
    return outcome;
}

KeyOutcome CameraHost::StartMacro(const std::optional<std::string>& device, Owner run)
{
    KeyOutcome outcome;
    outcome.keyIndex = -1;
    outcome.action = KeyAction::Release;
    std::optional<Target> target = Resolve(device, outcome.failure);
    if (!target) return outcome;
    outcome.device = target->info;
    HeldKeys& held = m_held[target->info.id];
    if (const auto old = m_runs.find(target->info.id); old != m_runs.end()) {
        outcome.cancelledRun = old->second;
        std::vector<int> slots;
        for (const int key : held.KeyIndices()) {
            if (held.HolderOf(key) == old->second) slots.push_back(2 * key + 1);
        }
        Send(*target, slots, held, HttpOwner, outcome);
    }
    outcome.held = held;
    if (held.Empty()) m_held.erase(target->info.id);
    if (!outcome.writes.empty()) outcome.keyIndex = outcome.writes.front().keyIndex;
    m_runs[target->info.id] = run;
    return outcome;
}

std::vector<KeyOutcome> CameraHost::EndMacro(Owner run)
{
    for (auto each = m_runs.begin(); each != m_runs.end();)
        each = each->second == run ? m_runs.erase(each) : std::next(each);
    return ReleaseHeld([run](const std::string&, int, Owner holder) { return holder == run; });
}

std::vector<KeyOutcome> CameraHost::ReleaseHeld(const HoldFilter& which)
{
    std::vector<KeyOutcome> outcomes;
    for (auto& [id, held] : m_held) {
        std::vector<int> slots;
        for (const int key : held.KeyIndices()) {
            if (which(id, key, *held.HolderOf(key))) slots.push_back(2 * key + 1);
        }
        if (slots.empty()) continue;
        KeyOutcome outcome;
        outcome.keyIndex = slots.front() / 2;
        outcome.action = KeyAction::Release;
        outcome.device.id = id;
        if (std::optional<Target> target = Resolve(id, outcome.failure)) {
            outcome.device = target->info;
            Send(*target, slots, held, HttpOwner, outcome);
        } else {
            held = HeldKeys();  // gone: nothing can reach it
            outcome.held = held;
        }
        outcomes.push_back(std::move(outcome));
    }
    for (auto held = m_held.begin(); held != m_held.end();)
        held = held->second.Empty() ? m_held.erase(held) : std::next(held);
    return outcomes;
}

void CameraHost::Send(const Target& target, const std::vector<int>& slots, HeldKeys& held, Owner owner,
                      KeyOutcome& outcome)
{
    for (const int slot : slots) {
        const KeySlotAction step = KeySlot(slot);
        if (!step.key) continue;
        KeyWrite write{slot / 2, step.press, step.writes, step.data, {}, StatusOk};
        if (step.writes) {
            write.packet = MakeRegisterPacket(KeyCommand, KeyRegisterAddress, KeyParam, step.data);
            write.status = WriteRegister(target.device, KeyRegisterAddress, step.data, KeyParam, KeyCommand);
        }
        outcome.writes.push_back(write);
        if (write.status != StatusOk) {
            char data[8];
            std::snprintf(data, sizeof data, "0x%02X", step.data);
            outcome.failure =
                TransferFailure(target,
                                "key " + std::string(step.key->objectName) +
                                    (step.press ? " press" : " release") + " (data " + data + ")",
                                write.status, false);
            break;
        }
        // A release that failed leaves the key held: the hold limit tries again.
        held.Sent(slot, owner);
    }
    outcome.held = held;
}

StatusOutcome CameraHost::ReadStatus(const std::optional<std::string>& device)
{
    StatusOutcome outcome;
    std::optional<Target> target = Resolve(device, outcome.failure);
    if (!target) return outcome;
    outcome.device = target->info;
    for (std::uint32_t i = 0; i < StatusRegisterCount; ++i) {
        RegisterRead read;
        read.address = StatusRegisterFirst + i;
        read.packet = MakeRegisterPacket(StatusCommand | RegisterReadFlag, read.address, StatusParam, 0);
        read.status = ReadRegister(target->device, read.address, read.value, StatusParam, StatusCommand);
        if (read.status != StatusOk) {
            BridgeFailure failure = TransferFailure(
                *target, "reading status register " + std::to_string(read.address), read.status, false);
            read.cause = failure.cause;
            if (!outcome.failure) outcome.failure = std::move(failure);
        }
        outcome.registers.push_back(read);
    }
    return outcome;
}

ZoomOutcome CameraHost::ReadZoom(const std::optional<std::string>& device)
{
    ZoomOutcome outcome;
    std::optional<Target> target = Resolve(device, outcome.failure);
    if (!target) return outcome;
    outcome.device = target->info;
    const Status status = ReadCameraZoom(target->device, outcome.zoom);
    if (velmora::Failed(status)) outcome.failure = TransferFailure(*target, "reading the zoom", status, true);
    return outcome;
}

}  // namespace velmora::bridge

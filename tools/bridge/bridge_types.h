// What the bridge's front ends (HTTP, WebSocket, and any other) ask of the camera and get back.
// Plain data; everything here crosses from the camera thread to the event loop by value.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keys/held_keys.h"
#include "keys/macro.h"
#include "platform/status.h"
#include "xu/register_packet.h"
#include "xu/xu_transport.h"

namespace velmora::bridge {

enum class KeyAction { Press, Release, Click };

std::optional<KeyAction> ParseKeyAction(std::string_view text);
std::string_view KeyActionName(KeyAction action);

// Who pressed a key. Owner 0 is every HTTP request: what one request presses, another releases.
using Owner = HeldKeys::Owner;
inline constexpr Owner HttpOwner = 0;

struct DeviceInfo {
    std::string id;  // stable across unplug and replug
    int index = -1;  // in the list, as the window numbers it
    std::string label;
    std::string path;
};

enum class FailureKind {
    BadRequest,  // a device selector that names more than one device
    NoDevice,    // nothing matches the device asked for, or no camera at all
    DeviceGone,  // the device was there and has been pulled
    Busy,        // the camera queue is full
    Camera,      // the camera or the platform refused the transfer
    Stopping,    // the bridge is stopping
    Cancelled,   // a macro's step: the macro was cancelled before it ran
};

struct BridgeFailure {
    FailureKind kind = FailureKind::Camera;
    std::string cause;    // velmoractl's cause names: "device-gone", "permission-denied", ..., "busy"
    std::string message;  // for a person
    std::optional<Status> status;
};

// One event of a key (press or release) and the register write it made, if any.
struct KeyWrite {
    int keyIndex = 0;
    bool press = true;
    bool writes = false;  // false: this event of this key sends nothing
    std::uint8_t data = 0;
    RegisterPacket packet{};
    Status status = StatusOk;
};

// The slots (0..23, KeySlot order) a request sends, decided on the camera thread from the keys
// held on its device when the request's turn comes: a request queued behind others sees what they
// left held (a joystick's stop releases the key its drive pressed, however close behind it came).
using KeyPlan = std::function<std::vector<int>(const HeldKeys& held)>;

struct KeyRequest {
    Owner owner = HttpOwner;
    std::string client;                 // for the log and the events: "127.0.0.1:5000", "socket 3"
    std::optional<std::string> device;  // a selector as --device takes it; none: the served device
    int keyIndex = 0;                   // into velmora::Keys; -1: none (slots decide)
    KeyAction action = KeyAction::Click;
    KeyPlan plan;            // none: the action's own slots of keyIndex, as one keypad sends them
    bool lease = false;      // a press held only while the owner renews its lease
    bool macroStep = false;  // a step of the macro run owner: sent only while it runs on the device
};

struct KeyOutcome {
    DeviceInfo device;  // empty id when none was resolved
    int keyIndex = 0;   // -1 when the request named none and nothing was sent
    KeyAction action = KeyAction::Click;
    std::vector<KeyWrite> writes;  // in the order sent; a failure stops the rest
    std::optional<BridgeFailure> failure;
    HeldKeys held;         // the keys held on the device once it ran
    bool renewed = false;  // a press of the key held: nothing sent, its hold starts again
    std::chrono::steady_clock::time_point sentAt;  // when the last write returned
    std::optional<Owner> cancelledRun;  // the macro run this press cancelled (its key released first)
};

// Why a macro ended before its last step.
enum class MacroEnd { KeyPressed, AnotherMacro, Request, ClientGone, Stopping, Failed };
std::string_view MacroEndName(MacroEnd end);

struct MacroRequest {
    Owner starter = HttpOwner;  // who asked: cancelOnGone ties the run to it
    std::string client;
    std::optional<std::string> device;
    Macro macro;  // name empty: a nudge
    bool cancelOnGone = false;
};

// What a macro run sent, and how it ended.
struct MacroOutcome {
    DeviceInfo device;
    std::string name;
    MacroStep nudge;               // a nudge (no name): its one step, kind Nudge
    std::vector<KeyWrite> writes;  // in the order sent, the releases of a cancel last
    std::vector<int> steps;        // beside writes: the step each belongs to, -1 for a cancel's release
    bool finished = false;
    std::optional<MacroEnd> end;  // cancelled or failed: why
    std::string endedBy;          // KeyPressed, AnotherMacro, Request: the client
    std::optional<BridgeFailure> failure;
};

struct RegisterRead {
    std::uint32_t address = 0;
    RegisterPacket packet{};
    Status status = StatusOk;
    std::uint64_t value = 0;  // when status is StatusOk
    std::string cause;        // when it is not
};

struct StatusOutcome {
    DeviceInfo device;
    std::vector<RegisterRead> registers;
    std::optional<BridgeFailure> failure;  // the first failed read, or why none was made
};

struct ZoomOutcome {
    DeviceInfo device;
    CameraZoom zoom;
    std::optional<BridgeFailure> failure;
};

// A macro running: its name (empty: a nudge), device and client.
struct RunningMacro {
    std::string name;
    DeviceInfo device;
    std::string client;
};

// Why a hold ended without its owner releasing it.
enum class HoldEnd { Limit, OwnerGone, Stopping, LeaseExpired };
std::string_view HoldEndName(HoldEnd end);

// A key held, and the client that holds it.
struct HeldBy {
    std::string deviceId;
    int keyIndex = 0;
    std::string client;
};

struct BridgeEvent {
    enum class Kind {
        Arrival,
        Removal,
        KeySent,
        HoldReleased,
        MacroStarted,
        MacroStep,
        MacroEnded,  // finished, cancelled or failed (macro->finished, macro->end)
    };
    Kind kind = Kind::Arrival;
    DeviceInfo device;
    std::string client;             // KeySent: who sent it
    std::optional<KeyOutcome> key;  // KeySent, HoldReleased
    HoldEnd holdEnd = HoldEnd::Limit;
    std::vector<int> droppedHolds;  // Removal: keys held on the device, whose release cannot be sent
    std::vector<HeldBy> held;       // KeySent, HoldReleased, MacroStep, MacroEnded: held after it
    // Macro events: the run so far (name, device, how it ended); MacroStep: the step and its line.
    std::optional<MacroOutcome> macro;
    int step = -1;
    int line = 0;
};

}  // namespace velmora::bridge

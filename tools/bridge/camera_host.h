// The bridge's side of the camera: the backend, the device list, every transfer and the keys held
// on each device. It lives on the camera thread alone; what it answers is plain data for the event
// loop.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/device_change.h"
#include "tools/bridge/bridge_types.h"
#include "tools/cli_options.h"
#include "tools/cli_setup.h"

namespace velmora::bridge {

// Which held keys a release takes: by device id, key index and holder.
using HoldFilter = std::function<bool(const std::string& deviceId, int keyIndex, Owner holder)>;

class CameraHost {
public:
    // options: --backend, --sim-config, --device (the served device) and --trace.
    explicit CameraHost(velmoractl::Options options);
    ~CameraHost();
    CameraHost(const CameraHost&) = delete;
    CameraHost& operator=(const CameraHost&) = delete;

    // First, on the camera thread: the platform, the backend, Cfg.ini, the first enumeration and
    // the device-change source. registerSource: register it here, for events that come through its
    // descriptor (else TakeDeviceChangeSource hands it to a message window).
    std::optional<velmoractl::Failure> Open(bool registerSource);

    // The source, for a platform whose events come through a window of their own (Windows); it is
    // then registered there.
    std::unique_ptr<DeviceChangeSource> TakeDeviceChangeSource();
    // The descriptor that turns readable when device changes wait for Refresh, or -1.
    int DeviceChangeDescriptor() const;

    // Takes in pending device changes and enumerates again; the holds of a device no longer listed
    // are dropped (nothing can reach it).
    void Refresh();
    std::vector<DeviceInfo> Devices();
    // The device requests without a device go to, or why there is none.
    std::optional<DeviceInfo> Served(std::optional<BridgeFailure>& failure);

    // Sends the release code once to the device served: a key that a run ended without its releases
    // (killed, out of memory, the power cut) left down is let go. The failure, if any.
    std::optional<BridgeFailure> ReleaseAtStart();
    // Sends the request's slots, each counted into the device's held keys once it went out. A
    // macro's step is sent only while its run is the device's; any other request that presses a key
    // cancels the device's run (outcome.cancelledRun), the key it holds released first.
    KeyOutcome RunKey(const KeyRequest& request);

    // One macro at a time per camera: run becomes the device's, and a run it replaces is cancelled,
    // the key that run holds released at once (in the outcome, cancelledRun naming it).
    KeyOutcome StartMacro(const std::optional<std::string>& device, Owner run);
    // The run is over: it runs on no device any more, and what it holds is released.
    std::vector<KeyOutcome> EndMacro(Owner run);
    // Sends the release of each held key that which takes, with one outcome per device: what the
    // hold limit, a client going and stopping send. A key is released once, whoever asks.
    std::vector<KeyOutcome> ReleaseHeld(const HoldFilter& which);
    velmora::Backend& Backend() { return m_setup.GetSession().Backend(); }
    StatusOutcome ReadStatus(const std::optional<std::string>& device);
    ZoomOutcome ReadZoom(const std::optional<std::string>& device);

private:
    struct Target;
    std::optional<Target> Resolve(const std::optional<std::string>& selector,
                                  std::optional<BridgeFailure>& failure);
    BridgeFailure TransferFailure(const Target& target, const std::string& action, Status status,
                                  bool cameraControl);
    // Sends slots in order, each one that went out counted into held; a failure stops the rest.
    void Send(const Target& target, const std::vector<int>& slots, HeldKeys& held, Owner owner,
              KeyOutcome& outcome);

    velmoractl::Options m_options;
    velmoractl::Setup m_setup;
    std::unique_ptr<DeviceChangeSource> m_source;
    std::map<std::string, std::string> m_seen;  // every id listed so far, lower case, with its label
    std::optional<std::string> m_servedId;      // the device last served without a selector
    std::map<std::string, HeldKeys> m_held;     // by device id: what each camera holds down
    std::map<std::string, Owner> m_runs;        // by device id: the macro run on it
};

}  // namespace velmora::bridge

// What a command needs before it acts, made ready once: the platform, the backend, the extension
// unit's identity from Cfg.ini and, when asked for, the selected device (traced with --trace).
#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "platform/tracing_device.h"
#include "tools/cli_failure.h"
#include "tools/cli_options.h"
#include "tools/cli_session.h"

namespace velmoractl {

// Where the window and velmoractl look for Cfg.ini: CfgFile/Cfg.ini under the working directory.
QString CfgFileLocation();

class Setup {
public:
    // The failure that stops the command, or nullopt. watchesDevices: the command will create a
    // device-change source (watch); the others let the backend skip preparing one.
    std::optional<Failure> Prepare(const Options& options, bool needsDevice, bool watchesDevices = false);

    Session& GetSession() { return m_session; }
    // The selected device, or null when none was asked for.
    velmora::CaptureDevice* Device() const { return m_device; }

private:
    std::shared_ptr<void> m_platform;
    Session m_session;
    std::unique_ptr<velmora::TracingCaptureDevice> m_traced;
    velmora::CaptureDevice* m_device = nullptr;
};

}  // namespace velmoractl

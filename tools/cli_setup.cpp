#include "tools/cli_setup.h"

#include <QDir>
#include <cstdio>
#include <filesystem>

#include "config/cfg_file.h"
#include "config/xu_identity.h"
#include "tools/platform_scope.h"

namespace velmoractl {

QString CfgFileLocation()
{
    return velmora::CfgFilePath(QDir::currentPath() + "/CfgFile");
}

std::optional<Failure> Setup::Prepare(const Options& options, bool needsDevice, bool watchesDevices)
{
    std::string error;
    m_platform = EnterPlatform(error);
    if (!m_platform) return Failure{ExitCode::Failed, CauseName(ExitCode::Failed), error, std::nullopt};
    if (auto failure = m_session.Open(options)) return failure;
    if (!watchesDevices) m_session.Backend().WithoutDeviceChanges();
    // The window's rule: CfgFile/Cfg.ini under the working directory, when it exists. Asked first
    // without Qt, so that a run without the file spares the locale codec and QSettings.
    std::error_code missing;
    if (std::filesystem::exists("CfgFile/Cfg.ini", missing)) {
        velmora::LoadUvcExtenConfig(CfgFileLocation(), velmora::g_xuIdentity);
    }
    if (!needsDevice) return std::nullopt;
    if (auto failure = m_session.Select(options.device)) return failure;
    m_device = m_session.Selected().device;
    if (options.trace) {
        m_traced = std::make_unique<velmora::TracingCaptureDevice>(*m_device, [](const std::string& line) {
            std::fprintf(stderr, "%s\n", line.c_str());
            std::fflush(stderr);
        });
        m_device = m_traced.get();
    }
    return std::nullopt;
}

}  // namespace velmoractl

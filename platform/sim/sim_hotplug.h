// A folder of *.camera files standing for plugged simulated cameras: a file closed after writing or
// moved in plugs its camera, a file deleted or moved out unplugs it, a file rewritten replugs it.
// After lost changes the folder is read again and the cameras brought in line with its files.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/sim/sim_camera.h"
#include "platform/sim/sim_config.h"
#include "platform/sim/sim_folder_watch.h"

namespace velmora::sim {

// One hotplug file: exactly one [camera] section in the configuration file's format, no [sim].
std::optional<SimCameraConfig> ParseHotplugCamera(const std::string& text, std::string& error);

class SimHotplugFolder {
public:
    using PlugFunction = std::function<std::shared_ptr<SimCamera>(SimCameraConfig)>;
    using UnplugFunction = std::function<void(const std::shared_ptr<SimCamera>&)>;

    // Watches folder and plugs the cameras of the files already in it. Null, with error set, when
    // the folder cannot be watched.
    static std::unique_ptr<SimHotplugFolder> Open(const std::string& folder, PlugFunction plug,
                                                  UnplugFunction unplug, std::string& error);

    // Turns readable when files came, went or were rewritten.
    int Descriptor() const { return m_watch->Descriptor(); }

    // Applies what changed since the last call. A file that cannot be read or parsed is reported
    // on stderr and skipped until it is written again (or, after lost changes, reads otherwise).
    void Dispatch();

    // Applies changes; Dispatch passes the watch's.
    void Apply(const SimFolderChanges& changes);

    const std::string& Folder() const { return m_folder; }
    // The cameras plugged from files, by file name.
    const std::map<std::string, std::shared_ptr<SimCamera>>& Plugged() const { return m_plugged; }

private:
    SimHotplugFolder(std::string folder, std::unique_ptr<SimFolderWatch> watch, PlugFunction plug,
                     UnplugFunction unplug);
    void PlugFile(const std::string& name);
    std::string PathOf(const std::string& name) const;

    std::string m_folder;
    std::unique_ptr<SimFolderWatch> m_watch;
    PlugFunction m_plug;
    UnplugFunction m_unplug;
    std::map<std::string, std::shared_ptr<SimCamera>> m_plugged;
    std::map<std::string, std::string> m_taken;  // by file name: the text last read, plugged or not
};

}  // namespace velmora::sim

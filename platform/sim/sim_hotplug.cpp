#include "platform/sim/sim_hotplug.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace velmora::sim {

namespace {

constexpr const char* kExtension = ".camera";

std::set<std::string> CameraFilesIn(const std::string& folder)
{
    std::set<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError) || it->path().extension() != kExtension) continue;
        names.insert(it->path().filename().string());
    }
    return names;
}

std::optional<std::string> ReadTextFile(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open the file";
        return std::nullopt;
    }
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

}  // namespace

std::optional<SimCameraConfig> ParseHotplugCamera(const std::string& text, std::string& error)
{
    std::optional<SimWorldConfig> world = ParseSimConfig(text, error);
    if (!world) return std::nullopt;
    const SimWorldConfig defaults;
    if (world->failCreateEnumerator != defaults.failCreateEnumerator ||
        world->failCreateClassEnumerator != defaults.failCreateClassEnumerator ||
        world->traceFile != defaults.traceFile) {
        error = "a hotplug file describes one camera; [sim] settings belong in the configuration file";
        return std::nullopt;
    }
    if (world->cameras.size() != 1) {
        error = "expected exactly one [camera] section, found " + std::to_string(world->cameras.size());
        return std::nullopt;
    }
    return world->cameras.front();
}

std::unique_ptr<SimHotplugFolder> SimHotplugFolder::Open(const std::string& folder, PlugFunction plug,
                                                         UnplugFunction unplug, std::string& error)
{
    std::error_code isFolderError;
    if (!std::filesystem::is_directory(folder, isFolderError)) {
        error = "cannot watch " + folder + ": not a folder";
        return nullptr;
    }
    std::unique_ptr<SimFolderWatch> watch = SimFolderWatch::Open(folder, error);
    if (!watch) return nullptr;
    std::unique_ptr<SimHotplugFolder> hotplug(
        new SimHotplugFolder(folder, std::move(watch), std::move(plug), std::move(unplug)));
    hotplug->Apply({});
    return hotplug;
}

SimHotplugFolder::SimHotplugFolder(std::string folder, std::unique_ptr<SimFolderWatch> watch,
                                   PlugFunction plug, UnplugFunction unplug)
    : m_folder(std::move(folder)),
      m_watch(std::move(watch)),
      m_plug(std::move(plug)),
      m_unplug(std::move(unplug))
{
}

void SimHotplugFolder::Dispatch()
{
    Apply(m_watch->TakeChanges());
}

void SimHotplugFolder::Apply(const std::set<std::string>& written)
{
    const std::set<std::string> present = CameraFilesIn(m_folder);
    std::vector<std::shared_ptr<SimCamera>> leaving;
    for (auto it = m_plugged.begin(); it != m_plugged.end();) {
        if (present.count(it->first) && !written.count(it->first)) {
            ++it;
            continue;
        }
        leaving.push_back(it->second);
        it = m_plugged.erase(it);
    }
    for (auto it = m_rejected.begin(); it != m_rejected.end();) {
        it = present.count(*it) && !written.count(*it) ? std::next(it) : m_rejected.erase(it);
    }
    for (const std::shared_ptr<SimCamera>& camera : leaving) m_unplug(camera);
    for (const std::string& name : present) {
        if (!m_plugged.count(name) && !m_rejected.count(name)) PlugFile(name);
    }
}

void SimHotplugFolder::PlugFile(const std::string& name)
{
    const std::string path = (std::filesystem::path(m_folder) / name).string();
    std::string error;
    std::optional<SimCameraConfig> camera;
    if (std::optional<std::string> text = ReadTextFile(path, error))
        camera = ParseHotplugCamera(*text, error);
    if (!camera) {
        std::fprintf(stderr, "velmora: sim hotplug: %s: %s\n", path.c_str(), error.c_str());
        m_rejected.insert(name);
        return;
    }
    if (std::shared_ptr<SimCamera> plugged = m_plug(std::move(*camera))) m_plugged[name] = std::move(plugged);
}

}  // namespace velmora::sim

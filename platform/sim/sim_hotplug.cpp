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
    SimFolderChanges everything;
    everything.overflow = true;  // nothing taken yet: every file is new
    hotplug->Apply(everything);
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

void SimHotplugFolder::Apply(const SimFolderChanges& changes)
{
    const std::set<std::string> present = CameraFilesIn(m_folder);
    // The files to take again: those the changes name, or, when changes were lost, every file that
    // came, went or reads otherwise than when it was last taken.
    std::set<std::string> touched;
    if (changes.overflow) {
        for (const auto& taken : m_taken) {
            if (!present.count(taken.first)) touched.insert(taken.first);
        }
        for (const std::string& name : present) {
            const auto taken = m_taken.find(name);
            std::string error;
            const std::optional<std::string> text = ReadTextFile(PathOf(name), error);
            if (taken == m_taken.end() || !text || *text != taken->second) touched.insert(name);
        }
    } else {
        for (const std::set<std::string>* names : {&changes.written, &changes.gone}) {
            for (const std::string& name : *names) {
                if (std::filesystem::path(name).extension() == kExtension) touched.insert(name);
            }
        }
    }
    std::vector<std::shared_ptr<SimCamera>> leaving;
    for (const std::string& name : touched) {
        m_taken.erase(name);
        const auto plugged = m_plugged.find(name);
        if (plugged == m_plugged.end()) continue;
        leaving.push_back(plugged->second);
        m_plugged.erase(plugged);
    }
    for (const std::shared_ptr<SimCamera>& camera : leaving) m_unplug(camera);
    for (const std::string& name : touched) {
        if (present.count(name)) PlugFile(name);
    }
}

std::string SimHotplugFolder::PathOf(const std::string& name) const
{
    return (std::filesystem::path(m_folder) / name).string();
}

void SimHotplugFolder::PlugFile(const std::string& name)
{
    const std::string path = PathOf(name);
    std::string error;
    std::optional<SimCameraConfig> camera;
    if (std::optional<std::string> text = ReadTextFile(path, error)) {
        m_taken[name] = *text;
        camera = ParseHotplugCamera(*text, error);
    }
    if (!camera) {
        std::fprintf(stderr, "velmora: sim hotplug: %s: %s\n", path.c_str(), error.c_str());
        return;
    }
    if (std::shared_ptr<SimCamera> plugged = m_plug(std::move(*camera))) m_plugged[name] = std::move(plugged);
}

}  // namespace velmora::sim

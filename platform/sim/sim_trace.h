// The simulated cameras' trace file: one KsTraceLine per request, appended and flushed at once.
// With VELMORA_SIM_TRACE_TIME set (not empty, not 0) each line ends in " t=SECONDS", the monotonic
// clock (std::chrono::steady_clock) when the request returned, so that timing can be read off it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace velmora::sim {

class SimTraceFile {
public:
    // Opens path for appending; Open answers null (after a note on stderr) when it cannot.
    static std::shared_ptr<SimTraceFile> Open(const std::string& path);

    void Write(const std::string& line);
    const std::string& Path() const { return m_path; }

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    SimTraceFile(std::string path, std::FILE* file, bool stamped)
        : m_path(std::move(path)), m_file(file), m_stamped(stamped)
    {
    }

    std::string m_path;
    std::unique_ptr<std::FILE, Closer> m_file;
    bool m_stamped = false;
};

// The trace file a simulated world uses: VELMORA_SIM_TRACE when set and not empty, else configured.
std::string SimTracePath(const std::string& configured);

}  // namespace velmora::sim

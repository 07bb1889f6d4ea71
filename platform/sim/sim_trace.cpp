#include "platform/sim/sim_trace.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace velmora::sim {

std::shared_ptr<SimTraceFile> SimTraceFile::Open(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file) {
        std::fprintf(stderr, "velmora: cannot open the trace file %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return nullptr;
    }
    const char* stamped = std::getenv("VELMORA_SIM_TRACE_TIME");
    const bool stamp = stamped && *stamped && std::strcmp(stamped, "0") != 0;
    return std::shared_ptr<SimTraceFile>(new SimTraceFile(path, file, stamp));
}

void SimTraceFile::Write(const std::string& line)
{
    std::fputs(line.c_str(), m_file.get());
    if (m_stamped) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        std::fprintf(m_file.get(), " t=%.6f", seconds);
    }
    std::fputc('\n', m_file.get());
    std::fflush(m_file.get());
}

std::string SimTracePath(const std::string& configured)
{
    const char* fromEnvironment = std::getenv("VELMORA_SIM_TRACE");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : configured;
}

}  // namespace velmora::sim

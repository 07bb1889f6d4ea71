#include "platform/sim/sim_trace.h"

#include <cerrno>
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
    return std::shared_ptr<SimTraceFile>(new SimTraceFile(path, file));
}

void SimTraceFile::Write(const std::string& line)
{
    std::fputs(line.c_str(), m_file.get());
    std::fputc('\n', m_file.get());
    std::fflush(m_file.get());
}

std::string SimTracePath(const std::string& configured)
{
    const char* fromEnvironment = std::getenv("VELMORA_SIM_TRACE");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : configured;
}

}  // namespace velmora::sim

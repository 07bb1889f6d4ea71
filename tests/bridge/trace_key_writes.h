// The simulated camera's trace as the bridge tests read it.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace velmora::bridge {

// The data byte of every key write on the trace at path, in order.
inline std::vector<int> TraceKeyWrites(const std::string& path)
{
    std::vector<int> data;
    std::ifstream trace(path);
    for (std::string line; std::getline(trace, line);) {
        const auto at = line.find("data=26 16 00 00 00 01 00 00 00 00 ");
        if (line.rfind("SET ", 0) == 0 && at != std::string::npos)
            data.push_back(std::stoi(line.substr(at + 35, 2), nullptr, 16));
    }
    return data;
}

}  // namespace velmora::bridge

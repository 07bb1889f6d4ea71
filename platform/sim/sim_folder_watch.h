// Notices files being written into, moved into, moved out of or deleted from one folder.
#pragma once

#include <memory>
#include <set>
#include <string>

namespace velmora::sim {

class SimFolderWatch {
public:
    virtual ~SimFolderWatch() = default;

    // A watch on folder; null, with error set, where folders cannot be watched.
    static std::unique_ptr<SimFolderWatch> Open(const std::string& folder, std::string& error);

    // Turns readable while changes wait.
    virtual int Descriptor() const = 0;

    // Takes every change that waits, without blocking: the names of files that were written or
    // moved in since the last call.
    virtual std::set<std::string> TakeChanges() = 0;
};

}  // namespace velmora::sim

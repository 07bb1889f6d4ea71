// Notices files being written into, moved into, moved out of or deleted from one folder.
#pragma once

#include <cstddef>
#include <memory>
#include <set>
#include <string>

namespace velmora::sim {

// What happened in the folder since the changes were last taken.
struct SimFolderChanges {
    std::set<std::string> written;  // closed after writing, or moved in
    std::set<std::string> gone;     // deleted, or moved out
    bool overflow = false;          // changes were lost: only reading the folder again tells
};

// Linux: adds the changes a buffer of inotify events names. A partial event at the end is ignored.
void AddInotifyEvents(const char* buffer, std::size_t length, SimFolderChanges& changes);

class SimFolderWatch {
public:
    virtual ~SimFolderWatch() = default;

    // A watch on folder; null, with error set, where folders cannot be watched.
    static std::unique_ptr<SimFolderWatch> Open(const std::string& folder, std::string& error);

    // Turns readable while changes wait.
    virtual int Descriptor() const = 0;

    // Takes every change that waits, without blocking.
    virtual SimFolderChanges TakeChanges() = 0;
};

}  // namespace velmora::sim

// Systems without a folder watch: the simulated cameras are plugged through the API only.
#include "platform/sim/sim_folder_watch.h"

namespace velmora::sim {

std::unique_ptr<SimFolderWatch> SimFolderWatch::Open(const std::string& folder, std::string& error)
{
    error = "cannot watch " + folder + ": watching a folder needs Linux inotify";
    return nullptr;
}

}  // namespace velmora::sim

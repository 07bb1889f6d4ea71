#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/stop_signals.h"
#include "tools/controllers/event_wait.h"

namespace velmora::controllers {

int RunUntilStopped(WaitHandle handle, const std::function<bool()>& dispatch, std::string& error)
{
    const StopSignals signals;
    for (;;) {
        // The console's stop handler sets a flag only: it is looked at every quarter second.
        const DWORD result = WaitForSingleObject(static_cast<HANDLE>(handle), 250);
        if (StopSignals::Received()) return StopSignals::Received();
        if (result == WAIT_FAILED) {
            error = "cannot wait: error " + std::to_string(GetLastError());
            return -1;
        }
        if (result == WAIT_OBJECT_0 && !dispatch()) return 0;
    }
}

}  // namespace velmora::controllers

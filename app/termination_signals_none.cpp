#include "app/termination_signals.h"

#include <QSocketNotifier>

namespace velmora {

// Windows ends a GUI program through its window (WM_CLOSE), which Qt already turns into a close.
TerminationSignals::TerminationSignals(std::function<void()>) {}
TerminationSignals::~TerminationSignals() = default;

}  // namespace velmora

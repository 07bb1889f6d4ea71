#include "app/termination_signals.h"

#include <QSocketNotifier>

namespace velmora {

// Windows ends a GUI program through its window (WM_CLOSE), which Qt already turns into quit.
TerminationSignals::TerminationSignals() = default;
TerminationSignals::~TerminationSignals() = default;

}  // namespace velmora

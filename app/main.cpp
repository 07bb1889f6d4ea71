#include <QApplication>

#include "app/command_line.h"
#include "app/debug_log.h"
#include "app/display_scaling.h"
#include "app/early_exit_output.h"
#include "app/termination_signals.h"
#include "app/velmora.h"

int main(int argc, char* argv[])
{
    if (const auto text = velmora::EarlyExitText(argc, argv)) {
        velmora::ShowEarlyExitText(*text);
        return 0;
    }
    const velmora::DebugLog debugLog(qEnvironmentVariable(velmora::DebugLogVariable));
    velmora::EnableDisplayScaling();
    QApplication application(argc, argv);
    int result = 0;
    {
        Velmora window;
        // Closed as by its close button, so that a held key is let go first. Quit first: the event
        // loops end, also one of a warning box still open or one that letting go would open.
        const velmora::TerminationSignals terminationSignals([&window] {
            QCoreApplication::quit();
            window.close();
        });
        window.show();
        result = application.exec();
    }
    return result;
}

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
    velmora::TerminationSignals terminationSignals;
    int result = 0;
    {
        Velmora window;
        window.show();
        result = application.exec();
    }
    return result;
}

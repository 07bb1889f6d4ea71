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
    // The id the desktop knows the program by (its desktop file), also for the shortcuts portal.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.velmora.velmora"));
    // The window may hide in the tray while a settings dialog closes: the window's close quits.
    QApplication::setQuitOnLastWindowClosed(false);
    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments()) arguments.push_back(argument.toStdString());
    const velmora::WindowOptions options = velmora::ParseWindowOptions(arguments);
    int result = 0;
    {
        Velmora window;
        // Ended as by its close button with nothing keeping it in the tray, so that a held key is
        // let go first.
        const velmora::TerminationSignals terminationSignals([&window] { window.QuitApplication(); });
        window.LoadMacros();
        window.StartHotkeys(options.hotkeys);
        if (options.hidden) {
            window.StartHidden();
        } else {
            window.ShowTrayIcon();
            window.show();
        }
        result = application.exec();
    }
    return result;
}

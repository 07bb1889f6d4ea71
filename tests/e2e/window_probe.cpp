// velmora-window-probe: the real Velmora window (run it under QT_QPA_PLATFORM=offscreen) on the
// native backend, printing DeviceList whenever it changes: "LIST <count>" then "ITEM <label>"
// lines, then "END". The window's debug lines go to standard error, and to VELMORA_DEBUG_LOG as
// velmora's own. Ends after SECONDS seconds (default 120).
//   velmora-window-probe [SECONDS [BUTTON]]
// BUTTON, a key button's object name (MENUButton), is clicked once (pressed, then released) after
// the first list; "CLICKED <BUTTON>" follows (with no device, once the window's warning is gone).
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/debug_log.h"
#include "app/velmora.h"

namespace {

QStringList Items(const QComboBox& list)
{
    QStringList items;
    for (int i = 0; i < list.count(); ++i) items << list.itemText(i);
    return items;
}

void Print(const QStringList& items)
{
    std::printf("LIST %d\n", static_cast<int>(items.size()));
    for (const QString& item : items) std::printf("ITEM %s\n", item.toUtf8().constData());
    std::printf("END\n");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[])
{
    const velmora::DebugLog debugLog(qEnvironmentVariable(velmora::DebugLogVariable));
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 120;
    const QString button = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    Velmora window;
    window.show();
    QComboBox& list = *window.Form().DeviceList;
    QStringList shown = Items(list);
    Print(shown);

    // Quitting also ends the modal warning a key brings up without a device.
    QTimer::singleShot(seconds * 1000, &application, &QApplication::quit);
    if (!button.isEmpty()) {
        QTimer::singleShot(0, &window, [&] {
            auto* key = window.findChild<QAbstractButton*>(button);
            if (key) key->click();
            std::printf("%s %s\n", key ? "CLICKED" : "NO BUTTON", button.toUtf8().constData());
            std::fflush(stdout);
        });
    }

    // The list is rebuilt inside the device-change handling; a poll sees every settled state.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QStringList now = Items(list);
        if (now == shown) return;
        shown = now;
        Print(shown);
    });
    poll.start(50);

    return application.exec();
}

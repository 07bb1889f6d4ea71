// velmora-window-probe: the real Velmora window (run it under QT_QPA_PLATFORM=offscreen) on the
// native backend, printing DeviceList whenever it changes: "LIST <count>" then "ITEM <label>"
// lines, then "END". The window's debug lines go to standard error. Ends after SECONDS seconds
// (default 120).
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

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
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 120;

    Velmora window;
    window.show();
    QComboBox& list = *window.Form().DeviceList;
    QStringList shown = Items(list);
    Print(shown);

    // The list is rebuilt inside the device-change handling; a poll sees every settled state.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QStringList now = Items(list);
        if (now == shown) return;
        shown = now;
        Print(shown);
    });
    poll.start(50);

    QTimer::singleShot(seconds * 1000, &application, &QApplication::quit);
    return application.exec();
}

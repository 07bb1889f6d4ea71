#include <QDebug>
#include <QGuiApplication>

#include "app/keypad_keyboard.h"
#include "app/window_auto_repeat.h"
#include "hotkeys/x11/x11_keyboard.h"

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QtGui/qguiapplication_platform.h>
#else
#include <QX11Info>
#endif

namespace velmora {

namespace {

xcb_connection_t* QtConnection()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
#else
    return QX11Info::connection();
#endif
}

}  // namespace

int WindowKeyReleaseSettleMs()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return 0;
    xcb_connection_t* connection = QtConnection();
    if (connection && x11::RequestDetectableAutoRepeat(connection)) return 0;
    qDebug().noquote()
        << QStringLiteral(
               "keyboard: the X server refuses detectable auto-repeat; a key's release waits %1 ms")
               .arg(KeypadKeyboard::kReleaseSettleMs);
    return KeypadKeyboard::kReleaseSettleMs;
}

}  // namespace velmora

#include "app/tray_menu.h"

#include <QCoreApplication>
#include <QDebug>
#include <QIcon>

#include "app/autostart.h"
#include "app/hotkey_controller.h"

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("TrayMenu", text);
}

}  // namespace

// The icon is a resource of a static library: registered by hand. Outside any namespace, as the
// macro declares the registration function where it is used.
static void InitResources()
{
    Q_INIT_RESOURCE(velmora);
}

TrayMenu::TrayMenu(QWidget* window, HotkeyController& hotkeys, Handlers handlers)
    : m_window(window), m_controller(hotkeys)
{
    InitResources();
    m_hotkeys.setText(Tr("Hotkeys on"));
    m_hotkeys.setCheckable(true);
    m_settings.setText(Tr("Settings..."));
    m_autostart.setText(Tr("Start with the desktop"));
    m_autostart.setCheckable(true);
    m_quit.setText(Tr("Quit"));
    connect(&m_showHide, &QAction::triggered, this, [handlers] { handlers.showOrHide(); });
    // triggered, not toggled: Refresh() sets the check marks without acting.
    connect(&m_hotkeys, &QAction::triggered, this, [handlers](bool on) { handlers.hotkeys(on); });
    connect(&m_settings, &QAction::triggered, this, [handlers] { handlers.settings(); });
    connect(&m_autostart, &QAction::triggered, this, [this](bool on) {
        QString error;
        if (!velmora::SetAutostart(on, error)) qDebug().noquote() << error;
        Refresh();
    });
    connect(&m_quit, &QAction::triggered, this, [handlers] { handlers.quit(); });
    m_trayMenu.addActions({&m_showHide, &m_hotkeys, &m_settings, &m_autostart});
    m_trayMenu.addSeparator();
    m_trayMenu.addAction(&m_quit);
    m_windowMenu.addActions({&m_hotkeys, &m_settings, &m_autostart});
    m_windowMenu.addSeparator();
    m_windowMenu.addAction(&m_quit);
    connect(&m_trayMenu, &QMenu::aboutToShow, this, [this] { Refresh(); });
    connect(&m_windowMenu, &QMenu::aboutToShow, this, [this] { Refresh(); });
    connect(&m_controller, &HotkeyController::Changed, this, [this] { Refresh(); });
    Refresh();
}

TrayMenu::~TrayMenu() = default;

bool TrayMenu::ShowIcon()
{
    if (IconShown()) return true;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    m_icon = std::make_unique<QSystemTrayIcon>(QIcon(QStringLiteral(":/velmora/velmora.png")));
    m_icon->setToolTip(QStringLiteral("Velmora"));
    m_icon->setContextMenu(&m_trayMenu);
    connect(m_icon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    m_showHide.trigger();
            });
    m_icon->show();
    return true;
}

void TrayMenu::Refresh()
{
    m_showHide.setText(m_window->isVisible() ? Tr("Hide the window") : Tr("Show the window"));
    m_hotkeys.setChecked(m_controller.Enabled());
    m_autostart.setChecked(velmora::AutostartIsOn());
}

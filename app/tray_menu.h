// The menu beside the form: show or hide the window, hotkeys on or off, the settings, start with
// the desktop, quit. It is the tray icon's menu where the desktop has a tray, and its actions
// (less show or hide) are the window's context menu.
#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class HotkeyController;

class TrayMenu : public QObject {
public:
    struct Handlers {
        std::function<void()> showOrHide;
        std::function<void(bool on)> hotkeys;
        std::function<void()> settings;
        std::function<void()> quit;
    };

    TrayMenu(QWidget* window, HotkeyController& hotkeys, Handlers handlers);
    ~TrayMenu() override;
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    // Shows the icon where the desktop has a tray; false where it has none.
    bool ShowIcon();
    bool IconShown() const { return m_icon && m_icon->isVisible(); }
    QSystemTrayIcon* Icon() { return m_icon.get(); }

    QMenu& TrayContextMenu() { return m_trayMenu; }
    // The window's context menu: the same actions but show or hide.
    QMenu& WindowContextMenu() { return m_windowMenu; }
    QAction& HotkeysAction() { return m_hotkeys; }
    QAction& AutostartAction() { return m_autostart; }

private:
    void Refresh();

    QWidget* m_window;
    HotkeyController& m_controller;
    QAction m_showHide;
    QAction m_hotkeys;
    QAction m_settings;
    QAction m_autostart;
    QAction m_quit;
    QMenu m_trayMenu;
    QMenu m_windowMenu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

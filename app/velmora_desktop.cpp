// The window's life beside the form: hotkeys, the tray, starting hidden, closing to the tray.
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDebug>
#include <QTimer>

#include "app/hotkey_controller.h"
#include "app/settings_dialog.h"
#include "app/tray_menu.h"
#include "app/velmora.h"
#include "app/window_macros.h"

namespace {

// How long --hidden waits for a tray that starts with the desktop, and how often it looks.
constexpr int kTrayWaitMs = 10000;
constexpr int kTrayLookMs = 250;

}  // namespace

void Velmora::StartHotkeys(bool forceOn)
{
    m_userSettings = velmora::LoadUserSettings();
    m_hotkeys->SetCombinations(velmora::EffectiveCombinations(m_userSettings.settings));
    m_hotkeys->SetMacroCombinations(m_userSettings.settings.macros);
    m_hotkeys->SetEnabled(forceOn || m_userSettings.settings.enabled);
}

void Velmora::LoadMacros(const QString& path)
{
    m_macros->Load(path);
}

bool Velmora::ShowTrayIcon()
{
    return m_menu->ShowIcon();
}

void Velmora::StartHidden()
{
    if (ShowTrayIcon()) return;
    auto* look = new QTimer(this);
    auto waited = std::make_shared<int>(0);
    connect(look, &QTimer::timeout, this, [this, look, waited] {
        *waited += kTrayLookMs;
        if (ShowTrayIcon()) {
            look->deleteLater();
        } else if (*waited >= kTrayWaitMs) {
            qDebug().noquote() << "no system tray: the window shows";
            look->deleteLater();
            show();
        }
    });
    look->start(kTrayLookMs);
}

void Velmora::QuitApplication()
{
    m_quitting = true;
    // Ends the event loops first, also one of a warning box still open or one that letting go opens.
    QCoreApplication::quit();
    close();
}

void Velmora::OpenSettings()
{
    if (!m_settingsDialog) {
        QStringList macros;
        for (const velmora::Macro& macro : m_macros->Book().macros)
            macros.append(QString::fromStdString(macro.name));
        m_settingsDialog = new SettingsDialog(*m_hotkeys, m_userSettings.settings,
                                              m_userSettings.problems + m_macros->Problems(), macros);
        m_settingsDialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_settingsDialog->show();
    m_settingsDialog->raise();
    m_settingsDialog->activateWindow();
}

void Velmora::closeEvent(QCloseEvent* event)
{
    if (!m_quitting && m_hotkeys->Enabled() && m_menu->IconShown()) {
        event->ignore();
        hide();
        if (!m_userSettings.settings.hideMessageShown) {
            m_menu->Icon()->showMessage(
                QStringLiteral("Velmora"),
                tr("Velmora keeps running in the tray while the hotkeys are on. Quit from "
                   "the tray icon's menu."));
            m_userSettings.settings.hideMessageShown = true;
            velmora::SaveUserSettings(m_userSettings.settings);
        }
        return;
    }
    // The end of the program: a macro and a hotkey's hold end here, the keyboard's as the window hides.
    m_macros->Cancel();
    m_hotkeys->SetEnabled(false);
    delete m_settingsDialog;
    event->accept();
    // main() keeps the application running while the window hides in the tray.
    if (!QApplication::quitOnLastWindowClosed()) QCoreApplication::quit();
}

void Velmora::contextMenuEvent(QContextMenuEvent* event)
{
    m_menu->WindowContextMenu().popup(event->globalPos());
    event->accept();
}

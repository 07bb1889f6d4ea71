// The one main window: the form, the device table and the start-up sequence.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSocketNotifier>
#include <QString>
#include <memory>

#include "app/keypad_keyboard.h"
#include "app/settings_dialog.h"
#include "app/user_settings.h"
#include "devices/device_table.h"
#include "platform/backend.h"
#include "platform/device_change.h"
#include "platform/status.h"
#include "ui_velmora.h"

class HotkeyController;
class TrayMenu;
class WindowMacros;

class Velmora : public QMainWindow {
    Q_OBJECT

public:
    explicit Velmora(QWidget* parent = nullptr);
    ~Velmora() override;

    // Cfg.ini under m_cfgFolder.
    void ReadCfgValue(const QString& key, QString& value) const;
    void WriteCfgValue(const QString& key, const QString& value) const;
    void LoadUvcExtenConfig();

    // The zoom setting of the selected device.
    velmora::Status QueryCameraZoom();

    // The capture device behind a DeviceList handle; null for 0 or an unknown handle.
    velmora::CaptureDevice* DeviceForHandle(int handle) const;
    // The capture device of DeviceList's current item, or null when none is selected.
    velmora::CaptureDevice* SelectedDevice() const;

    // Rebuilds the device table and DeviceList; returns the number of items listed.
    int RefreshDeviceList();

    // The shared handling of one device-change event.
    void HandleDeviceChange(const velmora::DeviceChangeEvent& event);

    const QString& CurrentPath() const { return m_currentPath; }
    const QString& CfgFolder() const { return m_cfgFolder; }
    Ui_VelmoraClass& Form() { return ui; }

    // Beside the form (velmora_desktop.cpp): the hotkeys, the tray and the settings.
    // Binds the hotkeys when the user's settings turn them on, or for this run when forceOn is set
    // (--hotkeys).
    void StartHotkeys(bool forceOn);
    // Reads the macros file (the default one when path is empty), for the hotkeys and the settings.
    void LoadMacros(const QString& path = {});
    WindowMacros& Macros() { return *m_macros; }
    // The tray icon with its menu, where the desktop has a tray; false where it has none.
    bool ShowTrayIcon();
    // --hidden: stays hidden once a tray icon shows (waiting a little for a tray that starts with
    // the desktop); shows the window where none comes.
    void StartHidden();
    // Ends the program as the close button does when nothing keeps it in the tray: every key held
    // is released first.
    void QuitApplication();
    void OpenSettings();
    HotkeyController& Hotkeys() { return *m_hotkeys; }
    KeypadKeyboard& Keyboard() { return *m_keyboard; }
    TrayMenu& Menu() { return *m_menu; }
    SettingsDialog* OpenSettingsDialog() const { return m_settingsDialog; }

public Q_SLOTS:
    void on_NearButton_pressed();
    void on_NearButton_released();
    void on_FarButton_pressed();
    void on_FarButton_released();
    void on_Zoom_inButton_pressed();
    void on_Zoom_inButton_released();
    void on_Focus_inButton_pressed();
    void on_Focus_inButton_released();
    void on_MENUButton_pressed();
    void on_MENUButton_released();
    void on_Focus_outButton_pressed();
    void on_Focus_outButton_released();
    void on_Zoom_outButton_pressed();
    void on_Zoom_outButton_released();
    void on_AEButton_pressed();
    void on_AEButton_released();
    void on_AWBButton_pressed();
    void on_AWBButton_released();
    void on_lock1Button_pressed();
    void on_lock1Button_released();
    void on_lock2Button_pressed();
    void on_lock2Button_released();
    void on_lock3Button_pressed();
    void on_lock3Button_released();

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#else
    bool nativeEvent(const QByteArray& eventType, void* message, long* result) override;
#endif

private:
    void RunKeySlot(int slotIndex);
    int EnumerateAndFill();
    void RegisterDeviceChange();

    Ui_VelmoraClass ui;
    velmora::DeviceTable m_deviceTable;
    QString m_currentPath;
    QString m_cfgFolder;
    std::shared_ptr<velmora::Backend> m_backend;
    std::unique_ptr<velmora::DeviceChangeSource> m_deviceChange;
    // Watches m_deviceChange's descriptor and calls into it: declared after it, so destroyed first.
    std::unique_ptr<QSocketNotifier> m_deviceChangeWatcher;
    std::unique_ptr<KeypadKeyboard> m_keyboard;
    velmora::UserSettings m_userSettings;
    // Presses through the buttons' signals and the keyboard: declared after both, so destroyed first.
    std::unique_ptr<HotkeyController> m_hotkeys;
    std::unique_ptr<TrayMenu> m_menu;
    // Sends through the slots, the keyboard and the hotkeys: declared after them, so destroyed first.
    std::unique_ptr<WindowMacros> m_macros;
    QPointer<SettingsDialog> m_settingsDialog;
    bool m_quitting = false;
};

// The one Velmora window, set by its constructor once the form exists.
extern Velmora* s_mainWindow;

// Reads the 24 status registers of the device selected in s_mainWindow's DeviceList.
void ReadStatusRegisters();

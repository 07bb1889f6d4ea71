#include "app/velmora.h"

#include <QDir>

#include "app/hotkey_controller.h"
#include "app/settings_dialog.h"
#include "app/tray_menu.h"
#include "app/window_auto_repeat.h"
#include "app/window_macros.h"
#include "platform/backend.h"

Velmora* s_mainWindow = nullptr;

Velmora::Velmora(QWidget* parent) : QMainWindow(parent), m_backend(velmora::ActiveBackendShared())
{
    ui.setupUi(this);
    s_mainWindow = this;
    m_currentPath = QDir::currentPath();
    m_cfgFolder = m_currentPath + "/CfgFile";
    LoadUvcExtenConfig();
    EnumerateAndFill();
    RegisterDeviceChange();
    QueryCameraZoom();
    ReadStatusRegisters();

    const QVector<KeypadKey> keys = KeypadKeys(ui);
    SetKeypadToolTips(keys);
    m_keyboard =
        std::make_unique<KeypadKeyboard>(this, ui.DeviceList, keys, velmora::WindowKeyReleaseSettleMs());
    m_hotkeys = std::make_unique<HotkeyController>(keys, m_keyboard.get());
    m_menu = std::make_unique<TrayMenu>(
        this, *m_hotkeys,
        TrayMenu::Handlers{[this] { setVisible(!isVisible()); },
                           [this](bool on) {
                               m_userSettings.settings.enabled = on;
                               velmora::SaveUserSettings(m_userSettings.settings);
                               m_hotkeys->SetEnabled(on);
                           },
                           [this] { OpenSettings(); }, [this] { QuitApplication(); }});
    m_macros = std::make_unique<WindowMacros>(
        [this](int slot) {
            RunKeySlot(slot);
            return true;
        },
        [this] {
            m_keyboard->LetGo();
            m_hotkeys->LetGo();
        });
    connect(m_hotkeys.get(), &HotkeyController::MacroRequested, this,
            [this](const QString& name) { m_macros->Run(name); });
}

Velmora::~Velmora()
{
    // A dialog or a hold still open goes first, while the slots' form and devices are whole.
    delete m_settingsDialog;
    m_macros.reset();
    m_menu.reset();
    m_hotkeys.reset();
    if (s_mainWindow == this) s_mainWindow = nullptr;
}

// clang-format off
void Velmora::on_NearButton_pressed() { RunKeySlot(0); }
void Velmora::on_NearButton_released() { RunKeySlot(1); }
void Velmora::on_FarButton_pressed() { RunKeySlot(2); }
void Velmora::on_FarButton_released() { RunKeySlot(3); }
void Velmora::on_Zoom_inButton_pressed() { RunKeySlot(4); }
void Velmora::on_Zoom_inButton_released() { RunKeySlot(5); }
void Velmora::on_Focus_inButton_pressed() { RunKeySlot(6); }
void Velmora::on_Focus_inButton_released() { RunKeySlot(7); }
void Velmora::on_MENUButton_pressed() { RunKeySlot(8); }
void Velmora::on_MENUButton_released() { RunKeySlot(9); }
void Velmora::on_Focus_outButton_pressed() { RunKeySlot(10); }
void Velmora::on_Focus_outButton_released() { RunKeySlot(11); }
void Velmora::on_Zoom_outButton_pressed() { RunKeySlot(12); }
void Velmora::on_Zoom_outButton_released() { RunKeySlot(13); }
void Velmora::on_AEButton_pressed() { RunKeySlot(14); }
void Velmora::on_AEButton_released() { RunKeySlot(15); }
void Velmora::on_AWBButton_pressed() { RunKeySlot(16); }
void Velmora::on_AWBButton_released() { RunKeySlot(17); }
void Velmora::on_lock1Button_pressed() { RunKeySlot(18); }
void Velmora::on_lock1Button_released() { RunKeySlot(19); }
void Velmora::on_lock2Button_pressed() { RunKeySlot(20); }
void Velmora::on_lock2Button_released() { RunKeySlot(21); }
void Velmora::on_lock3Button_pressed() { RunKeySlot(22); }
void Velmora::on_lock3Button_released() { RunKeySlot(23); }
// clang-format on

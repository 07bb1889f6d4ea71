#include "app/velmora.h"

#include <QDir>

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
    m_keyboard = std::make_unique<KeypadKeyboard>(this, ui.DeviceList, keys);
}

Velmora::~Velmora()
{
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

#include "app/keypad_keyboard.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

#include <utility>

#include "ui_velmora.h"

QVector<KeypadKey> KeypadKeys(const Ui_VelmoraClass& form)
{
    return {
        {form.NearButton, Qt::Key_L, 0, "L"},  // 直播: live
        {form.FarButton, Qt::Key_N, 0, "N"},   // 常规: normal
        {form.AWBButton, Qt::Key_W, 0, "W"},   // white balance
        {form.AEButton, Qt::Key_A, 0, "A"},    // auto exposure
        {form.Zoom_inButton, Qt::Key_Up, 0, "Up"},
        {form.Zoom_outButton, Qt::Key_Down, 0, "Down"},
        {form.Focus_inButton, Qt::Key_Left, 0, "Left"},
        {form.Focus_outButton, Qt::Key_Right, 0, "Right"},
        {form.MENUButton, Qt::Key_Return, Qt::Key_Enter, "Enter"},
        {form.lock1Button, Qt::Key_1, 0, "1"},
        {form.lock2Button, Qt::Key_2, 0, "2"},
        {form.lock3Button, Qt::Key_3, 0, "3"},
    };
}

void SetKeypadToolTips(const QVector<KeypadKey>& keys)
{
    for (const KeypadKey& key : keys) {
        key.button->setToolTip(QCoreApplication::translate("VelmoraClass", "Key: %1").arg(key.name));
    }
}

KeypadKeyboard::KeypadKeyboard(QWidget* window, QComboBox* deviceList, QVector<KeypadKey> keys,
                               int releaseSettleMs)
    : m_window(window), m_deviceList(deviceList), m_keys(std::move(keys))
{
    m_release.setSingleShot(true);
    m_release.setInterval(releaseSettleMs);
    connect(&m_release, &QTimer::timeout, this, [this] { Release(); });
    // On the application, not the window: a key comes up wherever the focus is by then.
    qApp->installEventFilter(this);
}

KeypadKeyboard::~KeypadKeyboard()
{
    qApp->removeEventFilter(this);
}

bool KeypadKeyboard::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
        case QEvent::KeyPress:
            return OnKeyPress(watched, static_cast<const QKeyEvent&>(*event));
        case QEvent::KeyRelease:
            return OnKeyRelease(watched, static_cast<const QKeyEvent&>(*event));
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (!IsButton(watched) || !(m_held || m_heldElsewhere)) return false;
            m_ignoredClick = watched;
            return true;
        case QEvent::MouseButtonRelease:
            // The button held down by a key would take it as the end of a click of its own.
            if (watched != m_ignoredClick) return false;
            m_ignoredClick = nullptr;
            return true;
        case QEvent::WindowDeactivate:
        case QEvent::Hide:
            if (watched == m_window) Release();
            return false;
        case QEvent::FocusOut:
            // Ahead of the button's own handler, which would emit released() itself and leave the
            // key coming up to send a second release.
            if (m_held && watched == m_held) Release();
            return false;
        default:
            return false;
    }
}

bool KeypadKeyboard::OnKeyPress(QObject* watched, const QKeyEvent& event)
{
    if (m_release.isActive()) {
        if (IsHeldKey(event) && event.timestamp() != 0 && event.timestamp() == m_releaseTimestamp) {
            m_release.stop();  // auto-repeat: still held
            return true;
        }
        Release();
    }
    if (!InWindow(watched)) return false;
    const int key = event.key();
    // The focused button's own Space would be a second key.
    if (m_held && (key == Qt::Key_Space || key == Qt::Key_Select)) return true;
    const KeypadKey* keypadKey = Find(key);
    if (!keypadKey) return false;
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    if (watched == m_deviceList && (key == Qt::Key_Up || key == Qt::Key_Down)) return false;
    if (event.isAutoRepeat() || m_held || AnyButtonDown()) return true;

    m_held = keypadKey->button;
    m_heldKey = key;
    m_heldScanCode = event.nativeScanCode();
    m_held->setDown(true);
    Q_EMIT m_held->pressed();
    return true;
}

bool KeypadKeyboard::OnKeyRelease(QObject* watched, const QKeyEvent& event)
{
    if (IsHeldKey(event)) {
        if (event.isAutoRepeat() || m_release.isActive()) return true;
        if (m_release.interval() == 0) {
            Release();
        } else {
            m_releaseTimestamp = event.timestamp();
            m_release.start();
        }
        return true;
    }
    // A focused button held by its key would take Space coming up as a click of its own.
    return m_held && InWindow(watched) && (event.key() == Qt::Key_Space || event.key() == Qt::Key_Select);
}

bool KeypadKeyboard::IsHeldKey(const QKeyEvent& event) const
{
    // With a modifier pressed meanwhile the same physical key can come up as another Qt::Key.
    return m_held &&
           (event.key() == m_heldKey || (m_heldScanCode != 0 && event.nativeScanCode() == m_heldScanCode));
}

bool KeypadKeyboard::InWindow(QObject* watched) const
{
    return watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == m_window;
}

const KeypadKey* KeypadKeyboard::Find(int key) const
{
    for (const KeypadKey& keypadKey : m_keys) {
        if (keypadKey.key == key || (keypadKey.otherKey != 0 && keypadKey.otherKey == key)) return &keypadKey;
    }
    return nullptr;
}

bool KeypadKeyboard::IsButton(QObject* watched) const
{
    for (const KeypadKey& key : m_keys) {
        if (key.button == watched) return true;
    }
    return false;
}

bool KeypadKeyboard::AnyButtonDown() const
{
    for (const KeypadKey& key : m_keys) {
        if (key.button->isDown()) return true;
    }
    return false;
}

void KeypadKeyboard::Release()
{
    if (!m_held) return;
    // Forgotten first: the released slot may open the warning, whose event loop delivers more keys.
    m_release.stop();
    QPushButton* button = m_held;
    m_held = nullptr;
    m_heldKey = 0;
    m_heldScanCode = 0;
    button->setDown(false);
    Q_EMIT button->released();
}

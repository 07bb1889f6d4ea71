// The twelve keys from the keyboard: a keyboard key going down presses its button and coming up
// releases it, through the button's own pressed() and released() signals, so the same slots run
// as for the mouse.
#pragma once

#include <QObject>
#include <QTimer>
#include <QVector>
#include <QtGlobal>

class QComboBox;
class QKeyEvent;
class QPushButton;
class QWidget;
class Ui_VelmoraClass;

struct KeypadKey {
    QPushButton* button;
    int key;           // a Qt::Key
    int otherKey;      // a second Qt::Key for the same button, or 0
    const char* name;  // as the tooltip and the README name it
};

// The arrows and Enter for the pad, letters and digits for the other seven, in the form's order.
QVector<KeypadKey> KeypadKeys(const Ui_VelmoraClass& form);

// "Key: Up" and so on, on each button's tooltip.
void SetKeypadToolTips(const QVector<KeypadKey>& keys);

// Watches the application's events for the keys typed into one window. One key at a time: while a
// key (or a hotkey) holds a button down, other keys and mouse clicks on the twelve buttons are
// ignored, and auto-repeat sends nothing. The held key is released when it comes up wherever it is
// delivered (on an X server that refuses detectable auto-repeat after a short settling time, see
// kReleaseSettleMs), at once when the window is deactivated or hidden or its button loses the
// focus. deviceList keeps Up and Down while it has the focus.
class KeypadKeyboard : public QObject {
public:
    // An X server without detectable auto-repeat sends a repeat as a release and a press with one
    // timestamp; a loaded client can read the release before the press arrives, so the toolkit
    // cannot pair them. There a release waits this long for its press.
    static constexpr int kReleaseSettleMs = 50;

    // releaseSettleMs: kReleaseSettleMs where repeats come as release and press pairs, else 0.
    KeypadKeyboard(QWidget* window, QComboBox* deviceList, QVector<KeypadKey> keys, int releaseSettleMs);
    ~KeypadKeyboard() override;
    KeypadKeyboard(const KeypadKeyboard&) = delete;
    KeypadKeyboard& operator=(const KeypadKeyboard&) = delete;

    int ReleaseSettleMs() const { return m_release.interval(); }
    void SetReleaseSettleMs(int milliseconds) { m_release.setInterval(milliseconds); }
    // Lets go of the key held, sending its release now (another front end presses a key).
    void LetGo() { Release(); }
    // The button another front end (a hotkey) holds down, or null: clicks are ignored meanwhile.
    void SetHeldElsewhere(QPushButton* button) { m_heldElsewhere = button; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool OnKeyPress(QObject* watched, const QKeyEvent& event);
    bool OnKeyRelease(QObject* watched, const QKeyEvent& event);
    bool IsHeldKey(const QKeyEvent& event) const;
    bool InWindow(QObject* watched) const;
    const KeypadKey* Find(int key) const;
    bool IsButton(QObject* watched) const;
    bool AnyButtonDown() const;
    void Release();

    QWidget* m_window;
    QComboBox* m_deviceList;
    QVector<KeypadKey> m_keys;
    QPushButton* m_held = nullptr;
    int m_heldKey = 0;
    quint32 m_heldScanCode = 0;
    QTimer m_release;
    quint64 m_releaseTimestamp = 0;
    QPushButton* m_heldElsewhere = nullptr;
    QObject* m_ignoredClick = nullptr;  // a button whose mouse press was ignored, until its release
};

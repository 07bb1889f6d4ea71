// The window's macros: the macros file (the default one, as velmoractl and serve read it), run
// through the same engine (MacroRunner) on the window's key slots, from a timer. One at a time: a
// macro started cancels the one running, and a key pressed in the window (a click, the keyboard, a
// hotkey) cancels it before its press goes out. A cancelled macro releases the key it holds first.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

#include "keys/macro.h"
#include "keys/macro_runner.h"

class WindowMacros : public QObject {
    Q_OBJECT

public:
    // send writes one key slot (0..23) to the selected camera; letGo releases what the window's
    // keyboard, mouse or hotkeys hold, before a macro's press (the camera has one keypad).
    WindowMacros(std::function<bool(int slot)> send, std::function<void()> letGo, QObject* parent = nullptr);
    ~WindowMacros() override;

    // Reads the macros file: path, or the default one when empty. Its problems, each "FILE: line N:
    // ...", are on Problems() and the debug channel; a bad file runs nothing.
    void Load(const QString& path = {});
    const velmora::MacroBook& Book() const { return m_book; }
    const QStringList& Problems() const { return m_problems; }

    // Runs the macro of that name (any letter case), cancelling the one running; false when the
    // file has none.
    bool Run(const QString& name);
    // Ends the running macro, sending the release it owes now.
    void Cancel();
    bool Running() const { return m_runner.has_value(); }
    // A macro's own write is going out (the window does not cancel the macro for it).
    bool Sending() const { return m_sending; }

Q_SIGNALS:
    // A macro started (name) or ended (empty).
    void RunningChanged(const QString& name);

private:
    void Step();
    void End();

    std::function<bool(int)> m_send;
    std::function<void()> m_letGo;
    velmora::MacroBook m_book;
    QStringList m_problems;
    std::optional<velmora::MacroRunner> m_runner;
    QTimer m_timer;
    bool m_sending = false;
};

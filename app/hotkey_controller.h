// The hotkeys as a front end of the window: a combination going down presses its button and
// coming up releases it, through the button's own pressed() and released() signals, so the same
// slots run as for a mouse click and hold. One key at a time, whoever pressed it: a hotkey first
// lets go of a key held from the window's keyboard or mouse. A hotkey's hold ends when its
// combination comes up, when the hotkeys are turned off, at the hold limit, when LetGo() is called
// (the camera went) and when the controller goes (the program ends). A macro's combination asks
// the window to run the macro when it goes down, and holds nothing.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "app/keypad_keyboard.h"
#include "hotkeys/combination.h"
#include "hotkeys/hotkey_hold.h"
#include "hotkeys/hotkey_settings.h"
#include "hotkeys/hotkey_source.h"
#include "keys/key_table.h"

class QPushButton;

class HotkeyController : public QObject {
    Q_OBJECT

public:
    using Combinations = std::array<std::optional<velmora::Combination>, velmora::KeyCount>;

    // keys: the window's keypad keys (any order); keyboard: the window's own, let go of first.
    HotkeyController(const QVector<KeypadKey>& keys, KeypadKeyboard* keyboard, QObject* parent = nullptr);
    ~HotkeyController() override;
    HotkeyController(const HotkeyController&) = delete;
    HotkeyController& operator=(const HotkeyController&) = delete;

    // Binds these combinations (key-table order) when on.
    void SetCombinations(const Combinations& combinations);
    // And these, each running its macro (MacroRequested) when it goes down.
    void SetMacroCombinations(std::vector<velmora::MacroHotkey> macros);
    const std::vector<velmora::MacroHotkey>& MacroCombinations() const { return m_macros; }
    const Combinations& CurrentCombinations() const { return m_combinations; }
    void SetEnabled(bool on);
    bool Enabled() const { return m_enabled; }
    // Unbinds while on, so that the settings can record combinations; false binds again.
    void Suspend(bool suspended);

    // Ends a hotkey's hold now, sending its release.
    void LetGo();
    // The key a hotkey holds, or -1.
    int HeldKey() const { return m_hold.Held(); }

    // The adapter: its name, what it can do here, and why it cannot when it cannot (else empty).
    QString SourceName();
    QString Ability();
    QString Unavailable() const { return m_unavailable; }
    // A key's combination as the adapter took it.
    velmora::BindingStatus StatusOf(int keyIndex) const
    {
        return m_statuses[static_cast<std::size_t>(keyIndex)];
    }

Q_SIGNALS:
    // Turned on or off, bound, refused, unavailable.
    void Changed();
    // A macro's combination went down.
    void MacroRequested(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    velmora::HotkeySource& Source();
    void Bind();
    void Unbind();
    void Act(velmora::HotkeyHold::Step step);
    void Press(int keyIndex);
    void Release(int keyIndex);
    void Schedule();
    void OnStatuses(const std::vector<velmora::BindingStatus>& statuses);
    void OnUnavailable(const std::string& message);

    std::array<QPushButton*, velmora::KeyCount> m_buttons{};
    KeypadKeyboard* m_keyboard;
    std::unique_ptr<velmora::HotkeySource> m_source;
    velmora::HotkeyHold m_hold;
    QElapsedTimer m_clock;
    QTimer m_deadline;
    Combinations m_combinations{};
    std::vector<velmora::MacroHotkey> m_macros;  // binding ids KeyCount and up
    std::array<velmora::BindingStatus, velmora::KeyCount> m_statuses{};
    QString m_unavailable;
    bool m_enabled = false;
    bool m_suspended = false;
    bool m_bound = false;
};

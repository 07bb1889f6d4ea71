// The settings: the twelve keys with their combinations (recorded by pressing them, cleared with a
// button), the switch for the hotkeys as a whole, what the hotkeys can do here, start with the
// desktop, and the lines of the settings file that could not be read. Apply writes velmora.ini and
// binds the combinations at once; while a combination is being recorded the hotkeys are unbound,
// so that the field gets every combination.
#pragma once

#include <QDialog>
#include <QStringList>

#include <array>

#include "hotkeys/hotkey_settings.h"
#include "keys/key_table.h"

class CombinationEdit;
class HotkeyController;
class QCheckBox;
class QLabel;

class SettingsDialog : public QDialog {
public:
    // settings: the window's copy, updated on Apply; problems: the file's unread lines.
    SettingsDialog(HotkeyController& hotkeys, velmora::HotkeySettings& settings, const QStringList& problems,
                   QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // Writes the settings and binds them; false (and a message) when the file could not be written.
    bool Apply();

    QCheckBox& HotkeysSwitch() { return *m_enabled; }
    QCheckBox& AutostartSwitch() { return *m_autostart; }
    CombinationEdit& Edit(int keyIndex) { return *m_edits[static_cast<std::size_t>(keyIndex)]; }
    QString StatusText(int keyIndex) const;

private:
    void Record(int keyIndex, const velmora::Combination& combination);
    void ShowStatuses();
    void ShowSuggested();

    HotkeyController& m_hotkeys;
    velmora::HotkeySettings& m_settings;
    velmora::HotkeySettings m_edited;
    bool m_enabledAtOpen = false;
    QCheckBox* m_enabled = nullptr;
    QCheckBox* m_autostart = nullptr;
    QLabel* m_backend = nullptr;
    QLabel* m_message = nullptr;
    std::array<CombinationEdit*, velmora::KeyCount> m_edits{};
    std::array<QLabel*, velmora::KeyCount> m_statuses{};
};

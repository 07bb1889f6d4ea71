// The settings: the twelve keys with their combinations (recorded by pressing them, cleared with a
// button), the macros of the macros file with theirs, the switch for the hotkeys as a whole, what the hotkeys
// can do here, start with the desktop, and the lines of the settings file that could not be read. Apply
// writes velmora.ini and binds the combinations at once; while a combination is being recorded the hotkeys
// are unbound, so that the field gets every combination.
#pragma once

#include <QDialog>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

#include "hotkeys/hotkey_settings.h"
#include "keys/key_table.h"

class CombinationEdit;
class HotkeyController;
class QCheckBox;
class QLabel;

class SettingsDialog : public QDialog {
public:
    // settings: the window's copy, updated on Apply; problems: the file's unread lines; macros: the
    // names in the macros file, each a row of its own.
    SettingsDialog(HotkeyController& hotkeys, velmora::HotkeySettings& settings, const QStringList& problems,
                   const QStringList& macros = {}, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // Writes the settings and binds them; false (and a message) when the file could not be written.
    bool Apply();

    QCheckBox& HotkeysSwitch() { return *m_enabled; }
    QCheckBox& AutostartSwitch() { return *m_autostart; }
    CombinationEdit& Edit(int keyIndex) { return *m_edits[static_cast<std::size_t>(keyIndex)]; }
    // The row of the macro, in the order given.
    CombinationEdit& MacroEdit(int row) { return *m_macroEdits[static_cast<std::size_t>(row)]; }
    QString StatusText(int keyIndex) const;

private:
    void Record(int keyIndex, const velmora::Combination& combination);
    // A macro's combination (none: cleared); false, and why on the message line, when it is taken.
    bool RecordMacro(const QString& name, const std::optional<velmora::Combination>& combination);
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
    std::vector<CombinationEdit*> m_macroEdits;
};

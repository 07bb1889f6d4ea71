// The user's own settings, apart from Cfg.ini (which describes the camera): velmora.ini in the
// user's configuration folder, written with QSettings (IniFormat, user scope) and read line by line
// by ReadHotkeySettings, so that a damaged or hand-written file keeps what it can.
//   Linux:   $XDG_CONFIG_HOME/velmora/velmora.ini (~/.config/velmora/velmora.ini)
//   Windows: %APPDATA%\velmora\velmora.ini
#pragma once

#include <QString>
#include <QStringList>

#include "hotkeys/hotkey_settings.h"

namespace velmora {

QString UserSettingsPath();

struct UserSettings {
    HotkeySettings settings;
    QStringList problems;  // "velmora.ini line 7: ...", each also on the debug channel
};

// Defaults when there is no file; never fails.
UserSettings LoadUserSettings();

// False when the file could not be written.
bool SaveUserSettings(const HotkeySettings& settings);

}  // namespace velmora

// "Start with the desktop": an XDG autostart entry on Linux, made from the package's desktop file
// with --hidden; a value under the current user's Run key on Windows. Nothing else is written.
#pragma once

#include <QString>

namespace velmora {

inline constexpr char kDesktopFileName[] = "io.github.velmora.velmora.desktop";

bool AutostartIsOn();
// On failure false, and why in error.
bool SetAutostart(bool on, QString& error);
// Where the entry lives: a file, or the registry value's path.
QString AutostartLocation();

// The autostart entry made from a desktop file's text: its Exec line given --hidden (before any
// field code). Without a desktop file (empty text), a minimal entry that runs program.
QString AutostartEntry(const QString& desktopFile, const QString& program);

}  // namespace velmora

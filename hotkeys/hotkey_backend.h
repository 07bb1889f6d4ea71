// The one place that picks the hotkey adapter for this desktop.
#pragma once

#include <functional>
#include <memory>

#include "hotkeys/hotkey_source.h"

namespace velmora {

// VELMORA_HOTKEY_BACKEND (x11, portal, windows, none) when set; else RegisterHotKey on Windows, the
// desktop portal in a Wayland session, passive grabs under Qt's xcb platform, and none elsewhere
// (offscreen, say), which reports itself unavailable. Needs the GUI application.
std::unique_ptr<HotkeySource> CreateHotkeySource();

// Tests: what CreateHotkeySource makes from now on; an empty function restores the choice above.
void InstallHotkeySourceFactory(std::function<std::unique_ptr<HotkeySource>()> factory);

}  // namespace velmora

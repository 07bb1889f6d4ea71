// How the window's own keyboard tells a held key's auto-repeat from letting go.
#pragma once

namespace velmora {

// 0 where a held key comes as presses and one release: Windows, Wayland, and an X server that
// grants detectable auto-repeat, asked for here on Qt's connection. KeypadKeyboard::kReleaseSettleMs
// on an X server that refuses it.
int WindowKeyReleaseSettleMs();

}  // namespace velmora

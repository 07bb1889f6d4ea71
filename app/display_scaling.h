#pragma once

namespace velmora {

// Makes the window scale as one piece with the display it is on: the form keeps its design in
// device-independent pixels, and a display at 125 % or 150 % scales it by 1.25 or 1.5, not rounded
// to a whole factor. Call before the application object is made. What a user sets in the
// environment still decides: QT_ENABLE_HIGHDPI_SCALING=0 turns it off, QT_SCALE_FACTOR multiplies
// it, QT_SCALE_FACTOR_ROUNDING_POLICY rounds it. Qt 6 scales this way by itself.
void EnableDisplayScaling();

}  // namespace velmora

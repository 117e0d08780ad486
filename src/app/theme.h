#pragma once
// Light or dark look of the program.
#include <QString>

class QPalette;

namespace quillon {

// "dark" or "light" from QUILLON_THEME; otherwise dark when the desktop asks for
// it (a GTK theme name ending in "dark", or a platform palette that is dark).
bool WantsDarkTheme();
// The Fusion style's dark palette.
QPalette DarkPalette();
// Switches the application to Fusion with the dark palette when WantsDarkTheme();
// only the first call acts.
void ApplyDesktopTheme();

} // namespace quillon

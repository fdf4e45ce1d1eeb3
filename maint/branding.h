// The branding header painted into the top of the main panel at start-up:
// a coloured banner, a logo, up to three supplier lines and the program's
// name and version, chosen by a branding number from a built-in table.
#pragma once

#include <string>

// The branding this build is delivered under.
constexpr int kOwnBranding = 2;

// Paints branding row `branding` (0 to 7). Row 5, and any number outside
// the table, paints nothing.
void ShowLogo(int branding);

// A new text message on the panel: the application's font in bold, the
// given colours and point size, at left/top. Returns the control's id, or a
// negative code. Header lines are made once and never removed.
int ShowInfoText(int panel, int backgroundColor, int textColor, const char *text, int left, int top, int pointSize);

// The file a row's supplier bitmap is read from (beside the executable).
std::string BrandingBitmapPath(int branding);

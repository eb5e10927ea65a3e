#pragma once

// The look shared by every window of the controller: the grey window colour
// and the small sans-serif font the fixed pixel layouts are drawn for.

#include <QColor>
#include <QFont>

class QApplication;

inline constexpr QColor kWindowColour{212, 208, 200};

// "MS Sans Serif" 8 pt where it is installed, else a sans-serif font of the
// same size.
QFont controllerFont();

// Sets style, palette, font and icon for the whole application.
void applyControllerStyle(QApplication &application);

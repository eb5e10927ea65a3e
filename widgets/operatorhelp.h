#pragma once

// What every window does for an operator who does not know it yet, or who
// works with the keyboard or a screen reader. Main thread only.

#include <QString>

class QWidget;

// Gives a control its object name (for tools and tests), its accessible name
// (what a screen reader says, and how assistive tools find it) and, when not
// empty, a tooltip that says what a press or a drag does.
void describeControl(QWidget *control, const QString &objectName, const QString &accessibleName,
                     const QString &toolTip = {});

// Escape closes the window, as a dialog's Escape does; the window's close
// handling decides what closing means (these windows only hide).
void closeOnEscape(QWidget *window);

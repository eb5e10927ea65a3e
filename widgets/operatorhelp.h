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

// Names the button that Qt adds to a control of its own accord (a line
// edit's clear button, a table's corner button), which a screen reader
// would otherwise reach without a name. Nothing when there is none.
void describeInnerButton(QWidget *control, const QString &accessibleName);

// Escape closes the window, as a dialog's Escape does; the window's close
// handling decides what closing means (these windows only hide).
void closeOnEscape(QWidget *window);

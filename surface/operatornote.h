#pragma once

// A short modal note to the operator, titled with the program's name.
// Main thread only.

class QString;
class QWidget;

void showOperatorNote(QWidget *parent, const QString &text);

#include "diagramwindow.h"

using namespace Qt::StringLiterals;

TForm4::TForm4(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(u"Diagram"_s);
    resize(kSize);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
}

void TForm4::ThreadedTimer1Timer()
{
}

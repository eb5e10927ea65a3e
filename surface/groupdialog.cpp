#include "groupdialog.h"

using namespace Qt::StringLiterals;

TForm8::TForm8(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(u"Group"_s);
    setModal(false);
    resize(kSize);
}

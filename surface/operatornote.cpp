#include "operatornote.h"

#include <QCoreApplication>
#include <QMessageBox>

void showOperatorNote(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

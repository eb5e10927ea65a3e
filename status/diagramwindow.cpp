#include "diagramwindow.h"

#include <QLabel>

using namespace Qt::StringLiterals;

TForm4::TForm4(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(u"Diagram"_s);
    resize(kSize);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, Qt::white);
    setPalette(black);
    setAutoFillBackground(true);
    createLabels();
}

// Captions right-aligned beside their values, in the order of the layout.
void TForm4::createLabels()
{
    QFont text = font();
    text.setPixelSize(16);
    const auto add = [&](const QRect &geometry, const QString &caption, Qt::Alignment align) {
        auto *label = new QLabel(caption, this);
        label->setGeometry(geometry);
        label->setAlignment(align | Qt::AlignVCenter);
        label->setFont(text);
        return label;
    };
    const QString unfilled = u"?????"_s;
    add(QRect(48, 456, 145, 25), u"Main SW version:"_s, Qt::AlignRight);
    m_mainSwVersion = add(QRect(200, 456, 73, 25), unfilled, Qt::AlignLeft);
    add(QRect(16, 480, 177, 25), u"PSU SW version:"_s, Qt::AlignRight);
    m_psuSwVersion = add(QRect(200, 480, 73, 25), unfilled, Qt::AlignLeft);
    add(QRect(336, 456, 185, 25), u"Webserver SW version:"_s, Qt::AlignRight);
    m_webserverSwVersion = add(QRect(528, 456, 65, 25), unfilled, Qt::AlignLeft);
    add(QRect(344, 480, 177, 25), u"DDS SW version:"_s, Qt::AlignRight);
    m_ddsSwVersion = add(QRect(528, 480, 65, 25), unfilled, Qt::AlignLeft);
    add(QRect(656, 456, 129, 25), u"Serial Number:"_s, Qt::AlignRight);
    m_serialNumber = add(QRect(792, 456, 65, 25), unfilled, Qt::AlignLeft);
}

void TForm4::ThreadedTimer1Timer()
{
}

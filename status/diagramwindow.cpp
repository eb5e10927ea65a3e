#include "diagramwindow.h"

#include "artpaths.h"
#include "historyplot.h"
#include "operatorhelp.h"

#include <QLabel>
#include <QPainter>
#include <QShowEvent>
#include <QSvgRenderer>

using namespace Qt::StringLiterals;

namespace {

QImage renderBackground()
{
    QImage picture(HistoryPlot::kPictureSize, QImage::Format_RGB32);
    picture.fill(Qt::black);
    QSvgRenderer svg(ArtPath::DiagramBackground);
    QPainter painter(&picture);
    svg.render(&painter, QRectF(QPointF(0, 0), HistoryPlot::kPictureSize));
    return picture;
}

} // namespace

TForm4::TForm4(SelectedBlock selectedBlock, const QWidget *centreOver, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      m_selectedBlock(std::move(selectedBlock)),
      m_centreOver(centreOver),
      m_image1(new QLabel(this)),
      m_image2(renderBackground()),
      m_threadedTimer1(this)
{
    setWindowTitle(u"Diagram"_s);
    resize(kSize);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, Qt::white);
    setPalette(black);
    setAutoFillBackground(true);

    m_image1->setGeometry(QRect(QPoint(8, 8), HistoryPlot::kPictureSize));
    m_image1->setPixmap(QPixmap::fromImage(m_image2));
    describeControl(m_image1, u"Image1"_s, u"Histories of the last 100 minutes"_s);
    createLabels();
    closeOnEscape(this);

    m_threadedTimer1.setInterval(kRedrawIntervalMs);
    m_threadedTimer1.setThreadPriority(TThreadedTimer::tpLowest);
    m_threadedTimer1.setOnTimer([this](TThreadedTimer *) { ThreadedTimer1Timer(); });
    m_threadedTimer1.setEnabled(true);
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
    const StatusBlock *block = m_selectedBlock ? m_selectedBlock() : nullptr;
    if (!block)
        return;
    QImage picture = m_image2.copy();
    HistoryPlot::drawAll(picture, *block);
    m_image1->setPixmap(QPixmap::fromImage(std::move(picture)));
}

bool TForm4::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(event);
}

// Before the window appears, so that it does not jump.
void TForm4::showEvent(QShowEvent *event)
{
    if (!m_placed && m_centreOver && !event->spontaneous()) {
        QRect frame(QPoint(0, 0), frameGeometry().size());
        frame.moveCenter(m_centreOver->frameGeometry().center());
        move(frame.topLeft());
        m_placed = true;
    }
    QWidget::showEvent(event);
}

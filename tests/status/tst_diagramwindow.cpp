// The diagram window, read from the picture it paints: the traces must stand
// exactly where the background's scales put them.

#include "diagramwindow.h"
#include "historyplot.h"

#include <QLabel>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr QRgb kYellow = 0xffffff00;

// Image1 as the operator sees it.
QImage shownPicture(const TForm4 &form)
{
    return form.Image1()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The smallest rectangle holding every yellow pixel, and their number.
std::pair<QRect, int> yellowPixels(const QImage &picture)
{
    QRect bounds;
    int count = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (picture.pixel(x, y) == kYellow) {
                bounds |= QRect(x, y, 1, 1);
                ++count;
            }
        }
    }
    return {bounds, count};
}

// Every pixel outside the rectangle as in the clean background.
bool backgroundOutside(const QImage &picture, const QImage &background, const QRect &drawn)
{
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (!drawn.contains(x, y) && picture.pixel(x, y) != background.pixel(x, y))
                return false;
        }
    }
    return true;
}

void setHistory(StatusBlock &block, History history, int sample, quint8 value)
{
    block[static_cast<std::size_t>(StatusField::FirstHistory + int(history) * StatusField::HistoryLength + sample)] = value;
}

void fillHistory(StatusBlock &block, History history, quint8 value)
{
    for (int sample = 0; sample < StatusField::HistoryLength; ++sample)
        setHistory(block, history, sample, value);
}

} // namespace

class tst_DiagramWindow final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void traceStandsOnItsOrigin_data();
    void traceStandsOnItsOrigin();
    void noSelectionKeepsThePlots();
    void activationRedraws();
    void firstShowCentresOverTheMainWindow();

private:
    StatusBlock m_block{};
    const StatusBlock *m_selected = nullptr;
    std::unique_ptr<TForm4> m_form;
};

void tst_DiagramWindow::init()
{
    m_block = {};
    m_selected = &m_block;
    m_form = std::make_unique<TForm4>([this] { return m_selected; });
    m_form->ThreadedTimer1()->setEnabled(false);
}

void tst_DiagramWindow::cleanup()
{
    m_form.reset();
}

void tst_DiagramWindow::traceStandsOnItsOrigin_data()
{
    QTest::addColumn<int>("history");
    QTest::addColumn<int>("sample");  // -1: every sample
    QTest::addColumn<int>("value");
    QTest::addColumn<QRect>("expected");  // relative to the origin

    const QRect fullArea(-170, -84, 171, 85);
    QTest::newRow("peak voltage A all 255") << int(History::PeakVoltageA) << -1 << 255 << fullArea.translated(187, 147);
    QTest::newRow("peak voltage B all 255") << int(History::PeakVoltageB) << -1 << 255 << fullArea.translated(487, 147);
    QTest::newRow("amplifier temperature all 255") << int(History::AmplifierTemperature) << -1 << 255 << fullArea.translated(787, 147);
    QTest::newRow("current A all 255") << int(History::CurrentA) << -1 << 255 << fullArea.translated(187, 371);
    QTest::newRow("current B all 255") << int(History::CurrentB) << -1 << 255 << fullArea.translated(487, 371);
    QTest::newRow("PSU temperature all 255") << int(History::PsuTemperature) << -1 << 255 << fullArea.translated(787, 371);
    QTest::newRow("now: sample 0 at the origin") << int(History::PeakVoltageA) << 0 << 255 << QRect(187, 63, 1, 85);
    QTest::newRow("100 minutes ago: sample 511") << int(History::PeakVoltageA) << 511 << 255 << QRect(17, 63, 1, 85);
    QTest::newRow("value 128: 43 pixels") << int(History::CurrentB) << 300 << 128 << QRect(487 - 100, 371 - 42, 1, 43);
    QTest::newRow("value 3: one pixel") << int(History::CurrentB) << 300 << 3 << QRect(487 - 100, 371, 1, 1);
    QTest::newRow("value 2: nothing") << int(History::CurrentB) << 300 << 2 << QRect();
    QTest::newRow("value 1: nothing") << int(History::CurrentB) << 300 << 1 << QRect();
}

void tst_DiagramWindow::traceStandsOnItsOrigin()
{
    QFETCH(int, history);
    QFETCH(int, sample);
    QFETCH(int, value);
    QFETCH(QRect, expected);
    if (sample < 0)
        fillHistory(m_block, History(history), quint8(value));
    else
        setHistory(m_block, History(history), sample, quint8(value));

    m_form->ThreadedTimer1Timer();
    const QImage picture = shownPicture(*m_form);
    const auto [bounds, count] = yellowPixels(picture);
    QCOMPARE(bounds, expected);
    QCOMPARE(count, expected.width() * expected.height());
    QVERIFY(backgroundOutside(picture, m_form->Image2(), expected));
}

// Without a selected device nothing changes; a device whose block is all zero
// clears the plots.
void tst_DiagramWindow::noSelectionKeepsThePlots()
{
    fillHistory(m_block, History::CurrentA, 255);
    m_form->ThreadedTimer1Timer();
    const QImage plotted = shownPicture(*m_form);

    m_selected = nullptr;
    m_form->ThreadedTimer1Timer();
    QCOMPARE(shownPicture(*m_form), plotted);

    const StatusBlock zero{};
    m_selected = &zero;
    m_form->ThreadedTimer1Timer();
    QCOMPARE(shownPicture(*m_form), m_form->Image2());
}

void tst_DiagramWindow::activationRedraws()
{
    fillHistory(m_block, History::PsuTemperature, 255);
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(m_form.get(), &activate);
    QCOMPARE(yellowPixels(shownPicture(*m_form)).second, 171 * 85);
}

// Only the first showing places the window; the operator may move it later.
void tst_DiagramWindow::firstShowCentresOverTheMainWindow()
{
    QWidget mainWindow;
    mainWindow.setGeometry(40, 30, 1024, 720);
    TForm4 form([] { return nullptr; }, &mainWindow);
    QVERIFY(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    form.show();
    QCOMPARE(form.frameGeometry().center(), mainWindow.frameGeometry().center());

    form.move(5, 5);
    form.close();
    QVERIFY(!form.isVisible());
    form.show();
    QCOMPARE(form.pos(), QPoint(5, 5));
}

QTEST_MAIN(tst_DiagramWindow)
#include "tst_diagramwindow.moc"

#include "networkstatwindow.h"

#include "fixedpitchfont.h"
#include "operatorhelp.h"

#include <QListWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Differences of counts that only grow, taken modulo 2^32 so that they stay
// right when a count wraps after 2^31 attempts.
int growth(int now, int before)
{
    return static_cast<int>(static_cast<quint32>(now) - static_cast<quint32>(before));
}

} // namespace

TForm6::TForm6(const tDevices &devices, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_devices(devices),
      m_listBox1(new QListWidget(this)),
      m_threadedTimer1(this)
{
    setWindowTitle(u"Network stat"_s);
    // The scan window's font: the columns of the rows line up.
    m_listBox1->setFont(fixedPitchFont());
    describeControl(m_listBox1, u"ListBox1"_s, u"Exchanges per amplifier"_s);
    closeOnEscape(this);
    auto *fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(m_listBox1);
    resize(420, 300);

    m_threadedTimer1.setInterval(kTickIntervalMs);
    m_threadedTimer1.setOnTimer([this](TThreadedTimer *) { ThreadedTimer1Timer(); });
    m_threadedTimer1.setEnabled(true);
}

QString TForm6::rowText(int slot, const QString &address, int requests, int successes, int rate)
{
    constexpr QStringView gap = u"   ";
    QString row;
    row.reserve(64);
    row.append(QString::number(slot)).append(u":   ").append(address);
    row.append(gap).append(QString::number(requests));
    row.append(gap).append(QString::number(successes));
    row.append(gap).append(QString::number(growth(requests, successes)));
    row.append(u"   PPS: ").append(QString::number(rate));
    return row;
}

void TForm6::ThreadedTimer1Timer()
{
    if (m_tickCounter == 0)
        takeSnapshot();
    matchRowCount();
    for (int slot = 1; slot <= m_devices.count(); ++slot) {
        const tDevice &device = m_devices[slot];
        const QString text = rowText(slot, device.address, device.requestCount(), device.successCount(),
                                     rate(slot));
        QListWidgetItem *row = m_listBox1->item(slot - 1);
        if (row->text() != text)
            row->setText(text);
    }
    m_tickCounter = (m_tickCounter + 1) % kTicksPerSnapshot;
}

int TForm6::rate(int slot) const
{
    const auto at = static_cast<std::size_t>(slot);
    return growth(m_latest[at], m_previous[at]);
}

void TForm6::takeSnapshot()
{
    m_previous = m_latest;
    for (int slot = 0; slot <= tDevices::kCapacity; ++slot)
        m_latest[static_cast<std::size_t>(slot)] = m_devices[slot].requestCount();
}

void TForm6::matchRowCount()
{
    while (m_listBox1->count() < m_devices.count())
        m_listBox1->addItem(u"-"_s);
    while (m_listBox1->count() > m_devices.count())
        delete m_listBox1->takeItem(m_listBox1->count() - 1);
}

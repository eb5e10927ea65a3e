#include "remotewindow.h"

#include "controllercore.h"
#include "operatorhelp.h"
#include "remoteinterfaces.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QSpinBox *portField(QWidget *parent)
{
    auto *field = new QSpinBox(parent);
    field->setRange(0, 65535);
    field->setSpecialValueText(u"Off"_s);
    return field;
}

QLabel *noteLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

bool isLoopback(const QString &text)
{
    const QHostAddress address(text.trimmed());
    return text.trimmed().isEmpty() || address.isLoopback();
}

} // namespace

RemoteWindow::RemoteWindow(ControllerCore &core, const RemoteInterfaces &interfaces, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_core(core),
      m_interfaces(interfaces)
{
    setWindowTitle(u"Remote"_s);
    setObjectName(u"RemoteWindow"_s);
    createControls();
    closeOnEscape(this);
    connect(m_apply, &QPushButton::clicked, this, &RemoteWindow::applyClick);
    connect(m_httpListen, &QLineEdit::textChanged, this, &RemoteWindow::showExposure);
    connect(m_oscListen, &QLineEdit::textChanged, this, &RemoteWindow::showExposure);
    connect(&interfaces, &RemoteInterfaces::applied, this, &RemoteWindow::showState);
    connect(&core, &ControllerCore::remoteSettingsChanged, this, &RemoteWindow::showSettings);
    connect(&core, &ControllerCore::refreshed, this, [this] {
        if (isVisible())
            showState();
    });
    showSettings();
    showState();
}

QString RemoteWindow::exposedText(const QString &what)
{
    return u"Not loopback: anyone on that network can %1."_s.arg(what);
}

void RemoteWindow::createControls()
{
    auto *http = new QGroupBox(u"HTTP monitoring (read-only)"_s, this);
    m_httpPort = portField(http);
    m_httpListen = new QLineEdit(http);
    m_httpExposed = noteLabel(http);
    m_httpStatus = noteLabel(http);
    m_httpCounts = noteLabel(http);
    auto *httpForm = new QFormLayout(http);
    httpForm->addRow(u"Port:"_s, m_httpPort);
    httpForm->addRow(u"Listen address:"_s, m_httpListen);
    httpForm->addRow(m_httpExposed);
    httpForm->addRow(m_httpStatus);
    httpForm->addRow(m_httpCounts);

    auto *osc = new QGroupBox(u"OSC show control"_s, this);
    m_oscPort = portField(osc);
    m_oscListen = new QLineEdit(osc);
    m_oscAllow = new QLineEdit(osc);
    m_oscExposed = noteLabel(osc);
    m_oscStatus = noteLabel(osc);
    m_oscCounts = noteLabel(osc);
    auto *oscForm = new QFormLayout(osc);
    oscForm->addRow(u"Port:"_s, m_oscPort);
    oscForm->addRow(u"Listen address:"_s, m_oscListen);
    oscForm->addRow(u"Allowed senders:"_s, m_oscAllow);
    oscForm->addRow(m_oscExposed);
    oscForm->addRow(m_oscStatus);
    oscForm->addRow(m_oscCounts);

    m_apply = new QPushButton(u"Apply"_s, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(http);
    layout->addWidget(osc);
    layout->addWidget(m_apply, 0, Qt::AlignRight);

    describeControl(m_httpPort, u"HttpPort"_s, u"HTTP port"_s, u"The port the monitor listens on; Off: no monitor"_s);
    describeControl(m_httpListen, u"HttpListen"_s, u"HTTP listen address"_s,
                    u"127.0.0.1 for this computer only; another address opens the monitor to that network"_s);
    describeControl(m_oscPort, u"OscPort"_s, u"OSC port"_s, u"The UDP port for OSC commands; Off: none taken"_s);
    describeControl(m_oscListen, u"OscListen"_s, u"OSC listen address"_s,
                    u"127.0.0.1 for this computer only; another address opens OSC to that network"_s);
    describeControl(m_oscAllow, u"OscAllow"_s, u"Allowed OSC senders"_s,
                    u"Addresses or networks (10.0.0.0/8) whose messages may change anything, comma-separated"_s);
    describeControl(m_apply, u"Apply"_s, u"Apply"_s,
                    u"Starts, restarts or stops both interfaces at once; the next Save as... keeps this set-up"_s);
}

void RemoteWindow::showEvent(QShowEvent *event)
{
    showState();
    QWidget::showEvent(event);
}

void RemoteWindow::showSettings()
{
    const RemoteSettings &settings = m_core.remoteSettings();
    m_httpPort->setValue(settings.httpPort);
    m_httpListen->setText(settings.httpListen);
    m_oscPort->setValue(settings.oscPort);
    m_oscListen->setText(settings.oscListen);
    m_oscAllow->setText(settings.oscAllow);
    showExposure();
}

void RemoteWindow::showExposure()
{
    m_httpExposed->setText(exposedText(u"read this interface"_s));
    m_httpExposed->setVisible(!isLoopback(m_httpListen->text()));
    m_oscExposed->setText(exposedText(u"reach this interface; only allowed senders can change anything"_s));
    m_oscExposed->setVisible(!isLoopback(m_oscListen->text()));
}

void RemoteWindow::showState()
{
    const HttpMonitor &http = m_interfaces.http();
    m_httpStatus->setText(http.statusText());
    m_httpCounts->setText(u"Requests served: %1, refused: %2"_s.arg(http.requestsServed()).arg(http.requestsRefused()));
    const OscServer::Counters osc = m_interfaces.osc().counters();
    m_oscStatus->setText(m_interfaces.osc().statusText());
    m_oscCounts->setText(u"Messages: %1, commands done: %2, refused: %3, malformed: %4"_s.arg(osc.messages)
                             .arg(osc.commands)
                             .arg(osc.refused)
                             .arg(osc.malformed));
}

void RemoteWindow::applyClick()
{
    const auto orDefault = [](const QLineEdit *field, const QString &fallback) {
        const QString text = field->text().trimmed();
        return text.isEmpty() ? fallback : text;
    };
    const RemoteSettings defaults;
    RemoteSettings settings = m_core.remoteSettings();  // what the window does not show (HttpHosts) stays
    settings.httpPort = quint16(m_httpPort->value());
    settings.httpListen = orDefault(m_httpListen, defaults.httpListen);
    settings.oscPort = quint16(m_oscPort->value());
    settings.oscListen = orDefault(m_oscListen, defaults.oscListen);
    settings.oscAllow = orDefault(m_oscAllow, defaults.oscAllow);
    m_core.setRemoteSettings(settings);
}

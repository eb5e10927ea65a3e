#pragma once

// The "Diagram" window: the selected device's histories, and below them its
// software versions and serial number. Created once at start-up, hidden;
// closing it only hides it. The five value labels are written by the device
// panel's refresh and read "?????" until then. Main thread only.

#include <QWidget>

class QLabel;

class TForm4 final : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize kSize{920, 539};

    explicit TForm4(QWidget *parent = nullptr);

    // The redraw of the plots, run by the device tree after a press on a
    // reachable device. The plots themselves are not drawn yet.
    void ThreadedTimer1Timer();

    QLabel *PD_Main_SW_Version() const { return m_mainSwVersion; }
    QLabel *PD_PSU_SW_Version() const { return m_psuSwVersion; }
    QLabel *PD_Webserver_SW_version() const { return m_webserverSwVersion; }
    QLabel *PD_DDS_SW_Version() const { return m_ddsSwVersion; }
    QLabel *PD_Serial_Number() const { return m_serialNumber; }

private:
    void createLabels();

    QLabel *m_mainSwVersion = nullptr;
    QLabel *m_psuSwVersion = nullptr;
    QLabel *m_webserverSwVersion = nullptr;
    QLabel *m_ddsSwVersion = nullptr;
    QLabel *m_serialNumber = nullptr;
};

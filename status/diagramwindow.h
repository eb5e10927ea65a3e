#pragma once

// The "Diagram" window: the selected device's six histories as plots of the
// last 100 minutes, and below them its software versions and serial number.
// Created once at start-up, hidden; closing it only hides it. It stays above
// ordinary windows and is centred over the main window when first shown.
//
// The plots are redrawn when the window is activated, every 30 seconds by its
// threaded timer, shown or not, and by the device tree after a press. The
// five value labels are written by the device panel's refresh and read
// "?????" until then. Main thread only.

#include "statusblock.h"
#include "threadedtimer.h"

#include <QImage>
#include <QWidget>

#include <functional>

class QLabel;

class TForm4 final : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize kSize{920, 539};
    static constexpr quint32 kRedrawIntervalMs = 30000;

    // The selected device's stored status block; none while no device is
    // selected.
    using SelectedBlock = std::function<const StatusBlock *()>;

    // centreOver: the window to centre over when first shown, if any.
    explicit TForm4(SelectedBlock selectedBlock, const QWidget *centreOver = nullptr,
                    QWidget *parent = nullptr);

    // The redraw: a clean copy of the background with the selected device's
    // histories on it. With no device selected the plots keep what they show.
    void ThreadedTimer1Timer();
    void FormActivate() { ThreadedTimer1Timer(); }

    QLabel *Image1() const { return m_image1; }
    const QImage &Image2() const { return m_image2; }  // the clean background, never drawn on
    TThreadedTimer *ThreadedTimer1() { return &m_threadedTimer1; }

    QLabel *PD_Main_SW_Version() const { return m_mainSwVersion; }
    QLabel *PD_PSU_SW_Version() const { return m_psuSwVersion; }
    QLabel *PD_Webserver_SW_version() const { return m_webserverSwVersion; }
    QLabel *PD_DDS_SW_Version() const { return m_ddsSwVersion; }
    QLabel *PD_Serial_Number() const { return m_serialNumber; }

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createLabels();

    SelectedBlock m_selectedBlock;
    const QWidget *m_centreOver = nullptr;
    bool m_placed = false;

    QLabel *m_image1 = nullptr;
    QImage m_image2;

    QLabel *m_mainSwVersion = nullptr;
    QLabel *m_psuSwVersion = nullptr;
    QLabel *m_webserverSwVersion = nullptr;
    QLabel *m_ddsSwVersion = nullptr;
    QLabel *m_serialNumber = nullptr;

    // Last, so that it is destroyed first: no tick reaches a half-destroyed
    // window.
    TThreadedTimer m_threadedTimer1;
};

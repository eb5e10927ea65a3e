#pragma once

// The "Diagram" window: the selected device's histories. Created once at
// start-up, hidden; closing it only hides it. Main thread only.

#include <QWidget>

class TForm4 final : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize kSize{920, 539};

    explicit TForm4(QWidget *parent = nullptr);

    // The redraw of the plots, run by the device tree after a press on a
    // reachable device. The plots themselves are not drawn yet.
    void ThreadedTimer1Timer();
};

#pragma once

// The "Network stat" window: one row of poll counters per device. Created
// once at start-up, shown modeless and only hidden afterwards. Main thread
// only.

#include <QWidget>

class QListWidget;

class TForm6 final : public QWidget
{
    Q_OBJECT

public:
    explicit TForm6(QWidget *parent = nullptr);

    QListWidget *ListBox1() const { return m_listBox1; }

private:
    QListWidget *m_listBox1 = nullptr;
};

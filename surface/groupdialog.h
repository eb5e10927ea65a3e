#pragma once

// The "Group" dialog, opened by the tree's "Add Group". Created once at
// start-up, shown modeless and only hidden afterwards. Main thread only.

#include <QDialog>

class TForm8 final : public QDialog
{
    Q_OBJECT

public:
    static constexpr QSize kSize{184, 131};

    explicit TForm8(QWidget *parent = nullptr);
};

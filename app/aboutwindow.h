#pragma once

// The "About" window: version, date, maker and the warranty disclaimer.
// Created once at start-up, shown modeless and only hidden afterwards.

#include <QWidget>

class QPlainTextEdit;

class TForm2 final : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize kSize{336, 379};

    explicit TForm2(QWidget *parent = nullptr);

    QPlainTextEdit *Memo1() const { return m_memo1; }
    static QString aboutText();

private:
    QPlainTextEdit *m_memo1 = nullptr;
};

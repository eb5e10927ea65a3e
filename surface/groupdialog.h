#pragma once

// The "Group" dialog, opened by the tree's "Add Group": a name field of five
// characters, "Ok" and "Cancel". Created once at start-up, kept above the
// other windows, shown modeless and only hidden afterwards; every activation
// empties the field. Main thread only.

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

class TForm8 final : public QDialog
{
    Q_OBJECT

public:
    static constexpr QSize kSize{184, 131};

    // Adds a group named after the text and rebuilds the tree; false when
    // the group table is full.
    using AddGroupFunction = std::function<bool(const QString &name)>;
    using MessageFunction = std::function<void(QWidget *parent, const QString &text)>;

    explicit TForm8(QWidget *parent = nullptr);

    void setAddGroupFunction(AddGroupFunction addGroup) { m_addGroup = std::move(addGroup); }
    void setMessageFunction(MessageFunction show) { m_showMessage = std::move(show); }

    static QString tableFullText();

    // "Ok" and the Enter key in the field.
    void Button1Click();
    // "Cancel" and the Escape key.
    void Button2Click();

    QLabel *Label1() const { return m_label1; }
    QLineEdit *Edit1() const { return m_edit1; }
    QPushButton *Button1() const { return m_button1; }
    QPushButton *Button2() const { return m_button2; }

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    AddGroupFunction m_addGroup;
    MessageFunction m_showMessage;
    QLabel *m_label1 = nullptr;
    QLineEdit *m_edit1 = nullptr;
    QPushButton *m_button1 = nullptr;
    QPushButton *m_button2 = nullptr;
};

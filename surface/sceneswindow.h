#pragma once

// The "Scenes" window: the show's scenes in the operator's order, with the
// one last recalled marked and whether a value it covers has moved since.
// Store takes the groups' values as scene N; Recall (the button, Enter or a
// double-click on a row), Undo recall, Previous and Next recall; Move up and
// Move down set the list's order, which Previous and Next follow; Rename,
// Delete (after a confirmation), the scope, the fade and the recall-safe
// groups edit. Every change goes through the core's scene commands with the
// window as the source; the window only shows what the core then holds, and
// shows a refused edit's reason in its message line.
//
// No shortcut of the main window reaches a scene: a stray key must never
// change a show. Escape closes (hides) the window. Main thread only.

#include "scenelist.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class ControllerCore;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTreeWidget;

class ScenesWindow final : public QWidget
{
    Q_OBJECT

public:
    // Asks the operator a yes/no question; true for yes. Tests answer it.
    using Confirm = std::function<bool(QWidget *parent, const QString &question)>;

    explicit ScenesWindow(ControllerCore &core, QWidget *parent = nullptr);

    void setConfirm(Confirm confirm) { m_confirm = std::move(confirm); }
    // "Delete scene 3 "Show"?"
    static QString deleteQuestion(int number, const QString &name);

    // The list, the editors of the selected scene and the recall-safe marks
    // as the core holds them now.
    void showScenes();
    // The scene of the selected row; 0 when none is selected.
    int selectedScene() const;
    void selectScene(int number);

    QTreeWidget *sceneTable() const { return m_table; }
    QLabel *currentLabel() const { return m_current; }
    QLabel *messageLabel() const { return m_message; }
    QSpinBox *storeNumber() const { return m_number; }
    QLineEdit *nameField() const { return m_name; }
    QPushButton *storeButton() const { return m_store; }
    QPushButton *recallButton() const { return m_recall; }
    QPushButton *undoButton() const { return m_undo; }
    QPushButton *previousButton() const { return m_previous; }
    QPushButton *nextButton() const { return m_next; }
    QPushButton *renameButton() const { return m_rename; }
    QPushButton *deleteButton() const { return m_delete; }
    QCheckBox *allGroupsBox() const { return m_allGroups; }
    QListWidget *scopeGroupList() const { return m_scopeGroups; }
    QCheckBox *kindBox(int index) const { return m_kinds[static_cast<std::size_t>(index)]; }
    QDoubleSpinBox *fadeField() const { return m_fade; }
    QPushButton *applyScopeButton() const { return m_applyScope; }
    QListWidget *recallSafeList() const { return m_recallSafe; }

    // Column of the list: the mark of the current scene.
    static constexpr int kStateColumn = 5;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    QWidget *createListPart();
    QWidget *createScopePart();
    QWidget *createSafePart();
    void describeControls();
    void connectControls();

    void showList();
    void showCurrent();
    void showSelected();
    void showRecallSafe();

    void storeClick();
    void recallSelected();
    void renameClick();
    void deleteClick();
    void moveSelected(int step);
    void applyScopeClick();
    void recallSafeChanged(int row);
    void showEdit(SceneList::Edit edit);
    void showRefusal(bool done, const QString &text);

    ControllerCore &m_core;
    Confirm m_confirm;
    bool m_showing = false;  // filling controls: their change signals are not the operator's
    // What the editors show, so that a refresh keeps what the operator is
    // typing unless the scene itself changed.
    std::optional<Scene> m_shownScene;

    QTreeWidget *m_table = nullptr;
    QLabel *m_current = nullptr;
    QLabel *m_message = nullptr;
    QSpinBox *m_number = nullptr;
    QLineEdit *m_name = nullptr;
    QPushButton *m_store = nullptr;
    QPushButton *m_recall = nullptr;
    QPushButton *m_undo = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_rename = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_moveUp = nullptr;
    QPushButton *m_moveDown = nullptr;
    QCheckBox *m_allGroups = nullptr;
    QListWidget *m_scopeGroups = nullptr;
    std::array<QCheckBox *, 3> m_kinds{};
    QDoubleSpinBox *m_fade = nullptr;
    QPushButton *m_applyScope = nullptr;
    QListWidget *m_recallSafe = nullptr;
};

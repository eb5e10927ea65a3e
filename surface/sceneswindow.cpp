#include "sceneswindow.h"

#include "controllercore.h"
#include "operatorhelp.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr int kNumberRole = Qt::UserRole;  // a row's scene number, a list item's group name or id

bool askOperator(QWidget *parent, const QString &question)
{
    return QMessageBox::question(parent, u"Scenes"_s, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
           == QMessageBox::Yes;
}

QString groupsText(const SceneScope &scope)
{
    if (scope.allGroups)
        return u"All"_s;
    QStringList names;
    for (const QString &name : scope.groups)
        names.append(name.trimmed());
    return names.join(u", "_s);
}

// Independent of the locale, as the project file and the remotes write it.
QString fadeText(int fadeMs)
{
    return fadeMs == 0 ? u"-"_s : QString::number(fadeMs / 1000.0, 'f', 1) + u" s"_s;
}

QPushButton *button(const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setAutoDefault(false);
    return b;
}

QListWidgetItem *checkItem(const QString &text, const QVariant &data, bool checked, QListWidget *list)
{
    auto *item = new QListWidgetItem(text, list);
    item->setData(kNumberRole, data);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    return item;
}

} // namespace

ScenesWindow::ScenesWindow(ControllerCore &core, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_core(core),
      m_confirm(askOperator)
{
    setWindowTitle(u"Scenes"_s);
    setObjectName(u"ScenesWindow"_s);
    createControls();
    describeControls();
    connectControls();
    closeOnEscape(this);
    connect(&core, &ControllerCore::scenesChanged, this, &ScenesWindow::showScenes);
    connect(&core, &ControllerCore::tablesChanged, this, &ScenesWindow::showScenes);
    showScenes();
}

QString ScenesWindow::deleteQuestion(int number, const QString &name)
{
    return u"Delete scene %1 \"%2\"?"_s.arg(number).arg(name);
}

void ScenesWindow::createControls()
{
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(createListPart(), 3);
    auto *side = new QVBoxLayout;
    side->addWidget(createScopePart());
    side->addWidget(createSafePart());
    layout->addLayout(side, 2);
}

QWidget *ScenesWindow::createListPart()
{
    auto *part = new QWidget(this);
    m_current = new QLabel(part);
    m_table = new QTreeWidget(part);
    m_table->setRootIsDecorated(false);
    m_table->setUniformRowHeights(true);
    m_table->setAllColumnsShowFocus(true);
    m_table->setHeaderLabels({u"No."_s, u"Name"_s, u"Groups"_s, u"Kinds"_s, u"Fade"_s, u"State"_s});
    QHeaderView *header = m_table->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    m_table->setMinimumWidth(560);
    m_table->installEventFilter(this);

    m_recall = button(u"Recall"_s, part);
    m_undo = button(u"Undo recall"_s, part);
    m_previous = button(u"Previous"_s, part);
    m_next = button(u"Next"_s, part);
    m_moveUp = button(u"Move up"_s, part);
    m_moveDown = button(u"Move down"_s, part);
    auto *recallRow = new QHBoxLayout;
    for (QPushButton *b : {m_recall, m_undo, m_previous, m_next})
        recallRow->addWidget(b);
    recallRow->addStretch();
    recallRow->addWidget(m_moveUp);
    recallRow->addWidget(m_moveDown);

    m_number = new QSpinBox(part);
    m_number->setRange(Scene::kMinNumber, Scene::kMaxNumber);
    m_name = new QLineEdit(part);
    m_name->setMaxLength(Scene::kMaxNameLength);
    m_name->setPlaceholderText(u"Scene name"_s);
    m_store = button(u"Store"_s, part);
    m_rename = button(u"Rename"_s, part);
    m_delete = button(u"Delete"_s, part);
    auto *storeRow = new QHBoxLayout;
    storeRow->addWidget(new QLabel(u"Number:"_s, part));
    storeRow->addWidget(m_number);
    storeRow->addWidget(m_name, 1);
    storeRow->addWidget(m_store);
    storeRow->addWidget(m_rename);
    storeRow->addWidget(m_delete);

    m_message = new QLabel(part);
    m_message->setWordWrap(true);
    auto *layout = new QVBoxLayout(part);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_current);
    layout->addWidget(m_table, 1);
    layout->addLayout(recallRow);
    layout->addLayout(storeRow);
    layout->addWidget(m_message);
    return part;
}

QWidget *ScenesWindow::createScopePart()
{
    auto *box = new QGroupBox(u"Selected scene: scope and fade"_s, this);
    m_allGroups = new QCheckBox(u"All groups"_s, box);
    m_scopeGroups = new QListWidget(box);
    auto *kinds = new QHBoxLayout;
    for (std::size_t i = 0; i < m_kinds.size(); ++i) {
        const QString word = sceneKindWord(kSceneKindOrder[i]);
        m_kinds[i] = new QCheckBox(word.left(1).toUpper() + word.mid(1), box);
        kinds->addWidget(m_kinds[i]);
    }
    m_fade = new QDoubleSpinBox(box);
    m_fade->setRange(0.0, Scene::kMaxFadeMs / 1000.0);
    m_fade->setDecimals(1);
    m_fade->setSingleStep(0.5);
    m_fade->setSuffix(u" s"_s);
    m_applyScope = button(u"Apply"_s, box);
    auto *form = new QFormLayout(box);
    form->addRow(m_allGroups);
    form->addRow(m_scopeGroups);
    form->addRow(u"Kinds:"_s, kinds);
    form->addRow(u"Fade:"_s, m_fade);
    form->addRow(m_applyScope);
    return box;
}

QWidget *ScenesWindow::createSafePart()
{
    auto *box = new QGroupBox(u"Recall-safe groups"_s, this);
    m_recallSafe = new QListWidget(box);
    auto *layout = new QVBoxLayout(box);
    layout->addWidget(m_recallSafe);
    return box;
}

void ScenesWindow::describeControls()
{
    describeControl(m_table, u"SceneTable"_s, u"Scenes"_s,
                    u"The stored scenes; Enter or a double-click recalls the selected one"_s);
    describeControl(m_recall, u"RecallScene"_s, u"Recall"_s, u"Sets the groups to the selected scene's values"_s);
    describeControl(m_undo, u"UndoRecall"_s, u"Undo recall"_s, u"Puts back the values the last recall changed"_s);
    describeControl(m_previous, u"PreviousScene"_s, u"Previous scene"_s,
                    u"Recalls the scene before the current one in the list"_s);
    describeControl(m_next, u"NextScene"_s, u"Next scene"_s, u"Recalls the scene after the current one in the list"_s);
    describeControl(m_moveUp, u"MoveSceneUp"_s, u"Move up"_s,
                    u"Moves the selected scene one place up; Previous and Next follow the list"_s);
    describeControl(m_moveDown, u"MoveSceneDown"_s, u"Move down"_s,
                    u"Moves the selected scene one place down; Previous and Next follow the list"_s);
    describeControl(m_number, u"SceneNumber"_s, u"Scene number"_s, u"The number Store stores as, 1 to 99"_s);
    describeControl(m_name, u"SceneName"_s, u"Scene name"_s,
                    u"The name for Store or Rename; empty keeps a stored name or gives \"Scene N\""_s);
    describeControl(m_store, u"StoreScene"_s, u"Store"_s,
                    u"Stores every group's values now as the scene of this number, over one that has it"_s);
    describeControl(m_rename, u"RenameScene"_s, u"Rename"_s, u"Gives the selected scene the name typed"_s);
    describeControl(m_delete, u"DeleteScene"_s, u"Delete"_s, u"Deletes the selected scene, after asking"_s);
    describeControl(m_allGroups, u"SceneAllGroups"_s, u"All groups"_s,
                    u"A recall sets every group the scene holds; off: only the groups ticked below"_s);
    describeControl(m_scopeGroups, u"SceneGroups"_s, u"Scene groups"_s, u"The groups a recall sets"_s);
    const std::array<QString, 3> kindTips{u"A recall sets the volumes and input levels"_s,
                                          u"A recall sets the limiters"_s, u"A recall mutes and un-mutes"_s};
    for (std::size_t i = 0; i < m_kinds.size(); ++i) {
        const QString word = sceneKindWord(kSceneKindOrder[i]);
        describeControl(m_kinds[i], u"SceneKind_"_s + word, m_kinds[i]->text(), kindTips[i]);
    }
    describeControl(m_fade, u"SceneFade"_s, u"Fade"_s, u"How long the levels travel at a recall, 0 to 30 s"_s);
    describeControl(m_applyScope, u"ApplySceneScope"_s, u"Apply scope and fade"_s,
                    u"Gives the selected scene this scope and fade"_s);
    describeControl(m_recallSafe, u"RecallSafeGroups"_s, u"Recall-safe groups"_s,
                    u"A ticked group is never changed by a recall"_s);
}

void ScenesWindow::connectControls()
{
    connect(m_table, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!m_showing)
            showSelected();
    });
    connect(m_table, &QTreeWidget::itemDoubleClicked, this, &ScenesWindow::recallSelected);
    connect(m_recall, &QPushButton::clicked, this, &ScenesWindow::recallSelected);
    connect(m_undo, &QPushButton::clicked, this,
            [this] { showRefusal(m_core.undoRecall(CommandSource::window()), u"There is no recall to undo."_s); });
    connect(m_previous, &QPushButton::clicked, this, [this] {
        showRefusal(m_core.recallNeighbourScene(-1, CommandSource::window()), u"There is no previous scene."_s);
    });
    connect(m_next, &QPushButton::clicked, this, [this] {
        showRefusal(m_core.recallNeighbourScene(+1, CommandSource::window()), u"There is no next scene."_s);
    });
    connect(m_moveUp, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(m_moveDown, &QPushButton::clicked, this, [this] { moveSelected(+1); });
    connect(m_store, &QPushButton::clicked, this, &ScenesWindow::storeClick);
    connect(m_rename, &QPushButton::clicked, this, &ScenesWindow::renameClick);
    connect(m_delete, &QPushButton::clicked, this, &ScenesWindow::deleteClick);
    connect(m_allGroups, &QCheckBox::toggled, m_scopeGroups, &QWidget::setDisabled);
    connect(m_applyScope, &QPushButton::clicked, this, &ScenesWindow::applyScopeClick);
    connect(m_recallSafe, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        if (!m_showing)
            recallSafeChanged(m_recallSafe->row(item));
    });
}

bool ScenesWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            recallSelected();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ScenesWindow::showScenes()
{
    m_showing = true;
    showList();
    showCurrent();
    const Scene *selected = m_core.scenes().find(selectedScene());
    if (!selected || !m_shownScene || *selected != *m_shownScene)
        showSelected();
    showRecallSafe();
    m_showing = false;
}

// Rebuilt whole (a list of at most 99 rows); the selection stays on its scene.
void ScenesWindow::showList()
{
    const int selected = selectedScene();
    const QSignalBlocker blocker(m_table);
    m_table->clear();
    const int current = m_core.currentScene();
    for (const Scene &scene : m_core.scenes().scenes()) {
        QString state;
        if (scene.number == current)
            state = m_core.sceneModified() ? u"current, modified"_s : u"current"_s;
        auto *row = new QTreeWidgetItem(m_table, {QString::number(scene.number), scene.name, groupsText(scene.scope),
                                                  sceneKindWords(scene.scope.kinds).join(u", "_s),
                                                  fadeText(scene.fadeMs), state});
        row->setData(0, kNumberRole, scene.number);
        if (scene.number == current) {
            QFont bold = row->font(0);
            bold.setBold(true);
            for (int column = 0; column < m_table->columnCount(); ++column)
                row->setFont(column, bold);
        }
        if (scene.number == selected)
            m_table->setCurrentItem(row);
    }
}

void ScenesWindow::showCurrent()
{
    const Scene *scene = m_core.scenes().find(m_core.currentScene());
    if (!scene) {
        m_current->setText(u"No scene recalled"_s);
        return;
    }
    m_current->setText(u"Current: %1 \"%2\"%3"_s.arg(scene->number)
                           .arg(scene->name, m_core.sceneModified() ? u" (modified)"_s : QString()));
}

// The scope and fade editors show the selected scene; off when none is.
void ScenesWindow::showSelected()
{
    const bool wasShowing = std::exchange(m_showing, true);
    const Scene *scene = m_core.scenes().find(selectedScene());
    const std::initializer_list<QWidget *> editors{m_rename, m_delete,     m_recall,     m_moveUp,   m_moveDown,
                                                   m_allGroups, m_scopeGroups, m_fade,   m_applyScope, m_kinds[0],
                                                   m_kinds[1],  m_kinds[2]};
    for (QWidget *editor : editors)
        editor->setEnabled(scene != nullptr);
    m_scopeGroups->clear();
    m_shownScene = scene ? std::optional<Scene>(*scene) : std::nullopt;
    if (scene) {
        m_number->setValue(scene->number);
        m_name->setText(scene->name);
        m_allGroups->setChecked(scene->scope.allGroups);
        m_scopeGroups->setEnabled(!scene->scope.allGroups);
        QStringList names;
        for (const NamedGroupState &group : scene->groups)
            names.append(group.group);
        for (const QString &name : scene->scope.groups) {
            if (!names.contains(name))
                names.append(name);
        }
        for (const QString &name : names)
            checkItem(name.trimmed(), name, scene->scope.groups.contains(name), m_scopeGroups);
        for (std::size_t i = 0; i < m_kinds.size(); ++i)
            m_kinds[i]->setChecked(scene->scope.kinds.testFlag(kSceneKindOrder[i]));
        m_fade->setValue(scene->fadeMs / 1000.0);
    }
    m_showing = wasShowing;
}

void ScenesWindow::showRecallSafe()
{
    const QSignalBlocker blocker(m_recallSafe);
    m_recallSafe->clear();
    const tGroup &groups = m_core.groups();
    for (int slot = 1; slot <= groups.count(); ++slot) {
        const tGroupItem &group = groups[slot];
        checkItem(group.name.trimmed(), QVariant::fromValue(group.id), m_core.isRecallSafe(group.id), m_recallSafe);
    }
}

int ScenesWindow::selectedScene() const
{
    const QTreeWidgetItem *row = m_table->currentItem();
    return row && row->isSelected() ? row->data(0, kNumberRole).toInt() : 0;
}

void ScenesWindow::selectScene(int number)
{
    for (int i = 0; i < m_table->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = m_table->topLevelItem(i);
        if (row->data(0, kNumberRole).toInt() == number) {
            m_table->setCurrentItem(row);
            return;
        }
    }
    m_table->clearSelection();
}

void ScenesWindow::storeClick()
{
    const int number = m_number->value();
    const SceneList::Edit edit = m_core.storeScene(number, m_name->text(), CommandSource::window());
    if (edit == SceneList::Edit::Done)
        selectScene(number);
    showEdit(edit);
}

void ScenesWindow::recallSelected()
{
    const int number = selectedScene();
    if (number != 0)
        showRefusal(m_core.recallScene(number, CommandSource::window()), u"There is no scene %1."_s.arg(number));
}

void ScenesWindow::renameClick()
{
    if (const int number = selectedScene())
        showEdit(m_core.renameScene(number, m_name->text(), CommandSource::window()));
}

void ScenesWindow::deleteClick()
{
    const Scene *scene = m_core.scenes().find(selectedScene());
    if (!scene || !m_confirm(this, deleteQuestion(scene->number, scene->name)))
        return;
    showEdit(m_core.deleteScene(scene->number, CommandSource::window()));
}

void ScenesWindow::moveSelected(int step)
{
    if (const int number = selectedScene())
        showEdit(m_core.moveScene(number, step, CommandSource::window()));
}

// Only what changed is sent: each command logs an event of its own.
void ScenesWindow::applyScopeClick()
{
    const Scene *scene = m_core.scenes().find(selectedScene());
    if (!scene)
        return;
    const int number = scene->number;
    SceneScope scope;
    scope.allGroups = m_allGroups->isChecked();
    for (int row = 0; row < m_scopeGroups->count(); ++row) {
        const QListWidgetItem *item = m_scopeGroups->item(row);
        if (item->checkState() == Qt::Checked)
            scope.groups.append(item->data(kNumberRole).toString());
    }
    scope.kinds = {};
    for (std::size_t i = 0; i < m_kinds.size(); ++i) {
        if (m_kinds[i]->isChecked())
            scope.kinds |= kSceneKindOrder[i];
    }
    const int fadeMs = qRound(m_fade->value() * 1000.0);
    const bool fadeChanged = fadeMs != scene->fadeMs;
    SceneList::Edit edit = SceneList::Edit::Done;
    if (scope != scene->scope)
        edit = m_core.setSceneScope(number, scope, CommandSource::window());
    if (edit == SceneList::Edit::Done && fadeChanged)
        edit = m_core.setSceneFade(number, fadeMs, CommandSource::window());
    showEdit(edit);
    if (edit != SceneList::Edit::Done)
        showScenes();  // the editors go back to what the scene holds
}

void ScenesWindow::recallSafeChanged(int row)
{
    const QListWidgetItem *item = m_recallSafe->item(row);
    const auto id = item->data(kNumberRole).value<GroupId>();
    m_core.setRecallSafe(id, item->checkState() == Qt::Checked, CommandSource::window());
    m_message->clear();
}

void ScenesWindow::showEdit(SceneList::Edit edit)
{
    showRefusal(edit == SceneList::Edit::Done, sceneEditText(edit));
}

void ScenesWindow::showRefusal(bool done, const QString &text)
{
    m_message->setText(done ? QString() : text);
}

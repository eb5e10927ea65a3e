#include "projectfileactions.h"

#include "controllercore.h"
#include "projectfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

QString runDialog(QFileDialog *dialog)
{
    const std::unique_ptr<QFileDialog> owned(dialog);
    if (owned->exec() != QDialog::Accepted)
        return {};
    return owned->selectedFiles().value(0);
}

// A file dialog keeps its last folder, its history and its layout in Qt's
// own settings file in the user's folder, and reads them from there. The
// program stores nothing but project files and starts the same every time,
// so Qt's settings are pointed where no file can be: below /dev/null.
void keepDialogStateOffDisk()
{
    static bool kept = false;
    if (std::exchange(kept, true))
        return;
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(format, scope, u"/dev/null"_s);
    }
}

QFileDialog *createDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &folder)
{
    keepDialogStateOffDisk();
    auto *dialog = new QFileDialog(parent);
    if (!folder.isEmpty())
        dialog->setDirectory(folder);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
    dialog->setNameFilter(u"TALO ZR Amplifier Project (*.amp)"_s);
    dialog->setDefaultSuffix(u"amp"_s);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog->setSizeGripEnabled(true);
    return dialog;
}

void showMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &text)
{
    QMessageBox box(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

ProjectFileActions::ProjectFileActions(ControllerCore &core, QWidget *dialogParent)
    : QObject(dialogParent),
      m_core(core),
      m_dialogParent(dialogParent),
      m_openDialog([](QWidget *parent, const QString &folder) {
          return runDialog(createOpenDialog(parent, folder));
      }),
      m_saveDialog([](QWidget *parent, const QString &folder) {
          return runDialog(createSaveDialog(parent, folder));
      }),
      m_showMessage(showMessageBox)
{
}

QFileDialog *ProjectFileActions::createOpenDialog(QWidget *parent, const QString &folder)
{
    return createDialog(parent, QFileDialog::AcceptOpen, folder);
}

QFileDialog *ProjectFileActions::createSaveDialog(QWidget *parent, const QString &folder)
{
    return createDialog(parent, QFileDialog::AcceptSave, folder);
}

QString ProjectFileActions::invalidFileText()
{
    return u"The selected file is invalid!"_s;
}

QString ProjectFileActions::unableToWriteText(const QString &path)
{
    return u"Unable to write to %1"_s.arg(QDir::toNativeSeparators(path));
}

QString ProjectFileActions::leftOutText()
{
    return u"The file lists more than %1 groups or devices. Only the first %1 of each were loaded."_s
        .arg(Project::kCapacity);
}

void ProjectFileActions::Open1Click()
{
    const QString path = choose(m_openDialog);
    if (!path.isEmpty())
        load(path);
}

void ProjectFileActions::Saveas1Click()
{
    const QString path = choose(m_saveDialog);
    if (!path.isEmpty())
        save(path);
}

// Either dialog opens where the operator last chose a file, opened or saved.
QString ProjectFileActions::choose(const FileDialog &dialog)
{
    const QString path = dialog(m_dialogParent, m_lastFolder);
    if (!path.isEmpty())
        m_lastFolder = QFileInfo(path).absolutePath();
    return path;
}

void ProjectFileActions::load(const QString &path)
{
    const ControllerCore::OpenResult result = m_core.openProject(path, CommandSource::window());
    if (result == ControllerCore::OpenResult::Invalid) {
        m_showMessage(m_dialogParent, QMessageBox::Critical, invalidFileText());
        Q_EMIT treeRebuildNeeded();
        return;
    }
    Q_EMIT projectOpened(path);
    if (result == ControllerCore::OpenResult::OpenedPartly)
        m_showMessage(m_dialogParent, QMessageBox::Warning, leftOutText());
}

void ProjectFileActions::save(const QString &path)
{
    if (m_core.saveProject(path, CommandSource::window()))
        Q_EMIT projectSaved(path);
    else
        m_showMessage(m_dialogParent, QMessageBox::Critical, unableToWriteText(path));
}

#pragma once

// "Open..." and "Save as..." of the main window's "File" menu: the file
// dialogs, the load or save, and the messages to the operator. Both run on the
// main thread from start to end, so no timer tick sees a half-loaded table.
//
// The dialogs and the message box are replaceable, so that tests can drive the
// whole flow without a modal window.

#include <QMessageBox>
#include <QObject>
#include <QString>

#include <functional>

class ControllerCore;
class QFileDialog;
class QWidget;

class ProjectFileActions final : public QObject
{
    Q_OBJECT

public:
    // Runs a modal file dialog that opens in folder (none: the dialog's own
    // choice); the chosen file name, or empty when cancelled.
    using FileDialog = std::function<QString(QWidget *parent, const QString &folder)>;
    using MessageFunction = std::function<void(QWidget *parent, QMessageBox::Icon icon,
                                               const QString &text)>;

    // The core outlives this object; dialogParent is the window the dialogs
    // and messages belong to.
    ProjectFileActions(ControllerCore &core, QWidget *dialogParent);

    void setOpenDialog(FileDialog dialog) { m_openDialog = std::move(dialog); }
    void setSaveDialog(FileDialog dialog) { m_saveDialog = std::move(dialog); }
    void setMessageFunction(MessageFunction show) { m_showMessage = std::move(show); }

    // Loads the chosen file into both tables, or tells the operator that it
    // is not a project and leaves them as they were. Nothing at all happens
    // when the dialog is cancelled.
    void Open1Click();
    // Writes both tables into the chosen file; memory is never changed.
    void Saveas1Click();

    // The folder of the file chosen last in this run, where both dialogs
    // open; kept in memory only, like everything but project files.
    const QString &lastFolder() const { return m_lastFolder; }

    // The dialogs as the program shows them: one filter for ".amp" files and
    // "amp" added to a name typed without extension; saving asks before a
    // file is replaced.
    static QFileDialog *createOpenDialog(QWidget *parent, const QString &folder = {});
    static QFileDialog *createSaveDialog(QWidget *parent, const QString &folder = {});

    static QString invalidFileText();
    static QString unableToWriteText(const QString &path);
    static QString leftOutText();

Q_SIGNALS:
    // A refused file was not loaded; the device tree is rebuilt all the same
    // (a loaded one changes the core's tables, which says so itself).
    void treeRebuildNeeded();
    // A project was loaded into the tables, or the tables written to one.
    void projectOpened(const QString &path);
    void projectSaved(const QString &path);

private:
    void load(const QString &path);
    void save(const QString &path);
    QString choose(const FileDialog &dialog);

    ControllerCore &m_core;
    QWidget *m_dialogParent;
    FileDialog m_openDialog;
    FileDialog m_saveDialog;
    MessageFunction m_showMessage;
    QString m_lastFolder;
};

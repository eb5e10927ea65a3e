// "File", "Open..." and "Save as..." through the main window's menu, with the
// file dialogs and the message box replaced, over simulated amplifiers on
// loopback addresses.

#include "ampsimulator.h"
#include "controllerwindows.h"
#include "devicetreeview.h"
#include "mainwindow.h"
#include "projectfile.h"
#include "projectfileactions.h"
#include "screenshot.h"
#include "treehelpers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Message
{
    QMessageBox::Icon icon;
    QString text;
};

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Once a second, until destroyed, opens the named pipe for writing without
// waiting and closes it again. That succeeds only while a reader waits in
// open() for a writer, and lets that reader go with an empty read: a load
// that opens the pipe fails within seconds instead of hanging the test.
class PipeWriterForAWaitingReader final
{
public:
    explicit PipeWriterForAWaitingReader(const QByteArray &path)
        : m_thread([this, path](std::stop_token stop) {
              std::mutex mutex;
              std::condition_variable_any wake;
              std::unique_lock lock(mutex);
              while (!wake.wait_for(lock, stop, std::chrono::seconds(1), [&] { return stop.stop_requested(); })) {
                  const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                  if (fd >= 0) {
                      m_freedAReader = true;
                      ::close(fd);
                  }
              }
          })
    {
    }

    bool freedAReader() const { return m_freedAReader.load(); }

private:
    std::atomic<bool> m_freedAReader = false;
    std::jthread m_thread;  // stopped and joined first when destroyed
};

} // namespace

class tst_ProjectMenu final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void dialogsAsShown();
    void cancelledDialogsDoNothing();
    void saveAndOpenRestoreTheArrangement();
    void refusedFileLeavesTheTables_data();
    void refusedFileLeavesTheTables();
    void failedSaveIsReported_data();
    void failedSaveIsReported();
    void countsBeyondTheTablesToldOnce();

private:
    TForm1 &form() { return m_windows->Form1(); }
    ProjectFileActions &actions() { return *form().projectFile(); }
    void arrange();
    QStringList messageTexts() const;

    AmpSimulator m_sim;
    quint16 m_port = 0;
    std::unique_ptr<ControllerWindows> m_windows;
    std::unique_ptr<QTemporaryDir> m_dir;
    QTemporaryDir m_home;  // where a settings file of the dialogs would land
    QString m_openPath;
    QString m_savePath;
    int m_dialogsShown = 0;
    QStringList m_dialogFolders;  // the folder each dialog was to open in
    QList<Message> m_messages;
};

void tst_ProjectMenu::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
    m_port = m_sim.start({{u"127.0.0.2"_s, "AMP1 ", "STAGE"}, {u"127.0.0.3"_s, "DESK ", "FOH  "}});
    QVERIFY(m_port != 0);
}

void tst_ProjectMenu::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_openPath.clear();
    m_savePath.clear();
    m_dialogsShown = 0;
    m_messages.clear();
    for (int amp = 0; amp < m_sim.ampCount(); ++amp)
        m_sim.clearRequests(amp);

    m_windows = std::make_unique<ControllerWindows>(m_port);
    m_dialogFolders.clear();
    actions().setOpenDialog([this](QWidget *, const QString &folder) {
        ++m_dialogsShown;
        m_dialogFolders.append(folder);
        return m_openPath;
    });
    actions().setSaveDialog([this](QWidget *, const QString &folder) {
        ++m_dialogsShown;
        m_dialogFolders.append(folder);
        return m_savePath;
    });
    actions().setMessageFunction([this](QWidget *, QMessageBox::Icon icon, const QString &text) {
        m_messages.append({icon, text});
    });
    form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form()));
}

void tst_ProjectMenu::cleanup()
{
    m_windows.reset();
}

// Two groups with descriptions and settings, two devices on the simulators.
void tst_ProjectMenu::arrange()
{
    QVERIFY(form().addOrUpdateDevice(u"AMP1"_s, u"STAGE"_s, u"127.0.0.2"_s));
    QVERIFY(form().addOrUpdateDevice(u"DESK"_s, u"FOH"_s, u"127.0.0.3"_s));
    ControllerCore &core = form().core();
    const CommandSource window = CommandSource::window();
    core.setGroupDescription(form().groups()[1].id, u"B\u00fchne links"_s, window);
    core.setGroupSetting(form().groups()[1].id, FaderTable::VolumeA, 150, window);
    core.setGroupSetting(form().groups()[1].id, FaderTable::LimiterB, 90, window);
    core.setGroupSetting(form().groups()[2].id, FaderTable::InputLevelB, 7, window);
}

QStringList tst_ProjectMenu::messageTexts() const
{
    QStringList texts;
    for (const Message &message : m_messages)
        texts.append(message.text);
    return texts;
}

void tst_ProjectMenu::dialogsAsShown()
{
    for (const bool save : {false, true}) {
        const QString folder = m_dir->path();
        const std::unique_ptr<QFileDialog> dialog(save ? ProjectFileActions::createSaveDialog(&form(), folder)
                                                       : ProjectFileActions::createOpenDialog(&form(), folder));
        QCOMPARE(dialog->directory().absolutePath(), folder);
        QCOMPARE(dialog->nameFilters(), QStringList{u"TALO ZR Amplifier Project (*.amp)"_s});
        QCOMPARE(dialog->defaultSuffix(), u"amp"_s);
        QCOMPARE(dialog->acceptMode(), save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        QCOMPARE(dialog->fileMode(), save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
        if (save) {
            dialog->setDirectory(m_dir->path());
            dialog->show();
            QVERIFY(saveScreenshot(*dialog, u"project-save-dialog.png"_s));
        }
    }
    // The dialogs are gone and have stored nothing: the program keeps no
    // state but project files.
    QCOMPARE(QDir(m_home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void tst_ProjectMenu::cancelledDialogsDoNothing()
{
    arrange();
    const QString path = m_dir->filePath(u"untouched.amp"_s);
    QVERIFY(writeBytes(path, "; mine\n"));
    QSignalSpy rebuilds(&actions(), &ProjectFileActions::treeRebuildNeeded);

    form().Open1()->trigger();
    form().Saveas1()->trigger();
    QCOMPARE(m_dialogsShown, 2);
    QCOMPARE(m_dialogFolders, QStringList(2));  // a cancelled dialog leaves no folder behind
    QCOMPARE(rebuilds.size(), 0);
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(form().devices().count(), 2);
    QCOMPARE(fileBytes(path), QByteArray("; mine\n"));
}

void tst_ProjectMenu::saveAndOpenRestoreTheArrangement()
{
    arrange();
    m_savePath = m_dir->filePath(u"rig.amp"_s);
    form().Saveas1()->trigger();
    QVERIFY(m_messages.isEmpty());
    const std::optional<Project> saved = readProject(fileBytes(m_savePath));
    QVERIFY(saved);
    QCOMPARE(saved->devices.size(), 2);

    // Something else in memory, then the file back.
    QVERIFY(form().addOrUpdateDevice(u"GONE"_s, u"OTHER"_s, u"127.0.0.9"_s));
    form().core().setGroupSetting(form().groups()[1].id, FaderTable::VolumeA, 0, CommandSource::window());
    for (int amp = 0; amp < m_sim.ampCount(); ++amp)
        m_sim.clearRequests(amp);
    m_openPath = m_savePath;
    form().Open1()->trigger();
    QCOMPARE(m_dialogFolders, (QStringList{QString(), m_dir->path()}));  // where the save went

    QVERIFY(m_messages.isEmpty());
    const tGroup &groups = form().groups();
    QCOMPARE(groups.count(), 2);
    QCOMPARE(groups[1].name, u"STAGE"_s);
    QCOMPARE(groups[1].description, u"B\u00fchne links"_s);
    QCOMPARE(groups[1].volumeA, 150);
    QCOMPARE(groups[1].limiterB, 90);
    QCOMPARE(groups[2].name, u"FOH  "_s);
    QCOMPARE(groups[2].inputLevelB, 7);
    const tDevices &devices = form().devices();
    QCOMPARE(devices.count(), 2);
    QCOMPARE(devices[1].address, u"127.0.0.2"_s);
    QCOMPARE(devices[2].address, u"127.0.0.3"_s);
    QCOMPARE(treeLines(*form().TreeView1()),
             (QStringList{u"FOH  "_s, u"  DESK "_s, u"STAGE"_s, u"  AMP1 "_s}));

    // Loaded devices are unlocked and polled at once.
    for (int amp = 0; amp < m_sim.ampCount(); ++amp) {
        QTRY_VERIFY(m_sim.requestLines(amp).contains("GET /lock_off HTTP/1.1"));
        QTRY_COMPARE(devices[amp + 1].linkState(), 3);
    }
}

void tst_ProjectMenu::refusedFileLeavesTheTables_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("exists");
    QTest::newRow("signature in other case") << QByteArray("[Program]\r\nName=talo amp\r\n") << true;
    QTest::newRow("too large") << QByteArray() << true;
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("named pipe") << QByteArray() << false;  // opening it would wait for a writer
}

void tst_ProjectMenu::refusedFileLeavesTheTables()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, exists);
    arrange();
    m_openPath = m_dir->filePath(u"refused.amp"_s);
    std::optional<PipeWriterForAWaitingReader> pipeWriter;
    if (QByteArrayView(QTest::currentDataTag()) == "named pipe") {
        QCOMPARE(::mkfifo(QFile::encodeName(m_openPath).constData(), 0600), 0);
        pipeWriter.emplace(QFile::encodeName(m_openPath));
    }
    if (exists) {
        QVERIFY(writeBytes(m_openPath, bytes));
        if (QByteArrayView(QTest::currentDataTag()) == "too large") {
            QFile file(m_openPath);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(100 * 1024 * 1024));
        }
    }
    const DeviceId device = form().devices()[1].id;
    QSignalSpy rebuilds(&actions(), &ProjectFileActions::treeRebuildNeeded);

    form().Open1()->trigger();

    if (pipeWriter)
        QVERIFY2(!pipeWriter->freedAReader(), "the load opened the named pipe and waited for a writer");
    QCOMPARE(messageTexts(), QStringList{u"The selected file is invalid!"_s});
    QCOMPARE(m_messages[0].icon, QMessageBox::Critical);
    QCOMPARE(rebuilds.size(), 1);
    QCOMPARE(form().groups().count(), 2);
    QCOMPARE(form().groups()[1].volumeA, 150);
    QCOMPARE(form().devices().count(), 2);
    QCOMPARE(form().devices()[1].id, device);
}

void tst_ProjectMenu::failedSaveIsReported_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("read-only file") << u"readonly.amp"_s;
    QTest::newRow("folder that does not exist") << u"nowhere/rig.amp"_s;
}

void tst_ProjectMenu::failedSaveIsReported()
{
    QFETCH(QString, target);
    arrange();
    m_savePath = m_dir->filePath(target);
    const QByteArray old = "[Program]\r\nName=TALO Amp\r\nGroupNum=0\r\nDeviceNum=0\r\n";
    if (QFileInfo(m_savePath).dir().exists()) {
        QVERIFY(writeBytes(m_savePath, old));
        QVERIFY(QFile::setPermissions(m_savePath, QFile::ReadOwner));
    }

    form().Saveas1()->trigger();

    QCOMPARE(messageTexts(), QStringList{u"Unable to write to "_s + m_savePath});
    QCOMPARE(m_messages[0].icon, QMessageBox::Critical);
    QCOMPARE(fileBytes(m_savePath), QFileInfo::exists(m_savePath) ? old : QByteArray());
    QCOMPARE(form().devices().count(), 2);
    QCOMPARE(form().groups().count(), 2);
    QCOMPARE(form().groups()[1].volumeA, 150);
}

void tst_ProjectMenu::countsBeyondTheTablesToldOnce()
{
    m_openPath = m_dir->filePath(u"many.amp"_s);
    QVERIFY(writeBytes(m_openPath, "[Program]\nName=TALO Amp\nGroupNum=2000000000\nDeviceNum=2\n"
                                   "[Device1]\nDeviceName=AMP1\nDeviceGroup=STAGE\nDeviceIP=127.0.0.2\n"
                                   "[Device2]\nDeviceName=DESK\nDeviceGroup=FOH\nDeviceIP=127.0.0.3\n"));
    form().Open1()->trigger();

    QCOMPARE(messageTexts(), QStringList{ProjectFileActions::leftOutText()});
    QCOMPARE(m_messages[0].icon, QMessageBox::Warning);
    // 255 sections without a name give one group of five blanks.
    QCOMPARE(form().groups().count(), 3);
    QCOMPARE(form().groups()[1].name, u"     "_s);
    QCOMPARE(form().devices().count(), 2);
}

QTEST_MAIN(tst_ProjectMenu)
#include "tst_projectmenu.moc"

#include "app/startupmark.h"
#include "common/ptyline.h"
#include "common/testenv.h"
#include "panel/form1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>

#include <memory>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace {
using Keys = QList<std::pair<QString, QString>>;

qint64 monotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// A window that notes when its first paint ends.
class PaintedWindow : public QWidget
{
public:
    qint64 firstPaintDone = 0;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!firstPaintDone)
            firstPaintDone = monotonicNs();
    }
};
} // namespace

class TstStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void outcomes_data();
    void outcomes();
    void closingStoresAddressAndClosesPort();
    void sendsExactlyTheFramedBytes();
    void handEditedFileSurvives_data();
    void handEditedFileSurvives();
    void unusableStoreFallsBackAndClosingCompletes_data();
    void unusableStoreFallsBackAndClosingCompletes();
    void startupMarkFollowsFirstPaint();
};

void TstStartup::outcomes_data()
{
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("settings"); // what the port was given, "" when not reached
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("note"); // the dialog's reason as it opens, "" for none

    // COM3 is the test's line; COM7 names a device that does not exist.
    const Keys base = {{"Ports/COM7", "/nonexistent/tty"}};
    auto with = [&](Keys more) { return base + more; };

    QTest::newRow("empty store") << base << false << 0 << ""
                                 << ""
                                 << "Option1"
                                 << "";
    QTest::newRow("port 3, 9600, A003")
        << with({{"StartUP/ComPort", "3"}, {"StartUP/BaudRate", "96"}, {"StartUP/ADRESS", "A003"}})
        << true << 3 << "9600,N,8,1"
        << "A003"
        << "Option5"
        << "";
    QTest::newRow("192 and ALL") << with(
        {{"StartUP/ComPort", "3"}, {"StartUP/BaudRate", "192"}, {"StartUP/ADRESS", "AFFF"}})
                                 << true << 3 << "19200,N,8,1"
                                 << "AFFF"
                                 << "Option2"
                                 << "";
    QTest::newRow("absent baud and address")
        << with({{"StartUP/ComPort", "3"}}) << true << 3 << "19200,N,8,1"
        << ""
        << "Option1"
        << "";
    QTest::newRow("lower-case address is none")
        << with({{"StartUP/ComPort", "3"}, {"StartUP/ADRESS", "a003"}}) << true << 3
        << "19200,N,8,1"
        << ""
        << "Option1"
        << "";
    QTest::newRow("port 15 accepted")
        << with({{"StartUP/ComPort", "15"}}) << true << 15 << "19200,N,8,1"
        << ""
        << "Option1"
        << "";
    QTest::newRow("port 16 refused")
        << with({{"StartUP/ComPort", "16"}, {"StartUP/ADRESS", "A001"}}) << false << 16 << ""
        << ""
        << "Option1"
        << "";
    QTest::newRow("port 0 refused") << with({{"StartUP/ComPort", "0"}}) << false << 0 << ""
                                    << ""
                                    << "Option1"
                                    << "";
    QTest::newRow("port beyond 16 bits")
        << with({{"StartUP/ComPort", "99999999999"}}) << false << 0 << ""
        << ""
        << "Option1"
        << "";
    QTest::newRow("negative baud") << with({{"StartUP/ComPort", "3"}, {"StartUP/BaudRate", "-5"}})
                                   << true << 3 << "19200,N,8,1"
                                   << ""
                                   << "Option1"
                                   << "";
    // The device is missing: baud and address are already in force when the
    // dialog comes.
    QTest::newRow("device missing")
        << with({{"StartUP/ComPort", "7"}, {"StartUP/BaudRate", "96"}, {"StartUP/ADRESS", "A004"}})
        << false << 7 << "9600,N,8,1"
        << "A004"
        << "Option6"
        << "COM7 (/nonexistent/tty): the device does not exist.";
}

void TstStartup::outcomes()
{
    QFETCH(Keys, keys);
    QFETCH(bool, opened);
    QFETCH(int, port);
    QFETCH(QString, settings);
    QFETCH(QString, prefix);
    QFETCH(QString, option);
    QFETCH(QString, note);

    PtyLine line;
    TestEnv::seed(keys + Keys{{"Ports/COM3", line.slavePath()}, {"Ports/COM15", line.slavePath()}});

    bool dialogShown = false;
    QString shownNote;
    if (!opened)
        TestEnv::whenModal([&](QWidget *dialog) {
            dialogShown = true;
            auto *label = dialog->findChild<QLabel *>(QStringLiteral("openFailureNote"));
            if (label && label->isVisible())
                shownNote = label->text();
            dialog->close();
        });
    Form1 form;
    form.Form_Load();
    QCOMPARE(dialogShown, !opened);
    QVERIFY2(note.isEmpty() ? shownNote.isEmpty() : shownNote.contains(note),
             qPrintable(shownNote));
    QCOMPARE(form.MSComm1.portOpen(), opened);
    QCOMPARE(int(form.session.ComPortNo), port);
    QCOMPARE(form.outerHeightTwips(), int(Form1::CompactHeight));
    if (!settings.isEmpty()) {
        QCOMPARE(form.MSComm1.settings(), settings);
        QCOMPARE(int(form.session.BaudCode), settings.startsWith("9600") ? 96 : 192);
        QCOMPARE(form.MSComm1.commPort(), port);
    }
    QCOMPARE(form.engine.addressPrefix, prefix);
    auto *selected = form.findChild<QRadioButton *>(option);
    QVERIFY(selected && selected->isChecked());
    // Intervals: the start-up ones once the port is open, the initial ones
    // when start-up handed over to the dialog.
    QCOMPARE(form.engine.pace(),
             opened ? TransactionEngine::Pace::PortOpened : TransactionEngine::Pace::StartUp);
    for (QTimer *timer : form.engine.findChildren<QTimer *>())
        QVERIFY2(!timer->isActive(), qPrintable(timer->objectName()));
    QVERIFY(!form.Label19->isVisibleTo(&form) && !form.Label28->isVisibleTo(&form)
            && !form.Label27->isVisibleTo(&form));
}

void TstStartup::closingStoresAddressAndClosesPort()
{
    PtyLine line;
    TestEnv::seed(
        {{"StartUP/ComPort", "3"}, {"StartUP/ADRESS", "A001"}, {"Ports/COM3", line.slavePath()}});
    {
        Form1 form;
        form.Form_Load();
        QVERIFY(form.MSComm1.portOpen());
        form.Option4->setChecked(true); // "002"
        QCOMPARE(form.engine.addressPrefix, QStringLiteral("A002"));
        form.show();
        QVERIFY(form.close());
        QVERIFY(!form.MSComm1.portOpen());
        QCOMPARE(TestEnv::stored("StartUP/ADRESS"), QStringLiteral("A002"));
    }
    // The line is free again: another opener gets it.
    MSComm again;
    again.setCommPort(3);
    QVERIFY(again.setPortOpen(true));

    // After the fallback the address was never read: an empty one is stored.
    TestEnv::seed({{"StartUP/ADRESS", "A003"}});
    TestEnv::whenModal([](QWidget *dialog) { dialog->close(); });
    Form1 fallback;
    fallback.Form_Load();
    fallback.Form_QueryUnload();
    QCOMPARE(TestEnv::stored("StartUP/ADRESS"), QString());
}

void TstStartup::sendsExactlyTheFramedBytes()
{
    PtyLine line;
    TestEnv::seed(
        {{"StartUP/ComPort", "3"}, {"StartUP/ADRESS", "AFFF"}, {"Ports/COM3", line.slavePath()}});
    Form1 form;
    form.Form_Load();
    QString command = QStringLiteral("C00\r");
    form.engine.Hyouji(command, TransactionEngine::SendMode);
    QCOMPARE(command, QStringLiteral("AFFFC00\r"));
    QCOMPARE(form.Label11->text(), QStringLiteral(" A F F F C 0 0  [CR] "));
    QVERIFY(form.Label28->isVisibleTo(&form));
    QCOMPARE(line.readAvailable(), QByteArray("AFFFC00\r"));
    line.write("00\r");
    QTRY_COMPARE(form.Label12->text(), QStringLiteral(" 0 0  [CR] "));
    // Addressed: the reply is shown but not decoded.
    QCOMPARE(form.Label25->text(), QString());
}

// A file edited by hand goes through start-up and closing with only the
// address value changed: every other byte is the user's and stays.
void TstStartup::handEditedFileSurvives_data()
{
    QTest::addColumn<QByteArray>("file"); // %TTY% is the line, %ADDR% the address

    // Comments, blank lines, own order, names in any case with blanks, a stray
    // quote ending [StartUP], a line without '=', a byte that is not UTF-8,
    // '=' inside a value, duplicate keys and sections (the first ones count).
    const QByteArray file("; projector in room 4\n"
                          "[startup]\n"
                          "  comport = 3 \n"
                          "adress = %ADDR% \t\n"
                          "BaudRate=96\"\n"
                          "\n"
                          "; the desk adapter, by id\n"
                          "[ Ports ]\n"
                          "COM6 /dev/ttyUSB1\n"
                          "COM5=/dev/serial/by-id/usb-Caf\xE9\n"
                          "COM4=tcp://h:1?a=b\n"
                          "com3 = %TTY%\n"
                          "COM3=/dev/null\n"
                          "[StartUP]\n"
                          "ADRESS=A004\n"
                          "ComPort=9\n");
    QTest::newRow("LF") << file;
    QTest::newRow("CRLF") << QByteArray(file).replace("\n", "\r\n");
    QTest::newRow("no final newline") << file.chopped(1);
}

void TstStartup::handEditedFileSurvives()
{
    QFETCH(QByteArray, file);
    PtyLine line;
    file.replace("%TTY%", QFile::encodeName(line.slavePath()));
    const QString path = TestEnv::settingsFile();
    QVERIFY(TestEnv::writeFile(path, QByteArray(file).replace("%ADDR%", "A001")));
    {
        Form1 form;
        form.Form_Load();
        QVERIFY(form.MSComm1.portOpen());
        QCOMPARE(form.MSComm1.settings(), QStringLiteral("9600,N,8,1"));
        QVERIFY(form.Option3->isChecked());
        form.Option4->setChecked(true);
        form.show();
        QVERIFY(form.close());
    }
    QCOMPARE(TestEnv::fileBytes(path), QByteArray(file).replace("%ADDR%", "A002"));
}

// A settings file the store cannot use: start-up takes the fallback, closing
// still completes, and the file is left as it was.
void TstStartup::unusableStoreFallsBackAndClosingCompletes_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("unprivileged"); // permissions must hold

    QTest::newRow("directory in its place") << "directory" << false;
    QTest::newRow("no read permission") << "unreadable" << true;
    QTest::newRow("read-only folder") << "read-only folder" << true;
}

void TstStartup::unusableStoreFallsBackAndClosingCompletes()
{
    QFETCH(QString, kind);
    QFETCH(bool, unprivileged);
    if (unprivileged && TestEnv::permissionsIgnored())
        ORVA_VERDICT_AS_UNPRIVILEGED();

    const QString file = TestEnv::settingsFile();
    const QString folder = QFileInfo(file).absolutePath();
    const QByteArray original(
        "[StartUP]\nComPort=7\nADRESS=A003\n[Ports]\nCOM7=/nonexistent/tty\n");
    QFile::remove(file);
    if (kind == "directory") {
        QVERIFY(QDir().mkpath(file));
    } else {
        QVERIFY(TestEnv::writeFile(file, original));
        if (kind == "unreadable")
            QVERIFY(QFile::setPermissions(file, QFile::WriteOwner));
        else
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    }
    bool dialogShown = false;
    TestEnv::whenModal([&dialogShown](QWidget *dialog) {
        dialogShown = true;
        dialog->close();
    });
    {
        Form1 form;
        form.Form_Load();
        QVERIFY(dialogShown);
        QVERIFY(!form.MSComm1.portOpen());
        form.Option4->setChecked(true); // a new address that cannot be stored
        form.show();
        QVERIFY(form.close());
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (kind == "directory") {
        QVERIFY(QFileInfo(file).isDir());
        QVERIFY(QDir(file).removeRecursively());
    } else {
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(TestEnv::fileBytes(file), original);
        QFile::remove(file);
    }
}

// For the start-up benchmark: with ORVA_STARTUP_MARK naming a descriptor,
// the window writes the monotonic time there once, after its first paint.
void TstStartup::startupMarkFollowsFirstPaint()
{
    int ends[2];
    QVERIFY(pipe2(ends, O_NONBLOCK | O_CLOEXEC) == 0);
    const auto closeEnds = qScopeGuard([&]() {
        ::close(ends[0]);
        ::close(ends[1]);
    });
    QByteArray written;
    auto readAll = [&]() {
        char buf[64];
        for (ssize_t n; (n = ::read(ends[0], buf, sizeof buf)) > 0;)
            written.append(buf, n);
    };

    qputenv("ORVA_STARTUP_MARK", QByteArray::number(ends[1]));
    PaintedWindow window;
    StartupMark::watch(&window);
    qunsetenv("ORVA_STARTUP_MARK");
    QCoreApplication::processEvents();
    readAll();
    QVERIFY(written.isEmpty());

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY((readAll(), written.endsWith('\n')));
    const qint64 mark = written.trimmed().toLongLong();
    QVERIFY(window.firstPaintDone != 0);
    QVERIFY(mark >= window.firstPaintDone && mark <= monotonicNs());

    // Later paints write nothing more.
    window.repaint();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    readAll();
    QCOMPARE(written.count('\n'), 1);
}

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"

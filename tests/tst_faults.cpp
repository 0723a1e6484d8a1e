// Faults around the line, against real pseudo-terminals: the far end hangs
// up or the window is closed in the middle of an exchange, and the port is
// held by another program or may not be opened by this user.

#include "common/ptyline.h"
#include "common/testenv.h"
#include "panel/buttonmap.h"
#include "panel/form1.h"
#include "portdialog/form2.h"
#include "protocol/linelog.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>

#include <ctime>
#include <memory>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Keys = QList<std::pair<QString, QString>>;

// Set in a copy of this program that runs one refused-open case as an
// unprivileged user: the device to try.
constexpr char kChildDevice[] = "ORVA_FAULTS_DEVICE";

const QColor kMarked(0xFF, 0x80, 0x80);

qint64 cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

QString firstArrow()
{
    for (const ButtonMap::Entry &entry : ButtonMap::panelButtons()) {
        if (entry.style == ButtonMap::Style::Hold)
            return QString::fromLatin1(entry.button);
    }
    return {};
}

// The serial library's lock file for |device| ("/dev/pts/3" -> "LCK..pts_3").
bool lockFileExists(const QString &device)
{
    QString name = device;
    name.remove(0, name.indexOf(QLatin1String("/dev/")) + 5)
        .replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *dir :
         {"/var/lock", "/run/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp"}) {
        if (QFile::exists(QLatin1String(dir) + QLatin1String("/LCK..") + name))
            return true;
    }
    return false;
}

} // namespace

class TstFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void lineEndsDuringExchange_data();
    void lineEndsDuringExchange();
    void openRefused_data();
    void openRefused();
    void adapterReplugged();

private:
    // Start-up with COM3 stored and mapped to |device|: the reason the port
    // dialog shows as it opens.
    static QString startUpReason(const QString &device);
    // Runs this case in a copy of the program as user "nobody" and returns
    // what it printed; empty when it passed.
    static QString runAsNobody(const QString &device);
};

void TstFaults::lineEndsDuringExchange_data()
{
    QTest::addColumn<bool>("hold");   // a held arrow repeating, else a reply half received
    QTest::addColumn<bool>("hangUp"); // the far end hangs up, else the window is closed
    QTest::newRow("hang-up during a hold") << true << true;
    QTest::newRow("hang-up during a reply") << false << true;
    QTest::newRow("closed during a hold") << true << false;
    QTest::newRow("closed during a reply") << false << false;
}

void TstFaults::lineEndsDuringExchange()
{
    QFETCH(bool, hold);
    QFETCH(bool, hangUp);
    auto line = std::make_unique<PtyLine>();
    QVERIFY(line->isValid());
    const Keys keys = {
        {"StartUP/ComPort", "3"}, {"StartUP/BaudRate", "96"}, {"StartUP/ADRESS", "A002"}};
    TestEnv::seed(keys + Keys{{"Ports/COM3", line->slavePath()}});
    Form1 form;
    form.Form_Load();
    form.show();
    QVERIFY(form.MSComm1.portOpen());
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QPushButton *arrow = form.button(firstArrow());
    QPushButton *com = form.button(QStringLiteral("Command33"));
    QVERIFY(arrow && com);
    const QString comTip = com->toolTip();
    const QImage comLook = com->grab().toImage();

    if (hold) {
        QTest::mousePress(arrow, Qt::LeftButton);
        QVERIFY(line->read(3 * 8).size() >= 3 * 8); // "A002C47\r" and its repeats
    } else {
        QTest::mouseClick(form.button(QStringLiteral("Command44")), Qt::LeftButton);
        QCOMPARE(line->read(8), QByteArray("A002CR0\r"));
        line->write("0");
        QTRY_COMPARE(form.Label12->text(), QStringLiteral(" 0 "));
    }

    if (hangUp) {
        line->hangUp();
        QTRY_VERIFY(!form.MSComm1.portOpen());
        // A held arrow lets go: it no longer looks pressed.
        QVERIFY(!form.engine.holding());
        QVERIFY(!arrow->isDown());
        // The loss shows at once: the "COM" button comes into view, marked,
        // with the reason and the way back.
        QVERIFY(form.rect().contains(com->geometry()));
        QCOMPARE(com->grab().toImage().pixelColor(5, 5), kMarked);
        QVERIFY2(com->toolTip().contains(line->slavePath() + "): the far end hung up."),
                 qPrintable(com->toolTip()));
        QVERIFY2(com->toolTip().contains(QLatin1String("press COM, then OK")),
                 qPrintable(com->toolTip()));
        // ... told as well without the pointer on it.
        QCOMPARE(com->accessibleDescription(),
                 QTextDocumentFragment::fromHtml(com->toolTip()).toPlainText());
        if (!hold)
            QCOMPARE(form.Label12->text(), QStringLiteral(" 0 ")); // what came stays shown
        // Nothing spins on the dead line.
        const qint64 before = cpuMilliseconds();
        QTest::qWait(1000);
        const qint64 used = cpuMilliseconds() - before;
        QVERIFY2(used < 400, qPrintable(QStringLiteral("%1 ms CPU in 1 s").arg(used)));
        if (hold)
            QTest::mouseRelease(arrow, Qt::LeftButton); // a late release changes nothing
        QCOMPARE(line->readAvailable(0), QByteArray());
        // A send meanwhile does not pretend it went out, and says why.
        QTest::mouseClick(form.button(QStringLiteral("Command44")), Qt::LeftButton);
        form.engine.Timer2_Timer();
        QCOMPARE(form.Label11->text(), QString());
        QCOMPARE(form.Label12->text(), QStringLiteral("port closed"));

        // COM, then OK on a line that is there again: the mark goes.
        line = std::make_unique<PtyLine>();
        TestEnv::seed(keys + Keys{{"Ports/COM3", line->slavePath()}});
        form.Command33_Click();
        auto *dialog = qobject_cast<Form2 *>(form.portDialog.data());
        QVERIFY(dialog);
        dialog->Option5->click();
        dialog->Command1->click();
        QVERIFY(form.MSComm1.portOpen());
        QCOMPARE(com->toolTip(), comTip);
        QCOMPARE(com->accessibleDescription(), QString());
        QVERIFY(com->grab().toImage().pixelColor(5, 5) != kMarked);
        // ... and the button looks exactly as it did before the loss.
        QCOMPARE(com->grab().toImage(), comLook);
    }

    // Closing completes: the address is stored, the port closed and free
    // for the next program, and nothing more goes out.
    QVERIFY(form.close());
    line->readAvailable(0);
    QVERIFY(!form.MSComm1.portOpen());
    QVERIFY(!form.engine.holding());
    for (QTimer *timer : form.engine.findChildren<QTimer *>())
        QVERIFY2(!timer->isActive(), qPrintable(timer->objectName()));
    QCOMPARE(TestEnv::stored("StartUP/ADRESS"), QStringLiteral("A002"));
    QCOMPARE(line->readAvailable(300), QByteArray());
    MSComm next;
    next.setDevice(line->slavePath());
    QVERIFY2(next.setPortOpen(true), qPrintable(next.openFailureText()));
}

void TstFaults::openRefused_data()
{
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QString>("reason");
    QTest::newRow("held by another ORVA") << "orva"
                                          << "is in use by another program";
    QTest::newRow("a network port held by another ORVA") << "orva on a network port"
                                                         << "is in use by another program.\n";
    // A terminal program opens the line for exclusive access.
    QTest::newRow("held by a plain program") << "exclusive"
                                             << "is in use by another program";
    QTest::newRow("not allowed to this user") << "nobody"
                                              << "permission denied";
}

void TstFaults::openRefused()
{
    QFETCH(QString, holder);
    QFETCH(QString, reason);
    if (qEnvironmentVariableIsSet(kChildDevice)) {
        // The copy running as an unprivileged user: the check alone.
        const QString shown = startUpReason(qEnvironmentVariable(kChildDevice));
        QVERIFY2(shown.contains(reason), qPrintable(shown));
        return;
    }

    PtyLine line;
    QVERIFY(line.isValid());
    QTcpServer server; // a serial device server's port
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const bool network = holder.endsWith(QLatin1String("network port"));
    const QByteArray slave = network ? "tcp://127.0.0.1:" + QByteArray::number(server.serverPort())
                                     : QFile::encodeName(line.slavePath());
    QProcess other;
    QTemporaryDir otherConfig;
    int exclusive = -1;
    if (holder.startsWith(QLatin1String("orva"))) {
        QFile ini(otherConfig.filePath(QStringLiteral("ORVA.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[StartUP]\nComPort=3\n[Ports]\nCOM3=" + slave + "\n");
        ini.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), otherConfig.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        other.setProcessEnvironment(env);
        // Its log cannot be written: it says so once and holds the port all
        // the same.
        const QString log = otherConfig.filePath(QStringLiteral("no-such-folder/orva.log"));
        other.start(QStringLiteral(ORVA_PROGRAM), {QStringLiteral("--log"), log});
        QVERIFY(other.waitForStarted());
        other.setReadChannel(QProcess::StandardError); // it tells before it opens the port
        QTRY_VERIFY_WITH_TIMEOUT(
            other.canReadLine()
                && (network ? server.hasPendingConnections() : lockFileExists(line.slavePath())),
            30000);
        const QString told = QString::fromLocal8Bit(other.readAll());
        QVERIFY2(told.count(QLatin1String("orva: the log")) == 1
                     && ("\n" + told)
                            .contains("\norva: the log " + log
                                      + " cannot be written (No such file or directory); "
                                        "going on without it.\n"),
                 qPrintable(told));
    } else if (holder == QLatin1String("exclusive")) {
        // Open to everyone, but taken for exclusive use.
        QVERIFY(::chmod(slave.constData(), 0666) == 0);
        exclusive = ::open(slave.constData(), O_RDWR | O_NOCTTY);
        QVERIFY(exclusive >= 0);
        QVERIFY(::ioctl(exclusive, TIOCEXCL) == 0);
    } else {
        QVERIFY(::chmod(slave.constData(), ::geteuid() == 0 ? 0600 : 0000) == 0);
    }

    // Root passes both the permission check and exclusive access: those
    // cases are asked as an unprivileged user.
    if (network) {
        QProcess orvactl;
        orvactl.start(QStringLiteral(ORVACTL), {"--device", slave, "send", "CR0"});
        QVERIFY(orvactl.waitForFinished(30000));
        const QString told = QString::fromLocal8Bit(orvactl.readAllStandardError());
        QVERIFY2(orvactl.exitCode() == 3 && told.endsWith(slave + " " + reason), qPrintable(told));
    } else if (!holder.startsWith(QLatin1String("orva")) && ::geteuid() == 0) {
        const QString failure = runAsNobody(line.slavePath());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    } else {
        const QString shown = startUpReason(line.slavePath());
        QVERIFY2(shown.contains(reason), qPrintable(shown));
    }

    if (exclusive >= 0) {
        ::ioctl(exclusive, TIOCNXCL);
        ::close(exclusive);
    }
    if (other.state() != QProcess::NotRunning) {
        // Ended without closing its port: the lock file stays behind, but
        // its owner is gone and it no longer counts.
        other.kill();
        QVERIFY(other.waitForFinished());
        MSComm again;
        again.setDevice(QFile::decodeName(slave));
        QVERIFY2(again.setPortOpen(true), qPrintable(again.openFailureText()));
    }
}

// An adapter unplugged and plugged in again: the window opens it again by
// its stable name, whichever adapter has the number meanwhile, and the
// "COM" button looks as before. The log holds every byte both ways with its
// time, and the open, the loss, the reopening and the close.
void TstFaults::adapterReplugged()
{
    QTemporaryDir byId;
    qputenv("ORVA_SERIAL_BY_ID", QFile::encodeName(byId.path()));
    const QString adapter = byId.filePath(QStringLiteral("usb-ORVA_B-if00-port0"));
    auto line = std::make_unique<PtyLine>();
    QVERIFY(QFile::link(line->slavePath(), adapter));
    TestEnv::seed({{"StartUP/ComPort", "3"}, {"StartUP/BaudRate", "96"}, {"StartUP/ADRESS", ""}});
    const QString logPath = byId.filePath(QStringLiteral("../orva-test.log"));
    QFile::remove(logPath);
    LineLog log(logPath);
    Form1 form;
    form.setLog(&log);
    form.Form_Load();
    form.show();
    QVERIFY(form.MSComm1.portOpen());
    QPushButton *com = form.button(QStringLiteral("Command33"));
    const QString comTip = com->toolTip();
    const QImage comLook = com->grab().toImage();
    QTest::mouseClick(form.button(QStringLiteral("Command44")), Qt::LeftButton);
    QCOMPARE(line->read(4), QByteArray("CR0\r"));
    line->write("0");
    QTRY_COMPARE(form.Label12->text(), QStringLiteral(" 0 "));

    line->hangUp();
    QTRY_COMPARE(com->grab().toImage().pixelColor(5, 5), kMarked);
    QVERIFY2(com->toolTip().contains(adapter + "): the far end hung up."),
             qPrintable(com->toolTip()));
    QFile::remove(adapter);
    PtyLine other; // takes the number meanwhile
    QVERIFY(QFile::link(other.slavePath(), byId.filePath(QStringLiteral("usb-ORVA_A-if00-port0"))));
    line = std::make_unique<PtyLine>();
    QVERIFY(QFile::link(line->slavePath(), adapter));
    QTRY_VERIFY_WITH_TIMEOUT(form.MSComm1.portOpen(), 20000);
    QTRY_COMPARE(com->toolTip(), comTip); // once the open is told
    QCOMPARE(com->accessibleDescription(), QString());
    QCOMPARE(com->grab().toImage(), comLook);
    QTest::mouseClick(form.button(QStringLiteral("Command44")), Qt::LeftButton);
    QCOMPARE(line->read(4), QByteArray("CR0\r"));
    QCOMPARE(other.readAvailable(0), QByteArray());
    QVERIFY(form.close());
    qunsetenv("ORVA_SERIAL_BY_ID");

    QStringList lines = QString::fromUtf8(TestEnv::fileBytes(logPath)).split('\n');
    QCOMPARE(lines.takeLast(), QString());
    const QStringList expected = {
        "COM3\topen\t" + adapter + "\t",
        "COM3\tsent\tC R 0  [CR]\t43 52 30 0D",
        "COM3\treceived\t0\t30",
        "COM3\tlost\tthe far end hung up\t",
        "COM3\treconnect\t" + adapter + "\t",
        "COM3\tsent\tC R 0  [CR]\t43 52 30 0D",
        "COM3\tclose\t" + adapter + "\t",
    };
    QCOMPARE(lines.size(), expected.size());
    const QRegularExpression time(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d\t"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QVERIFY2(time.match(lines[i]).hasMatch(), qPrintable(lines[i]));
        QCOMPARE(lines[i].section('\t', 1), expected[i]);
    }
}

QString TstFaults::startUpReason(const QString &device)
{
    TestEnv::seed({{"StartUP/ComPort", "3"}, {"Ports/COM3", device}});
    QString shown = QStringLiteral("<no dialog>");
    TestEnv::whenModal([&shown](QWidget *dialog) {
        auto *note = dialog->findChild<QLabel *>(QStringLiteral("openFailureNote"));
        shown = note && note->isVisible() ? note->text() : QStringLiteral("<no reason shown>");
        dialog->close();
    });
    Form1 form;
    form.Form_Load();
    if (form.MSComm1.portOpen())
        return QStringLiteral("<opened>");
    return shown;
}

QString TstFaults::runAsNobody(const QString &device)
{
    QString output;
    const int code =
        TestEnv::runUnprivileged(&output, {{QString::fromLatin1(kChildDevice), device}});
    if (code < 0)
        return QStringLiteral("the run as nobody did not start or finish: ") + output;
    return code == 0 ? QString() : output;
}

QTEST_MAIN(TstFaults)
#include "tst_faults.moc"

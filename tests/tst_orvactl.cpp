#include "common/ptyline.h"
#include "common/testenv.h"
#include "ports/mscomm.h"
#include "sim/projector.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

// The real orvactl binary against a simulated projector on a pseudo-terminal.
class TstOrvactl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void runs_data();
    void runs();
    void jsonParses();
    void list_data();
    void list();
    void libraries();
};

namespace {

// Denied: the line belongs to root and the group dialout, and this user is in
// neither.
enum class Peer { Sim, Silent, Trickle, HangUp, Flood, Locked, Denied };

struct Run {
    int exitCode = -1;
    QString out, err;
    QByteArray line;   // what orvactl wrote
    speed_t speed = 0; // the line's speed while it was open
};

speed_t lineSpeed(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    termios t{};
    const bool ok = fd >= 0 && ::tcgetattr(fd, &t) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok ? cfgetospeed(&t) : 0;
}

Run run(PtyLine &line, const QStringList &args, Peer peer)
{
    Run r;
    SimProjector sim;
    MSComm holder; // another program that has the port
    if (peer == Peer::Locked) {
        holder.setDevice(line.slavePath());
        if (!holder.setPortOpen(true))
            return r;
    }
    // QProcess passes arguments as UTF-8; a character from U+DC80 to U+DCFF
    // stands for the lone byte 0x80 to 0xFF that a terminal which is not
    // UTF-8 passes, made by the shell's printf (such rows hold no ' or %).
    QString script = QStringLiteral("exec \"$0\"");
    bool bytes = false;
    for (const QString &arg : args) {
        QString octal;
        for (const QChar c : arg) {
            const bool byte = c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF;
            octal += byte ? QString("\\%1").arg(c.unicode() - 0xDC00, 3, 8, QChar('0')) : c;
            bytes = bytes || byte;
        }
        script += " \"$(printf '" + octal + "')\"";
    }
    QProcess p;
    if (bytes)
        p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QStringLiteral(ORVACTL)});
    else
        p.start(QStringLiteral(ORVACTL), args);
    if (!p.waitForStarted())
        return r;
    // Generous: only a hang ends here.
    QDeadlineTimer guard(20000);
    while (p.state() != QProcess::NotRunning && !guard.hasExpired()) {
        const QByteArray bytes = line.readAvailable(5);
        if (bytes.isEmpty())
            continue;
        if (r.line.isEmpty())
            r.speed = lineSpeed(line.slavePath());
        r.line += bytes;
        const QByteArray answer = sim.feed(bytes);
        if (peer == Peer::Sim) {
            line.write(answer);
        } else if (peer == Peer::Trickle) {
            for (const char c : answer) {
                line.write(QByteArray(1, c));
                line.readAvailable(30);
            }
        } else if (peer == Peer::HangUp) {
            line.hangUp();
        } else if (peer == Peer::Flood) {
            line.write(QByteArray(100000, 'x'));
        }
    }
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
}

} // namespace

void TstOrvactl::runs_data()
{
    // "LINE" in arguments and stored values stands for the line's device.
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("peer");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("onLine");
    QTest::addColumn<QStringList>("shown"); // on stdout, or on stderr for 2 and 3
    QTest::addColumn<int>("speed");         // B9600/B19200, 0 = not checked

    const QStringList none;
    // A loaded machine may answer slowly; rows about a missing answer set
    // their own time-out after this one (the last one given counts).
    const QStringList dev{"--device", "LINE", "--timeout", "5000"};
    const QStringList slow{"--timeout", "5000"};
    const QStringList com7{"StartUP/ComPort=7", "Ports/COM7=LINE"};
    const int sim = int(Peer::Sim);
    auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };

    row("power on, then the status reads Power ON")
        << none << dev + QStringList{"send", "C00", "CR0"} << sim << 0 << QByteArray("C00\rCR0\r")
        << QStringList{"[ACK]", "Power ON"} << 0;
    row("a silent peer: no answer within the time-out")
        << none << dev + QStringList{"--timeout", "300", "send", "CR0"} << int(Peer::Silent) << 1
        << QByteArray("CR0\r") << QStringList{"X X X X"} << 0;
    row("all projectors: AFFF before each command, nobody answers")
        << none << dev + QStringList{"--address", "all", "--timeout", "200", "send", "C00", "CR0"}
        << sim << 1 << QByteArray("AFFFC00\rAFFFCR0\r") << QStringList{} << 0;
    row("one projector answers and its reply is decoded")
        << none << dev + QStringList{"--address", "001", "send", "CR0"} << sim << 0
        << QByteArray("A001CR0\r") << QStringList{"Stand by"} << 0;
    row("status asks four queries")
        << none << dev + QStringList{"status"} << sim << 0 << QByteArray("CR0\rCR1\rCR3\rCR6\r")
        << QStringList{"Stand by", "Input 1", "1 2 3 4   Hour Use", "2 4 . 5 deg C",
                       "\nState:       standby, input 1, lamp 1234 h, 24.0/24.5/24.0 \u00B0C\n"}
        << 0;
    row("status in JSON ends with the state")
        << none << dev + QStringList{"--json", "status"} << sim << 0
        << QByteArray("CR0\rCR1\rCR3\rCR6\r")
        << QStringList{"}\n{\"state\":{\"input\":\"1\",\"lampHours\":1234,\"power\":"
                       "\"standby\",\"temperatures\":[24,24.5,24]}}\n"}
        << 0;
    row("status from a silent peer: no state")
        << none << dev + QStringList{"--timeout", "200", "status"} << int(Peer::Silent) << 1
        << QByteArray("CR0\rCR1\rCR3\rCR6\r")
        << QStringList{"\nState:       ?, input ?, lamp ? h, ?/?/? \u00B0C\n"} << 0;
    row("a reply in pieces is read up to its CR")
        << none << dev + QStringList{"send", "CR6"} << int(Peer::Trickle) << 0
        << QByteArray("CR6\r") << QStringList{"0 2 4 . 0 deg C"} << 0;
    row("an unknown word is sent; the projector decides")
        << none << dev + QStringList{"send", "XYZ 1"} << sim << 0 << QByteArray("XYZ 1\r")
        << QStringList{"X Y Z _ 1"} << 0;
    row("the first of two gets no answer: exit 1 though the last is answered")
        << none << dev + QStringList{"--timeout", "1000", "send", "A002CR0", "CR0"} << sim << 1
        << QByteArray("A002CR0\rCR0\r") << QStringList{"RxD: X X X X", "Stand by"} << 0;
    row("a flood without CR ends at the time-out")
        << none << dev + QStringList{"--timeout", "300", "send", "CR0"} << int(Peer::Flood) << 1
        << QByteArray("CR0\r") << QStringList{} << 0;
    row("stored port, baud and address")
        << com7 + QStringList{"StartUP/BaudRate=96", "StartUP/ADRESS=A001"}
        << slow + QStringList{"send", "CR1"} << sim << 0 << QByteArray("A001CR1\r")
        << QStringList{"Input 1"} << int(B9600);
    row("options beat the stored choices")
        << com7 + QStringList{"StartUP/BaudRate=96", "StartUP/ADRESS=A001"}
        << slow + QStringList{"--address", "none", "--baud", "19200", "send", "CR1"} << sim << 0
        << QByteArray("CR1\r") << QStringList{"Input 1"} << int(B19200);
    row("a stored address outside the list is none")
        << com7 + QStringList{"StartUP/ADRESS=A009"} << slow + QStringList{"send", "CR1"} << sim
        << 0 << QByteArray("CR1\r") << QStringList{} << int(B19200);
    row("the port number goes through the port map")
        << QStringList{"Ports/COM12=LINE"} << slow + QStringList{"--port", "12", "send", "C01"}
        << sim << 0 << QByteArray("C01\r") << QStringList{} << 0;

    const QStringList venue{"Projectors/Hall A=LINE",
                            "Projectors/Room 101=rfc2217://ds-east:4001, address=001, baud=19200",
                            "Projectors/Lobby=COM16"};
    row("the venue as JSON lines, a bad line with its reason")
        << venue << QStringList{"--json", "projectors"} << sim << 1 << QByteArray()
        << QStringList{R"({"address":null,"baud":9600,"device":"LINE","error":null,"name":"Hall A",)"
                       R"("port":"LINE","present":true})"
                       "\n"
                       R"({"address":"001","baud":19200,"device":"rfc2217://ds-east:4001","error":null,)"
                       R"("name":"Room 101","port":"rfc2217://ds-east:4001","present":null})"
                       "\n"
                       R"({"address":null,"baud":9600,"device":null,"error":"\"COM16\" is not a port: )"
                       R"(COM numbers go from COM1 to COM15","name":"Lobby","port":"COM16","present":null})"
                       "\n"}
        << 0;
    row("the venue as text")
        << venue << QStringList{"projectors"} << sim << 1 << QByteArray()
        << QStringList{"none  9600   present\n", "001   19200  checked when opened\n",
                       "Lobby     COM16                   error: \"COM16\" is not a port"}
        << 0;

    const struct {
        const char *name;
        QStringList args;
        const char *message;
    } usage[] = {
        {"empty command", {"send", "C00", ""}, "empty"},
        {"carriage return inside", {"send", "C00\rC01"}, "carriage return"},
        {"line feed inside", {"send", "C0\n0"}, "printable"},
        {"byte above 0x7E",
         {"send", QString("C0") + QChar(0xDCE9)},
         "\"C0\\xE9\" holds the byte 0xE9, which is not printable ASCII"},
        {"address outside the list",
         {"--address", "005", "send", "C00"},
         "--address takes none, all, 001, 002, 003 or 004, not \"005\"."},
        {"baud 4800", {"--baud", "4800", "send", "C00"}, "--baud"},
        {"port 16",
         {"--port", "16", "send", "C00"},
         "--port takes a number from 1 to 15, not \"16\"."},
        {"port not a number", {"--port", "one", "send", "C00"}, "--port"},
        {"port and device", {"--port", "1", "--device", "LINE", "send", "C00"}, "not both"},
        {"time-out 0", {"--timeout", "0", "send", "C00"}, "--timeout"},
        {"no command", {"send"}, "at least one"},
        {"unknown action", {"power", "off"}, "unknown action"},
        {"projectors with a word", {"projectors", "all"}, "projectors takes no arguments."},
        {"unknown option", {"--speed", "9600", "send", "C00"}, "speed"},
    };
    for (const auto &u : usage)
        row(u.name) << com7 << u.args << sim << 2 << QByteArray() << QStringList{u.message} << 0;

    const QString absent = QStringLiteral("/nonexistent/ttyX");
    row("locked port") << none << dev + QStringList{"send", "C00"} << int(Peer::Locked) << 3
                       << QByteArray() << QStringList{"LINE is in use by another program."} << 0;
    row("absent device") << none << QStringList{"--device", absent, "send", "C00"} << sim << 3
                         << QByteArray() << QStringList{absent + ": the device does not exist."}
                         << 0;
    row("a device of the group dialout, and the user is not in it")
        << none << dev + QStringList{"send", "C00"} << int(Peer::Denied) << 3 << QByteArray()
        << QStringList{"LINE: permission denied. Your user must be a member of the group "
                       "\"dialout\" that owns the device; log in again after joining it."}
        << 0;
    row("mapped port without its device")
        << QStringList{"Ports/COM9=" + absent} << QStringList{"--port", "9", "send", "C00"} << sim
        << 3 << QByteArray() << QStringList{"COM9 (" + absent + "): the device does not exist."}
        << 0;
    row("no stored port")
        << none << QStringList{"send", "C00"} << sim << 3 << QByteArray()
        << QStringList{"orvactl: no port is stored; choose one with COM in the orva window, "
                       "or give --port N or --device PATH.\n"}
        << 0;
    row("help names the ports and the addresses")
        << none << QStringList{"--help"} << sim << 0 << QByteArray()
        << QStringList{"COM port number N (1 to 15)",
                       "Projector address: none, all, 001, 002, 003 or 004."}
        << 0;
    row("PJLink beyond this machine needs a password")
        << QStringList{"Projectors/A=LINE, pjlink=4352"}
        << QStringList{"watch", "--pjlink", "--pjlink-listen", "0.0.0.0"} << sim << 3
        << QByteArray()
        << QStringList{"orvactl: \"A\" would answer PJLink on 0.0.0.0 without a password: give "
                       "it pjlink-password=... in the venue, or --pjlink-password-file, or "
                       "--pjlink-no-password\n"}
        << 0;
    row("stored port 16") << QStringList{"StartUP/ComPort=16"} << QStringList{"send", "C00"} << sim
                          << 3 << QByteArray()
                          << QStringList{"orvactl: the stored port 16 is not from 1 to 15; "} << 0;
    row("the line hangs up") << none << dev + QStringList{"send", "CR0", "CR1"} << int(Peer::HangUp)
                             << 3 << QByteArray("CR0\r") << QStringList{"lost"} << 0;
}

void TstOrvactl::runs()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, args);
    QFETCH(int, peer);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, onLine);
    QFETCH(QStringList, shown);
    QFETCH(int, speed);

    PtyLine line;
    QVERIFY(line.isValid());
    // Root opens any device: a denied line is tried as nobody, on the line of
    // the process that gave it away.
    const char *const handedOver = "ORVA_TEST_DENIED_LINE";
    const QString path = qEnvironmentVariable(handedOver, line.slavePath());
    if (peer == int(Peer::Denied) && !qEnvironmentVariableIsSet(handedOver)) {
        const group *dialout = ::getgrnam("dialout");
        QVERIFY(dialout);
        const QByteArray name = QFile::encodeName(path);
        if (::chown(name, 0, dialout->gr_gid) != 0 || ::chmod(name, 0660) != 0)
            QSKIP("only root can give the line to root and the group dialout");
        QString output;
        const int code = TestEnv::runUnprivileged(&output, {{handedOver, path}});
        if (code < 0)
            QSKIP("root cannot run this case as another user here");
        QVERIFY2(code == 0, qPrintable(output));
        return;
    }
    const auto withLine = [&](QString s) { return s.replace("LINE", path); };
    QList<std::pair<QString, QString>> keys;
    for (const QString &entry : stored)
        keys.append({entry.section('=', 0, 0), withLine(entry.section('=', 1))});
    TestEnv::seed(keys);
    const QByteArray settingsBefore = fileBytes(TestEnv::settingsFile());
    for (QString &arg : args)
        arg = withLine(arg);

    const Run r = run(line, args, Peer(peer));
    QVERIFY2(r.exitCode == exitCode,
             qPrintable(QString("exit %1\n%2%3").arg(r.exitCode).arg(r.out, r.err)));
    QCOMPARE(r.line, onLine);
    const QString text = exitCode >= 2 ? r.err : r.out;
    for (const QString &part : shown)
        QVERIFY2(text.contains(withLine(part)), qPrintable(text));
    if (speed)
        QCOMPARE(r.speed, speed_t(speed));
    // Only the window stores choices.
    QCOMPARE(fileBytes(TestEnv::settingsFile()), settingsBefore);
}

void TstOrvactl::jsonParses()
{
    PtyLine line;
    TestEnv::seed({});
    const Run r = run(line,
                      {"--device", line.slavePath(), "--json", "--timeout", "2000", "send", "C00",
                       "CR0", "A002CR0"},
                      Peer::Sim);
    QCOMPARE(r.exitCode, 1);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QList<QJsonObject> objects;
    for (const QString &text : lines) {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
        QVERIFY2(doc.isObject(), qPrintable(error.errorString() + ": " + text));
        objects.append(doc.object());
    }
    QCOMPARE(objects[0]["sent"].toString(), "C00\r");
    QCOMPARE(objects[0]["received"].toString(), "\x06");
    QVERIFY(objects[0]["status"].isNull());
    QCOMPARE(objects[1]["receivedText"].toString(), " 0 0  [CR] ");
    QCOMPARE(objects[1]["status"].toString(), "Power ON");
    QCOMPARE(objects[1]["timedOut"].toBool(), false);
    QCOMPARE(objects[2]["received"].toString(), "");
    QCOMPARE(objects[2]["timedOut"].toBool(), true);
}

void TstOrvactl::list_data()
{
    // Commands found; "!" in front: not found. |count| -1: not checked.
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("count");
    QTest::newRow("everything") << QStringList{} << QStringList{"C00", "CR STATUS"}
                                << 45 + 362 + 99;
    QTest::newRow("every word must match")
        << QStringList{"lamp", "MODE"} << QStringList{"CF LAMPMODE FULL", "CR LAMPMODE", "!C00"}
        << -1;
    QTest::newRow("rows under a heading are found by it")
        << QStringList{"contrast"} << QStringList{"CF CONT DN", "CF CONT 0%%", "!CF BRIGHT UP"}
        << -1;
}

void TstOrvactl::list()
{
    QFETCH(QStringList, words);
    QFETCH(QStringList, commands);
    QFETCH(int, count);
    PtyLine line;
    const Run r = run(line, QStringList{"--json", "list"} + words, Peer::Silent);
    QCOMPARE(r.exitCode, 0);
    QStringList listed;
    for (const QString &text : r.out.split('\n', Qt::SkipEmptyParts))
        listed.append(QJsonDocument::fromJson(text.toUtf8())["command"].toString());
    for (const QString &c : commands)
        QVERIFY2(listed.contains(c.mid(c.startsWith('!'))) != c.startsWith('!'), qPrintable(c));
    if (count >= 0)
        QCOMPARE(listed.size(), count);
}

void TstOrvactl::libraries()
{
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QStringLiteral(ORVACTL)});
    QVERIFY(ldd.waitForFinished());
    const QString libs = QString::fromLocal8Bit(ldd.readAllStandardOutput());
    QVERIFY2(libs.contains("libQt6Core"), qPrintable(libs));
    QVERIFY2(!libs.contains("libQt6Widgets"), qPrintable(libs));
    QVERIFY2(!libs.contains("libQt6Gui"), qPrintable(libs));
    // The network line is a module, loaded when a network port is opened.
    QVERIFY2(!libs.contains("libQt6Network"), qPrintable(libs));

    // A copy with no module beside it: the open fails and says why.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bin")));
    const QString copy = dir.filePath(QStringLiteral("bin/orvactl"));
    QVERIFY(QFile::copy(QStringLiteral(ORVACTL), copy));
    QProcess p;
    p.start(copy, {QStringLiteral("--device"), QStringLiteral("tcp://127.0.0.1:9"),
                   QStringLiteral("send"), QStringLiteral("C00")});
    QVERIFY(p.waitForFinished(20000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 3);
    QVERIFY2(err.contains(QLatin1String("network ports are not available")), qPrintable(err));
}

QTEST_GUILESS_MAIN(TstOrvactl)
#include "tst_orvactl.moc"

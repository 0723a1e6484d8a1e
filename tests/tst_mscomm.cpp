#include "common/ptyline.h"
#include "common/testenv.h"
#include "ports/comport.h"
#include "ports/mscomm.h"
#include "ports/portmap.h"
#include "ports/telnet.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <sys/wait.h>

using namespace Qt::Literals::StringLiterals;

class TstMSComm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void init() { TestEnv::clearStore(); }
    void settingsText_data();
    void settingsText();
    void portMap();
    void usbAdapterNumbers_data();
    void usbAdapterNumbers();
    void telnetStream_data();
    void telnetStream();
    void comPortSettings_data();
    void comPortSettings();
    void bytesBothWays();
    void openFailures_data();
    void openFailures();
    void secondOpenerIsRefused();
    void otherProgramsLocks_data();
    void otherProgramsLocks();
    void hangUpClosesThePort_data();
    void hangUpClosesThePort();
};

void TstMSComm::settingsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("baud");
    QTest::newRow("9600") << "9600,N,8,1" << true << 9600;
    QTest::newRow("19200") << "19200,N,8,1" << true << 19200;
    QTest::newRow("lower case parity") << "9600,n,8,1" << true << 9600;
    QTest::newRow("missing field") << "9600,N,8" << false << 0;
    QTest::newRow("letters for baud") << "fast,N,8,1" << false << 0;
    QTest::newRow("unknown parity") << "9600,X,8,1" << false << 0;
    QTest::newRow("nine data bits") << "9600,N,9,1" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
}

void TstMSComm::settingsText()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, baud);
    LineSettings line;
    QCOMPARE(LineSettings::parse(text, &line), ok);
    if (ok) {
        QCOMPARE(line.baud, baud);
        QVERIFY(line.parity == LineSettings::Parity::None);
        QCOMPARE(line.dataBits, 8);
        QVERIFY(line.stopBits == LineSettings::StopBits::One);
    }
}

void TstMSComm::portMap()
{
    QCOMPARE(PortMap::deviceForPort(1), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(PortMap::deviceForPort(15), QStringLiteral("/dev/ttyS14"));
    QCOMPARE(PortMap::deviceForPort(0), QString());
    QCOMPARE(PortMap::deviceForPort(-3), QString());
    TestEnv::seed({{"Ports/COM5", " /dev/ttyUSB0 "}});
    QCOMPARE(PortMap::deviceForPort(5), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(PortMap::deviceForPort(4), QStringLiteral("/dev/ttyS3"));
}

void TstMSComm::usbAdapterNumbers_data()
{
    // Adapters are links in the stand-in folder to files in "dev/"; an
    // entry "@name" is the link itself, "=name" the file it points to.
    QTest::addColumn<QStringList>("adapters");
    QTest::addColumn<QStringList>("entries");  // "COMn=value"
    QTest::addColumn<QStringList>("expected"); // "n=@link" / "n=/device"
    const QStringList two = {"usb-B_Serial-if00-port0", "usb-A_Serial-if00-port0"};
    QTest::newRow("none") << QStringList{} << QStringList{}
                          << QStringList{"1=/dev/ttyS0", "3=/dev/ttyS2", "15=/dev/ttyS14"};
    QTest::newRow("name order from COM3, on-board ports kept")
        << two << QStringList{}
        << QStringList{"1=/dev/ttyS0", "2=/dev/ttyS1", "3=@usb-A_Serial-if00-port0",
                       "4=@usb-B_Serial-if00-port0", "5=/dev/ttyS4"};
    QTest::newRow("numbers with an entry are skipped")
        << two << QStringList{"COM3=/dev/ttyUSB9", "COM5=tcp://h:1"}
        << QStringList{"3=/dev/ttyUSB9", "4=@usb-A_Serial-if00-port0", "5=tcp://h:1",
                       "6=@usb-B_Serial-if00-port0", "7=/dev/ttyS6"};
    QTest::newRow("adapter named by its link keeps that number only")
        << two << QStringList{"COM9=@usb-A_Serial-if00-port0"}
        << QStringList{"3=@usb-B_Serial-if00-port0", "4=/dev/ttyS3", "9=@usb-A_Serial-if00-port0"};
    QTest::newRow("adapter named by its device keeps that number only")
        << two << QStringList{"COM1==usb-B_Serial-if00-port0"}
        << QStringList{"1==usb-B_Serial-if00-port0", "3=@usb-A_Serial-if00-port0", "4=/dev/ttyS3"};
    QTest::newRow("byte order, not the locale's")
        << QStringList{"usb-b", "usb-B", "usb-a"} << QStringList{}
        << QStringList{"3=@usb-B", "4=@usb-a", "5=@usb-b"};
    QTest::newRow("no adapter beyond COM15")
        << QStringList{"usb-x"}
        << QStringList{"COM3=/a",  "COM4=/a",  "COM5=/a",  "COM6=/a",  "COM7=/a",
                       "COM8=/a",  "COM9=/a",  "COM10=/a", "COM11=/a", "COM12=/a",
                       "COM13=/a", "COM14=/a", "COM15=/a"}
        << QStringList{"15=/a", "16=/dev/ttyS15", "2=/dev/ttyS1"};
}

// Which device each number reaches when USB adapters are plugged in: the
// same adapters always give the same numbers, and an entry always wins.
void TstMSComm::usbAdapterNumbers()
{
    QFETCH(QStringList, adapters);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, expected);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("by-id") && QDir(root.path()).mkpath("dev"));
    const QString byId = root.filePath("by-id");
    auto resolve = [&](QString text) {
        if (text.startsWith('@'))
            return byId + '/' + text.mid(1);
        if (text.startsWith('='))
            return root.filePath("dev/") + text.mid(1);
        return text;
    };
    for (const QString &name : adapters) {
        QFile device(root.filePath("dev/") + name);
        QVERIFY(device.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(device.fileName(), byId + '/' + name));
    }
    QList<std::pair<QString, QString>> keys;
    for (const QString &entry : entries) {
        const qsizetype eq = entry.indexOf('=');
        keys.append({"Ports/" + entry.left(eq), resolve(entry.mid(eq + 1))});
    }
    TestEnv::seed(keys);
    qputenv("ORVA_SERIAL_BY_ID", QFile::encodeName(byId));
    for (const QString &want : expected) {
        const qsizetype eq = want.indexOf('=');
        const int port = want.left(eq).toInt();
        QCOMPARE(PortMap::deviceForPort(port), resolve(want.mid(eq + 1)));
    }
    qunsetenv("ORVA_SERIAL_BY_ID");
}

void TstMSComm::telnetStream_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("commands"); // "verb option [payload hex]"
    QTest::newRow("plain data") << QByteArrayList{"CR0\r\x06"_ba} << QByteArray("CR0\r\x06"_ba)
                                << QStringList{};
    QTest::newRow("escaped 0xFF") << QByteArrayList{"a\xff\xff"_ba
                                                    "b"}
                                  << QByteArray("a\xff"_ba
                                                "b")
                                  << QStringList{};
    QTest::newRow("option verbs between data")
        << QByteArrayList{"x\xff\xfd\x2cy\xff\xfe\x01z\xff\xfb\x00"_ba} << QByteArray("xyz")
        << QStringList{"253 44", "254 1", "251 0"};
    QTest::newRow("baud reply, split everywhere")
        << QByteArrayList{"\xff"_ba,     "\xfa"_ba,     "\x2c"_ba, "\x65\x00"_ba,
                          "\x00\x4b"_ba, "\x00\xff"_ba, "\xf0"_ba, "k"}
        << QByteArray("k") << QStringList{"250 44 6500004b00"};
    QTest::newRow("0xFF inside a subnegotiation")
        << QByteArrayList{"\xff\xfa\x2c\x65\x00\x00\xff\xff\xff\xf0"_ba} << QByteArray()
        << QStringList{"250 44 650000ff"};
    QTest::newRow("NOP and go-ahead dropped") << QByteArrayList{"a\xff\xf1"_ba
                                                                "b\xff\xf9"_ba}
                                              << QByteArray("ab") << QStringList{};
    QTest::newRow("broken subnegotiation end reads on")
        << QByteArrayList{"\xff\xfa\x2c\x6b\x00\xff\xfd\x03q"_ba} << QByteArray("q")
        << QStringList{"253 3"};
    QTest::newRow("endless subnegotiation is cut")
        << QByteArrayList{"\xff\xfa\x2c"_ba + QByteArray(100000, 'x'), "\xff\xf0ok"_ba}
        << QByteArray("ok") << QStringList{"250 44 " + QByteArray(64, 'x').toHex()};
}

// Received bytes split into the line's data and the server's commands,
// however the network cut them.
void TstMSComm::telnetStream()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArray, data);
    QFETCH(QStringList, commands);
    TelnetStream stream;
    QByteArray gotData;
    QStringList got;
    for (const QByteArray &chunk : chunks) {
        gotData += stream.feed(chunk, [&got](const TelnetStream::Command &c) {
            QString text = QStringLiteral("%1 %2").arg(c.verb).arg(c.option);
            if (c.verb == TelnetStream::SB)
                text += ' ' + QString::fromLatin1(c.payload.toHex());
            got << text;
        });
    }
    QCOMPARE(gotData, data);
    QCOMPARE(got, commands);
    // Sent data: every 0xFF doubled, nothing else touched.
    QCOMPARE(TelnetStream::escape("\xff"_ba
                                  "C00\r\xff\xff"_ba),
             QByteArray("\xff\xff"_ba
                        "C00\r\xff\xff\xff\xff"_ba));
}

// Each character is one byte on the line, in order, and each received byte
// comes back as one character with the same code.
void TstMSComm::comPortSettings_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QByteArray>("requests");    // hex
    QTest::addColumn<QByteArrayList>("answers"); // the server's payloads, hex
    QTest::addColumn<QString>("refusal");        // "-" while answers are missing
    const QByteArray at19200 = "fffa2c0100004b00fff0fffa2c0208fff0fffa2c0301fff0fffa2c0401fff0";
    const QString asked = "the server refused the line settings: asked for 19200 baud, 8 data "
                          "bits, no parity, 1 stop bit; it set ";
    QTest::newRow("agreed") << "19200,N,8,1" << at19200
                            << QByteArrayList{"6500004b00", "6608", "6701", "6801"} << "";
    QTest::newRow("even parity, 7 data bits, 1.5 stop bits")
        << "9600,E,7,1.5"
        << QByteArray("fffa2c0100002580fff0fffa2c0207fff0fffa2c0303fff0fffa2c0403fff0")
        << QByteArrayList{"6500002580", "6607", "6703", "6803"} << "";
    QTest::newRow("answers in any order, one cut short and ignored")
        << "19200,N,8,1" << at19200 << QByteArrayList{"6801", "650000", "6608", "6701"} << "-";
    QTest::newRow("server keeps another baud")
        << "19200,N,8,1" << at19200 << QByteArrayList{"6500002580", "6608", "6701", "6801"}
        << asked + "9600 baud, 8 data bits, no parity, 1 stop bit";
    QTest::newRow("server keeps another data size")
        << "19200,N,8,1" << at19200 << QByteArrayList{"6500004b00", "6607", "6701", "6801"}
        << asked + "19200 baud, 7 data bits, no parity, 1 stop bit";
    QTest::newRow("server keeps another parity")
        << "19200,N,8,1" << at19200 << QByteArrayList{"6500004b00", "6608", "6703", "6801"}
        << asked + "19200 baud, 8 data bits, even parity, 1 stop bit";
    QTest::newRow("server keeps another stop size, unknown parity")
        << "19200,N,8,1" << at19200 << QByteArrayList{"6500004b00", "6608", "6709", "6802"}
        << asked + "19200 baud, 8 data bits, parity code 9, 2 stop bits";
}

// The line settings a network port asks the server for, and what it makes
// of the server's answers.
void TstMSComm::comPortSettings()
{
    QFETCH(QString, settings);
    QFETCH(QByteArray, requests);
    QFETCH(QByteArrayList, answers);
    QFETCH(QString, refusal);
    LineSettings line;
    QVERIFY(LineSettings::parse(settings, &line));
    ComPortNegotiation negotiation;
    QCOMPARE(negotiation.request(line).toHex(), requests);
    for (const QByteArray &answer : answers)
        negotiation.take(QByteArray::fromHex(answer));
    QCOMPARE(negotiation.answered(), refusal != "-");
    if (refusal != "-")
        QCOMPARE(negotiation.refusal(), refusal);
}

void TstMSComm::bytesBothWays()
{
    PtyLine line;
    QVERIFY(line.isValid());
    line.mapAs(3);
    MSComm port;
    port.setSettings("9600,N,8,1");
    port.setCommPort(3);
    QVERIFY(!port.output("lost")); // closed: refused, nothing sent
    QVERIFY2(port.setPortOpen(true), qPrintable(port.openFailureText()));
    QVERIFY(port.portOpen());

    QString all;
    for (int code = 0; code < 256; ++code)
        all += QChar(char16_t(code));
    QVERIFY(port.output(all));
    const QByteArray sent = line.read(256);
    QCOMPARE(sent.size(), 256);
    for (int code = 0; code < 256; ++code)
        QCOMPARE(quint8(sent[code]), quint8(code));

    QSignalSpy events(&port, &MSComm::OnComm);
    line.write(QByteArray("\x06"
                          "00\r\xe9",
                          5));
    QTRY_VERIFY(events.count() >= 1);
    QCOMPARE(port.commEvent(), MSComm::comEvReceive);
    QString got = port.input();
    QTRY_VERIFY((got += port.input()).size() >= 5);
    QCOMPARE(got, QString::fromLatin1("\x06"
                                      "00\r\xe9",
                                      5));
    QCOMPARE(got.back().unicode(), char16_t(0xE9));
    QCOMPARE(port.input(), QString()); // read once, then gone

    QVERIFY(port.setPortOpen(false));
    QVERIFY(!port.portOpen());
    QVERIFY(port.setPortOpen(false)); // closing a closed port is harmless
}

void TstMSComm::openFailures_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("failure");
    QTest::newRow("no such device") << 9 << "9600,N,8,1" << int(MSComm::OpenFailure::NoDevice);
    QTest::newRow("port zero") << 0 << "9600,N,8,1" << int(MSComm::OpenFailure::BadPortNumber);
    QTest::newRow("negative port") << -1 << "9600,N,8,1" << int(MSComm::OpenFailure::BadPortNumber);
    QTest::newRow("bad settings") << 4 << "9600,Q,8,1" << int(MSComm::OpenFailure::BadSettings);
}

void TstMSComm::openFailures()
{
    QFETCH(int, port);
    QFETCH(QString, settings);
    QFETCH(int, failure);
    PtyLine line;
    line.mapAs(4);
    TestEnv::seed({{"Ports/COM4", line.slavePath()}, {"Ports/COM9", "/nonexistent/tty"}});
    MSComm comm;
    comm.setSettings(settings);
    comm.setCommPort(port);
    QVERIFY(!comm.setPortOpen(true));
    QVERIFY(!comm.portOpen());
    QCOMPARE(int(comm.openFailure()), failure);
    QVERIFY(!comm.openFailureText().isEmpty());
}

void TstMSComm::secondOpenerIsRefused()
{
    PtyLine line;
    line.mapAs(2);
    MSComm first;
    first.setCommPort(2);
    QVERIFY(first.setPortOpen(true));
    MSComm second;
    second.setCommPort(2);
    QVERIFY(!second.setPortOpen(true));
    QCOMPARE(second.openFailure(), MSComm::OpenFailure::InUse);
    first.setPortOpen(false);
    QVERIFY(second.setPortOpen(true)); // free again once the first lets go
}

void TstMSComm::otherProgramsLocks_data()
{
    // What another program holds: a lock file, an hour old, with its live pid
    // ("ascii" as minicom writes it, "binary"), with the pid of an ended program
    // ("dead") or empty; or flock on the device ("flock", as picocom takes it).
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QString>("lockName"); // after "LCK..", %1 the line's number
    QTest::addColumn<bool>("throughLink"); // the line is opened through a link
    QTest::addColumn<bool>("inUse");
    QTest::newRow("minicom's lock under the device's name") << "ascii"
                                                            << "pts_%1" << false << true;
    QTest::newRow("lock under the bare name") << "ascii"
                                              << "%1" << false << true;
    QTest::newRow("lock under a link's name") << "ascii"
                                              << "adapter" << false << true;
    QTest::newRow("old binary pid") << "binary"
                                    << "pts_%1" << false << true;
    QTest::newRow("device's lock, opened through a link") << "ascii"
                                                          << "pts_%1" << true << true;
    QTest::newRow("flock on the device") << "flock"
                                         << "" << false << true;
    QTest::newRow("lock of an ended program is stale") << "dead"
                                                       << "pts_%1" << false << false;
    QTest::newRow("ended, not yet reaped, is stale") << "zombie"
                                                     << "pts_%1" << false << false;
    QTest::newRow("empty lock is stale") << "empty"
                                         << "%1" << false << false;
    QTest::newRow("nothing held, opened through a link") << ""
                                                         << "" << true << false;
}

// Another program's hold is seen, and its lock file stays. While the line is
// open, ORVA holds a lock file in the classic form under each of the line's
// names, and flock on the device; after closing, neither.
void TstMSComm::otherProgramsLocks()
{
    QFETCH(QString, holder);
    QFETCH(QString, lockName);
    QFETCH(bool, throughLink);
    QFETCH(bool, inUse);
    if (!QFileInfo(QStringLiteral("/var/lock")).isWritable())
        QSKIP("this user may not write lock files in /var/lock");
    PtyLine line;
    const QString number = line.slavePath().section('/', -1);
    QTemporaryDir adapters; // stands in for /dev/serial/by-id
    qputenv("ORVA_SERIAL_BY_ID", QFile::encodeName(adapters.path()));
    // The line was opened once before its link came: the folder is read anew.
    QVERIFY(QFile::link("/dev/null", adapters.filePath("other")));
    MSComm before;
    before.setDevice(line.slavePath());
    QVERIFY(before.setPortOpen(true));
    before.setPortOpen(false);
    const QString link = adapters.filePath("adapter");
    QVERIFY(QFile::link(line.slavePath(), link));
    const QString lock = "/var/lock/LCK.." + QString(lockName).replace("%1", number);
    QProcess other;
    const auto cleanUp = qScopeGuard([&] {
        other.kill();
        other.waitForFinished();
        QFile::remove(lock);
        qunsetenv("ORVA_SERIAL_BY_ID");
    });
    const auto flockFree = [&] {
        return QProcess::execute("flock", {"-n", line.slavePath(), "true"}) == 0;
    };
    QByteArray written = "<unreadable>"; // the other's lock file: none
    pid_t zombie = 0;
    const auto reap = qScopeGuard([&] { zombie > 0 && ::waitpid(zombie, nullptr, 0); });
    if (holder == "zombie") {
        zombie = ::fork();
        if (zombie == 0)
            ::_exit(0);
        QTRY_VERIFY(QFile(QString("/proc/%1/stat").arg(zombie)).open(QIODevice::ReadOnly)
                    && TestEnv::fileBytes(QString("/proc/%1/stat").arg(zombie)).contains(") Z "));
        QVERIFY(TestEnv::writeFile(lock, QString::asprintf("%10d\n", zombie).toLatin1()));
    } else if (holder == "flock") {
        other.start("flock", {"--no-fork", line.slavePath(), "sleep", "60"});
        QTRY_VERIFY(!flockFree());
    } else if (!holder.isEmpty()) {
        other.start(holder == "dead" ? "true" : "sleep", {"60"});
        QVERIFY(other.waitForStarted());
        const qint32 pid = qint32(other.processId());
        QVERIFY(holder != "dead" || other.waitForFinished());
        written = holder == "binary"  ? QByteArray(reinterpret_cast<const char *>(&pid), 4)
                  : holder == "empty" ? QByteArray()
                                      : QString::asprintf("%10d\n", pid).toLatin1();
        QVERIFY(TestEnv::writeFile(lock, written));
        QCOMPARE(QProcess::execute("touch", {"-d", "1 hour ago", lock}), 0);
    }

    MSComm port;
    port.setDevice(throughLink ? link : line.slavePath());
    QCOMPARE(port.setPortOpen(true), !inUse);
    if (inUse) {
        QCOMPARE(port.openFailureText(), port.device() + " is in use by another program.");
        QCOMPARE(TestEnv::fileBytes(lock), written);
        return;
    }
    // The serial library names its lock file after what it opened: if that is
    // the link, the link's lock file is in the library's form, not this one.
    const QStringList names{"pts_" + number, number, "adapter", QString(link).replace('/', '_')};
    const QString mine = QString::asprintf("%10lld\n", QCoreApplication::applicationPid());
    for (const QString &name : names)
        QCOMPARE(name + ": " + TestEnv::fileBytes("/var/lock/LCK.." + name), name + ": " + mine);
    QVERIFY(!flockFree());
    port.setPortOpen(false);
    for (const QString &name : names)
        QVERIFY2(!QFile::exists("/var/lock/LCK.." + name), qPrintable(name));
    QVERIFY(flockFree());
}

void TstMSComm::hangUpClosesThePort_data()
{
    QTest::addColumn<QString>("node"); // "kept"/"removed": its node mounted elsewhere
    QTest::addColumn<QString>("reason");
    QTest::newRow("far end hangs up") << ""
                                      << "the far end hung up";
    QTest::newRow("far end hangs up, node stays") << "kept"
                                                  << "the far end hung up";
    QTest::newRow("device node goes") << "removed"
                                      << "the device went away";
}

// When the far end goes away the port closes itself, once, with a reason,
// instead of reporting the same error in a tight loop.
void TstMSComm::hangUpClosesThePort()
{
    QFETCH(QString, node);
    QFETCH(QString, reason);
    PtyLine line;
    QTemporaryDir folder;
    const QByteArray own = QFile::encodeName(folder.filePath("line"));
    const auto unmount = qScopeGuard([&] { ::umount2(own, MNT_DETACH); });
    if (!node.isEmpty()
        && (!TestEnv::writeFile(own, {})
            || ::mount(QFile::encodeName(line.slavePath()), own, nullptr, MS_BIND, nullptr) != 0))
        QSKIP("a device node cannot be mounted elsewhere here (root may)");
    MSComm port;
    port.setDevice(node.isEmpty() ? line.slavePath() : QFile::decodeName(own));
    QVERIFY(port.setPortOpen(true));
    QSignalSpy lost(&port, &MSComm::linkLost);
    int errors = 0;
    connect(port.findChild<QSerialPort *>(), &QSerialPort::errorOccurred, this,
            [&errors](QSerialPort::SerialPortError e) {
                if (e != QSerialPort::NoError)
                    ++errors;
            });
    if (node == "removed")
        QVERIFY(::umount2(own, MNT_DETACH) == 0); // as when an adapter is pulled
    line.hangUp();
    QTRY_VERIFY(!port.portOpen());
    QTest::qWait(100); // let any further error reports arrive
    QCOMPARE(lost.count(), 1);
    QCOMPARE(lost.at(0).at(0).toString(), reason);
    QVERIFY2(errors <= 5, qPrintable(QString::number(errors)));
    QVERIFY(!port.output("C00\r"));
    QCOMPARE(port.input(), QString());
}

QTEST_GUILESS_MAIN(TstMSComm)
#include "tst_mscomm.moc"

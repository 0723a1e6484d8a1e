// Projectors behind a serial device server: the real ser2net on loopback,
// bridged to a pseudo-terminal whose other end is the simulated projector.

#include "common/ptyline.h"
#include "common/testenv.h"
#include "facts/projector.h"
#include "panel/form1.h"
#include "portdialog/form2.h"
#include "sim/projector.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {

// A port number nothing listens on at the moment.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// ser2net serving |device| on a loopback port. |accepter| is the protocol
// part of its accepter: "tcp", "telnet(rfc2217),tcp" or "telnet,tcp";
// |option| one line of its options.
class Ser2Net
{
public:
    // |port| 0: one that is free.
    Ser2Net(const QString &device, const QString &accepter,
            const QString &option = QStringLiteral("kickolduser: true"), quint16 port = 0)
    {
        m_port = port ? port : freePort();
        QFile config(m_dir.filePath("ser2net.yaml"));
        if (!config.open(QIODevice::WriteOnly))
            return;
        // The line starts at 38400 baud, a speed ORVA never asks for, so that
        // a speed it chose shows on the line.
        config.write(QStringLiteral("connection: &projector\n"
                                    "  accepter: %1,127.0.0.1,%2\n"
                                    "  connector: serialdev,%3,38400n81,local\n"
                                    "  options:\n"
                                    "    %4\n")
                         .arg(accepter)
                         .arg(m_port)
                         .arg(device, option)
                         .toUtf8());
        config.close();
        const QString program =
            QStandardPaths::findExecutable("ser2net", {"/usr/sbin", "/usr/local/sbin", "/usr/bin"});
        if (program.isEmpty())
            return;
        m_process.setStandardOutputFile(m_dir.filePath("ser2net.log"));
        m_process.setStandardErrorFile(m_dir.filePath("ser2net.log"));
        m_process.start(program,
                        {"-n", "-d", "-c", config.fileName(), "-P", m_dir.filePath("ser2net.pid")});
        if (!m_process.waitForStarted(5000))
            return;
        // Ready once a connection is taken.
        for (int i = 0; i < 200 && !m_ready; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            m_ready = probe.waitForConnected(100);
            if (!m_ready)
                QTest::qWait(20);
        }
    }
    ~Ser2Net() { kill(); }

    bool isReady() const { return m_ready; }
    QString address(const char *scheme) const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(m_port);
    }
    void kill()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_ready = false;
};

// Counts the socket notifications the event loop hands out: a closed link
// must not keep it busy.
class SocketEventCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::SockAct || event->type() == QEvent::SockClose)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

// Closes any modal window while it lives (a port that failed to open at
// start-up shows the port dialog), so that a failure never blocks the test.
class ModalGuard
{
public:
    ModalGuard()
    {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this]() {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                ++closed;
                modal->close();
            }
        });
        m_poll.start();
    }
    int closed = 0;

private:
    QTimer m_poll;
};

// A server's answer to the line settings: it takes COM-PORT-CONTROL and
// reports each setting as it set it.
QByteArray comPortAnswer(quint32 baud, char data, char parity, char stop)
{
    const char speed[] = {char(baud >> 24), char(baud >> 16), char(baud >> 8), char(baud)};
    return "\xff\xfd\x2c\xff\xfa\x2c\x65" + QByteArray(speed, 4) + "\xff\xf0\xff\xfa\x2c\x66" + data
           + "\xff\xf0\xff\xfa\x2c\x67" + parity + "\xff\xf0\xff\xfa\x2c\x68" + stop + "\xff\xf0";
}

// How a network port is lost.
enum Cause { Restart, Busy, Telnet, Storm, ReadsNothing };

// A Telnet server of the test's own: it sends |answer| to the first bytes
// that come, and keeps all that comes.
struct FakeServer : QTcpServer {
    explicit FakeServer(const QByteArray &answer)
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, [this, answer]() {
            client = nextPendingConnection();
            connect(client, &QTcpSocket::readyRead, [this, answer]() {
                client->write(received.isEmpty() ? answer : QByteArray());
                received += client->readAll();
            });
        });
    }
    QString address() const { return "rfc2217://127.0.0.1:" + QString::number(serverPort()); }
    QPointer<QTcpSocket> client;
    QByteArray received;
};

} // namespace

class TstNetwork : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void init() { TestEnv::clearStore(); }

    void panelThroughServer_data();
    void panelThroughServer();
    void lineSettingsFollowTheProgram();
    void dropClosesOnce_data();
    void dropClosesOnce();
    void failureReasons_data();
    void failureReasons();
    void openWithoutWaiting_data();
    void openWithoutWaiting();
    void simulatorOnTcp();
    void lostAndBack_data();
    void lostAndBack();
    void venueAtOnce_data();
    void venueAtOnce();
    void watchVenue();
};

void TstNetwork::panelThroughServer_data()
{
    QTest::addColumn<QString>("accepter");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<int>("baudCode");
    QTest::addColumn<int>("speed"); // on the server's line
    QTest::newRow("raw TCP: the server keeps its speed") << "tcp"
                                                         << "tcp" << 96 << 38400;
    QTest::newRow("RFC 2217 at 9600") << "telnet(rfc2217),tcp"
                                      << "rfc2217" << 96 << 9600;
    QTest::newRow("RFC 2217 at 19200") << "telnet(rfc2217),tcp"
                                       << "rfc2217" << 192 << 19200;
}

// The panel's power on reaches the projector behind the server and the
// status query comes back decoded.
void TstNetwork::panelThroughServer()
{
    QFETCH(QString, accepter);
    QFETCH(QString, scheme);
    QFETCH(int, baudCode);
    QFETCH(int, speed);
    PtyLine line;
    QVERIFY(line.isValid());
    SimProjector projector;
    line.serve(&projector);
    Ser2Net server(line.slavePath(), accepter);
    QVERIFY(server.isReady());
    TestEnv::seed({{"StartUP/ComPort", "7"},
                   {"StartUP/BaudRate", QString::number(baudCode)},
                   {"Ports/COM7", server.address(scheme.toLatin1().constData())}});

    ModalGuard guard;
    Form1 form;
    form.Form_Load();
    QVERIFY2(form.MSComm1.portOpen(), qPrintable(form.MSComm1.openFailureText()));
    QCOMPARE(guard.closed, 0);
    form.show();
    QCOMPARE(line.speed(), speed);
    QTest::mouseClick(form.findChild<QPushButton *>("Command17"), Qt::LeftButton); // power on
    QTRY_VERIFY(projector.powerOn());
    QTest::mouseClick(form.findChild<QPushButton *>("Command44"), Qt::LeftButton); // status
    QTRY_COMPARE(form.Label25->text(), QStringLiteral(" Power ON"));
}

// A new baud rate reaches the server's line while the port is open, and a
// byte 0xFF passes both ways as itself.
void TstNetwork::lineSettingsFollowTheProgram()
{
    PtyLine line;
    Ser2Net server(line.slavePath(), "telnet(rfc2217),tcp");
    QVERIFY(server.isReady());
    MSComm port;
    port.setDevice(server.address("rfc2217"));
    port.setSettings(Projector::settingsFor(96));
    QVERIFY2(port.setPortOpen(true), qPrintable(port.openFailureText()));
    QCOMPARE(line.speed(), 9600);
    port.setSettings(Projector::settingsFor(192));
    QTRY_COMPARE(line.speed(), 19200);
    port.setSettings(Projector::settingsFor(96));
    QTRY_COMPARE(line.speed(), 9600);

    QVERIFY(port.output(QString::fromLatin1("\xff"
                                            "C00\r\xff",
                                            6)));
    QCOMPARE(line.read(6), QByteArray("\xff"
                                      "C00\r\xff",
                                      6));
    QSignalSpy events(&port, &MSComm::OnComm);
    line.write(QByteArray("\xff\xff"
                          "00\r",
                          5));
    QString got;
    QTRY_VERIFY((got += port.input()).size() >= 5);
    QCOMPARE(got, QString::fromLatin1("\xff\xff"
                                      "00\r",
                                      5));
}

void TstNetwork::dropClosesOnce_data()
{
    QTest::addColumn<QString>("accepter");
    QTest::addColumn<QString>("scheme");
    QTest::newRow("raw TCP") << "tcp"
                             << "tcp";
    QTest::newRow("RFC 2217") << "telnet(rfc2217),tcp"
                              << "rfc2217";
}

// When the server goes away the port closes once, as after a hang-up, and
// nothing keeps the event loop busy afterwards.
void TstNetwork::dropClosesOnce()
{
    QFETCH(QString, accepter);
    QFETCH(QString, scheme);
    PtyLine line;
    auto server = std::make_unique<Ser2Net>(line.slavePath(), accepter);
    QVERIFY(server->isReady());
    MSComm port;
    port.setDevice(server->address(scheme.toLatin1().constData()));
    QVERIFY2(port.setPortOpen(true), qPrintable(port.openFailureText()));
    QSignalSpy lost(&port, &MSComm::linkLost);
    server->kill();
    QTRY_VERIFY(!port.portOpen());
    SocketEventCounter counter;
    qApp->installEventFilter(&counter);
    QTest::qWait(200); // any further reports would arrive now
    qApp->removeEventFilter(&counter);
    QCOMPARE(lost.count(), 1);
    QVERIFY2(counter.count <= 5, qPrintable(QString::number(counter.count)));
    QVERIFY(!port.output("C00\r"));
    QCOMPARE(port.input(), QString());
    MSComm next; // the lost line is free for the next
    next.setDevice(server->address(scheme == "tcp" ? "rfc2217" : "tcp"));
    QVERIFY(!next.setPortOpen(true));
    QVERIFY2(next.openFailure() == MSComm::OpenFailure::ConnectionRefused,
             qPrintable(next.openFailureText()));
    // Closing again is harmless.
    QVERIFY(port.setPortOpen(false));
    QCOMPARE(lost.count(), 1);
}

void TstNetwork::failureReasons_data()
{
    QTest::addColumn<QString>("accepter"); // "" for no server at all, "fake" for the test's
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QByteArray>("answer"); // the fake server's to the line settings
    QTest::newRow("nothing listens") << ""
                                     << "tcp" << int(MSComm::OpenFailure::ConnectionRefused)
                                     << "connection refused" << QByteArray();
    QTest::newRow("raw server does not answer Telnet")
        << "tcp"
        << "rfc2217" << int(MSComm::OpenFailure::NoAnswer) << "no answer within 2 seconds"
        << QByteArray();
    QTest::newRow("Telnet server without line settings")
        << "telnet,tcp"
        << "rfc2217" << int(MSComm::OpenFailure::SettingsRefused) << "refused the line settings"
        << QByteArray();
    const QString fake = "fake";
    QTest::newRow("server takes the option but never answers the settings")
        << fake << "rfc2217" << int(MSComm::OpenFailure::NoAnswer) << "no answer within 2 seconds"
        << QByteArray("\xff\xfd\x2c");
    // What the server's answers are compared with is tested with the
    // negotiation itself; here a refusal keeps the port closed.
    QTest::newRow("server keeps another baud")
        << fake << "rfc2217" << int(MSComm::OpenFailure::SettingsRefused)
        << "the server refused the line settings: asked for 19200 baud, 8 data bits, no parity, 1 "
           "stop bit; it set 9600 baud, 8 data bits, no parity, 1 stop bit."
        << comPortAnswer(9600, 8, 1, 1);
}

// Why a network port did not open, as the dialog's detail line says it; the
// window is back within the opening time and nothing is stored.
void TstNetwork::failureReasons()
{
    QFETCH(QString, accepter);
    QFETCH(QString, scheme);
    QFETCH(int, failure);
    QFETCH(QString, detail);
    QFETCH(QByteArray, answer);
    PtyLine line;
    std::unique_ptr<Ser2Net> server;
    FakeServer fake(answer);
    QString address = QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(freePort());
    if (accepter == "fake") {
        address = fake.address();
    } else if (!accepter.isEmpty()) {
        server = std::make_unique<Ser2Net>(line.slavePath(), accepter);
        QVERIFY(server->isReady());
        address = server->address(scheme.toLatin1().constData());
    }
    TestEnv::seed({{"Ports/COM7", address}});

    Form1 form;
    form.session.ComPortNo = 7;
    form.Command33_Click();
    auto *dialog = qobject_cast<Form2 *>(form.portDialog.data());
    QVERIFY(dialog);
    QString info;
    TestEnv::whenModal([&info](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            info = box->informativeText();
        modal->close();
    });
    dialog->Command1->click();
    QVERIFY2(info.contains(detail), qPrintable("shown: \"" + info + "\"; expected: " + detail));
    QVERIFY(info.contains("COM7"));
    QCOMPARE(int(form.MSComm1.openFailure()), failure);
    QVERIFY(!form.MSComm1.portOpen());
    QCOMPARE(TestEnv::stored("StartUP/ComPort"), QStringLiteral("<absent>"));
}

void TstNetwork::openWithoutWaiting_data()
{
    // What the port reaches: ser2net's accepter, "silent" (a server that takes the
    // connection and never speaks), "none" (nothing listens), a device ("pty", a path).
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("heard"); // in order; "silent ...": a silent line's, first
    QTest::addColumn<QString>("then");      // right after the start: "close", "destroy" or ""
    QTest::addColumn<int>("failure");       // 0: none
    QTest::addColumn<QString>("detail");    // after the device's name
    using F = MSComm::OpenFailure;
    const QString rfc2217 = "telnet(rfc2217),tcp";
    const QStringList opened{"opened"}, failed{"openFailed"}, none;
    QTest::newRow("ser2net") << rfc2217 << opened << "" << 0 << "";
    QTest::newRow("ser2net is not held up by a silent server")
        << rfc2217 << QStringList{"opened", "silent openFailed"} << "" << 0 << "";
    QTest::newRow("nothing listens")
        << "none" << failed << "" << int(F::ConnectionRefused) << ": connection refused.";
    QTest::newRow("a server that never answers the line settings")
        << "silent" << failed << "" << int(F::NoAnswer) << ": no answer within 2 seconds.";
    QTest::newRow("closed while opening") << "silent" << none << "close" << 0 << "";
    QTest::newRow("destroyed while opening") << "silent" << none << "destroy" << 0 << "";
    const QStringList turn{"openFailed", "silent openFailed"};
    QTest::newRow("the endpoint another port opens")
        << "silent" << turn << "" << int(F::InUse) << " is in use by another program.";
    QTest::newRow("the same endpoint as raw TCP")
        << "silent, raw" << turn << "" << int(F::InUse) << " is in use by another program.";
    QTest::newRow("a local device") << "pty" << opened << "" << 0 << "";
    QTest::newRow("a missing local device")
        << "/nonexistent/tty" << failed << "" << int(F::NoDevice) << " does not exist.";
}

// Many ports open at once in one event loop: each start returns at once, and
// each port's own open ends it, in one signal, after the start has returned.
void TstNetwork::openWithoutWaiting()
{
    QFETCH(QString, server);
    QFETCH(QStringList, heard);
    QFETCH(QString, then);
    QFETCH(int, failure);
    QFETCH(QString, detail);
    PtyLine line;
    FakeServer silent{QByteArray()};
    std::unique_ptr<Ser2Net> ser2net;
    QString device = server == "pty"               ? line.slavePath()
                     : server == "silent"          ? silent.address()
                     : server.startsWith("silent") ? silent.address().replace("rfc2217", "tcp")
                                                   : server;
    if (server == "none")
        device = QStringLiteral("tcp://127.0.0.1:%1").arg(freePort());
    if (server.contains("tcp")) {
        ser2net = std::make_unique<Ser2Net>(line.slavePath(), server);
        QVERIFY(ser2net->isReady());
        device = ser2net->address("rfc2217");
    }
    QStringList got;
    auto record = [&got](MSComm *port, const QString &who) {
        QObject::connect(port, &MSComm::opened, [&got, who]() { got << who + "opened"; });
        QObject::connect(port, &MSComm::openFailed, [&got, who]() { got << who + "openFailed"; });
    };
    MSComm slow;
    slow.setDevice(silent.address());
    record(&slow, "silent ");
    if (heard.contains("silent openFailed")) {
        slow.startOpen();
        QTRY_VERIFY(!silent.received.isEmpty()); // it waits for the server now
    }
    const auto nextInUse = [&device]() { // another port waits while this one holds the line
        MSComm next;
        next.setDevice(device);
        next.startOpen();
        QCoreApplication::processEvents();
        return next.openFailure() == MSComm::OpenFailure::InUse;
    };
    auto port = std::make_unique<MSComm>();
    port->setDevice(device);
    record(port.get(), "");
    port->startOpen();
    QCOMPARE(got, QStringList());
    if (then.isEmpty()) {
        QTRY_COMPARE(got, heard);
        QCOMPARE(int(port->openFailure()), failure);
        QVERIFY2(!failure || port->openFailureText().contains(device + detail),
                 qPrintable(port->openFailureText()));
        // An open port is open for bytes; a failed one stays closed.
        QCOMPARE(port->output("C00\r"), failure == 0);
        if (!failure)
            QCOMPARE(line.read(4), QByteArray("C00\r"));
        QCOMPARE(nextInUse(), failure == 0);
        return;
    }
    // The server sees the connection end at once, and no signal follows.
    QTRY_VERIFY(silent.client);
    then == "close" ? void(port->setPortOpen(false)) : port.reset();
    QTRY_COMPARE(silent.client->state(), QAbstractSocket::UnconnectedState);
    QTest::qWait(MSComm::networkOpenMs + 200);
    QCOMPARE(got, heard);
    QVERIFY(!nextInUse());
}

// orva-sim --tcp stands in for a projector behind a raw server, reached
// through a device named by the caller.
void TstNetwork::simulatorOnTcp()
{
    QProcess sim;
    sim.start(QStringLiteral(ORVA_SIM), {"--tcp", "0"});
    QVERIFY(sim.waitForReadyRead(5000));
    const QString address = QString::fromLatin1(sim.readLine()).trimmed();
    QVERIFY2(address.startsWith("tcp://127.0.0.1:"), qPrintable(address));
    MSComm port;
    port.setDevice(address);
    QVERIFY2(port.setPortOpen(true), qPrintable(port.openFailureText()));
    QVERIFY(port.output("C00\rCR0\r"));
    QString got;
    QTRY_VERIFY((got += port.input()).size() >= 4);
    QCOMPARE(got, QStringLiteral("\x06"
                                 "00\r"));
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
}

void TstNetwork::lostAndBack_data()
{
    QTest::addColumn<QString>("accepter"); // ser2net's, before and after the loss
    QTest::addColumn<int>("cause");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("byItself"); // back on the same endpoint, reopened without COM
    const QString closed = "the server closed the connection";
    QTest::newRow("raw TCP: ser2net restarted") << "tcp" << int(Restart) << closed << false;
    QTest::newRow("RFC 2217: ser2net restarted")
        << "telnet(rfc2217),tcp" << int(Restart) << closed << false;
    QTest::newRow("raw TCP: ser2net restarted, reopened by itself")
        << "tcp" << int(Restart) << closed << true;
    QTest::newRow("RFC 2217: ser2net restarted, reopened by itself")
        << "telnet(rfc2217),tcp" << int(Restart) << closed << true;
    // Its "Port already in use" before the close is no reply.
    QTest::newRow("raw TCP: ser2net's one connection is taken")
        << "tcp" << int(Busy) << closed << false;
    QTest::newRow("a Telnet server opened as raw TCP")
        << "telnet(rfc2217),tcp" << int(Telnet) << "this endpoint speaks Telnet: use rfc2217://"
        << false;
    QTest::newRow("a Telnet option storm")
        << "telnet(rfc2217),tcp" << int(Storm)
        << "the server sent more than 100 Telnet option commands in a second" << false;
    QTest::newRow("a server that reads nothing")
        << "telnet(rfc2217),tcp" << int(ReadsNothing) << "the server takes no data" << false;
}

// A network port that was lost shows why on the "COM" button, as orvactl
// does; once COM, then OK opened it again, the button is as before.
void TstNetwork::lostAndBack()
{
    QFETCH(QString, accepter);
    QFETCH(int, cause);
    QFETCH(QString, reason);
    QFETCH(bool, byItself);
    PtyLine line;
    SimProjector projector;
    line.serve(&projector);
    auto server = std::make_unique<Ser2Net>(
        line.slavePath(), accepter, cause == Busy ? "max-connections: 1" : "kickolduser: true");
    QVERIFY(server->isReady());
    const char *scheme = accepter == "tcp" ? "tcp" : "rfc2217";
    FakeServer fake(comPortAnswer(9600, 8, 1, 1));
    const QString address =
        cause >= Storm ? fake.address() : server->address(cause == Telnet ? "tcp" : scheme);
    QTcpSocket holder; // holds the one connection once the projector answered it
    QByteArray heard;
    QTRY_VERIFY(cause != Busy || [&]() {
        if (holder.state() == QAbstractSocket::UnconnectedState) {
            holder.connectToHost(QHostAddress::LocalHost, QUrl(address).port());
            holder.write("CR0\r");
        }
        return (heard += holder.readAll()).endsWith('\r');
    }());
    if (cause == Busy || cause == Telnet) {
        QProcess orvactl;
        orvactl.start(ORVACTL, {"--device", address, "--json", "--timeout", "5000", "send", "CR0"});
        QTRY_VERIFY_WITH_TIMEOUT(orvactl.state() == QProcess::NotRunning, 30000);
        const QString text = orvactl.readAllStandardOutput() + orvactl.readAllStandardError();
        QVERIFY2(orvactl.exitCode() == 3 && text.contains("\"timedOut\":true") // no reply
                     && text.contains("\norvactl: the line was lost: " + reason + "\n"),
                 qPrintable(text));
    }

    TestEnv::seed({{"StartUP/ComPort", "7"}, {"StartUP/BaudRate", "96"}, {"Ports/COM7", address}});
    ModalGuard guard;
    Form1 form;
    form.Form_Load();
    QVERIFY(form.MSComm1.portOpen() && guard.closed == 0);
    QPushButton *com = form.findChild<QPushButton *>("Command33");
    const QColor marked(0xFF, 0x80, 0x80);
    if (cause == Restart)
        server->kill();
    for (int i = 0; cause == Storm && i < 30000; ++i) { // each asked twice, once a change
        fake.client->write(QByteArray(i % 2 ? "\xff\xfd\0\xff\xfd\0" : "\xff\xfe\0\xff\xfe\0", 6));
        // WILL and WONT: two this side asks with, then one for each change
        // but the first, which answers this side's own request.
        if (i == 9)
            QTRY_COMPARE(fake.received.count("\xff\xfb") + fake.received.count("\xff\xfc"), 2 + 9);
    }
    if (cause == ReadsNothing) // it takes a byte at a time: its buffers fill up
        fake.client->setReadBufferSize(1);
    for (int i = 0; cause == ReadsNothing && i < 4096 && form.MSComm1.portOpen(); ++i) {
        form.MSComm1.output(QString(16384, 'x'));
        QCoreApplication::processEvents();
    }
    QTRY_COMPARE(com->grab().toImage().pixelColor(5, 5), marked);
    QVERIFY2(com->toolTip().contains(reason), qPrintable(com->toolTip()));

    if (byItself) { // started again where it was
        const quint16 port = quint16(QUrl(address).port());
        server.reset();
        if (accepter != "tcp") { // first a server that never answers the negotiation
            QTcpServer silent;
            QVERIFY(silent.listen(QHostAddress::LocalHost, port));
            // Its try waits for the answers with the window's event loop
            // running: the window is not held up.
            QTRY_VERIFY_WITH_TIMEOUT(form.MSComm1.isOpening(), 10000);
        }
        server = std::make_unique<Ser2Net>(line.slavePath(), accepter,
                                           QStringLiteral("kickolduser: true"), port);
        QVERIFY(server->isReady());
        QTRY_VERIFY_WITH_TIMEOUT(form.MSComm1.portOpen(), 30000);
        QTRY_COMPARE(com->toolTip(), QStringLiteral("Port settings"));
        QVERIFY(com->grab().toImage().pixelColor(5, 5) != marked);
        form.engine.sendCommand(QStringLiteral("CR0\r"));
        QTRY_VERIFY(form.engine.replyBuffer().endsWith(QLatin1Char('\r')));
        return;
    }
    if (cause == Restart || cause == Busy) { // started again: nobody holds it
        server.reset();
        server = std::make_unique<Ser2Net>(line.slavePath(), accepter);
        QVERIFY(server->isReady());
    }
    TestEnv::seed({{"StartUP/ComPort", "7"}, {"Ports/COM7", server->address(scheme)}});
    form.Command33_Click();
    qobject_cast<Form2 *>(form.portDialog.data())->Command1->click();
    QVERIFY2(form.MSComm1.portOpen(), qPrintable(form.MSComm1.openFailureText()));
    QCOMPARE(com->toolTip(), QStringLiteral("Port settings"));
    QVERIFY(com->grab().toImage().pixelColor(5, 5) != marked);
}

QTEST_MAIN(TstNetwork)
#include "tst_network.moc"

// A process that prints |lines| lines (the simulator's lines or addresses).
QStringList started(QProcess &process, const QString &program, const QStringList &arguments,
                    int lines)
{
    process.start(program, arguments);
    QStringList printed;
    while (printed.size() < lines && process.waitForReadyRead(5000)) {
        while (process.canReadLine())
            printed.append(QString::fromUtf8(process.readLine()).trimmed());
    }
    return printed;
}

void TstNetwork::venueAtOnce_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("lastError"); // the last line of standard error

    const QString states = "Hall A: standby, input 1, lamp 1234 h, 24.0/24.5/24.0 °C\n"
                           "Hall B: on, input 3, lamp 1345 h, 35.0/41.5/38.0 °C\n"
                           "Room 101: standby, input 1, lamp 1234 h, 24.0/24.5/24.0 °C\n"
                           "Room 102: standby, input 1, lamp 1345 h, 24.0/24.5/24.0 °C\n"
                           "Gallery: standby, input 1, lamp 1234 h, 24.0/24.5/24.0 °C\n";
    QTest::newRow("all: a bad line is a port that failed")
        << QStringList{"--all", "status"} << 3
        << states
               + "Broken: port failed: \"COM99\" is not a port: COM numbers go from COM1 to "
                 "COM15\n"
                 "Mute: ?, input ?, lamp ? h, ?/?/? °C\n"
                 "Unplugged: port failed: /dev/serial/by-id/usb-Gone-if00-port0: the device does "
                 "not exist.\n"
        << "orvactl: 3 of 8 projectors failed: Broken (\"COM99\" is not a port: COM numbers go "
           "from COM1 to COM15); Mute (no answer to CR0, CR1, CR3, CR6); Unplugged "
           "(/dev/serial/by-id/usb-Gone-if00-port0: the device does not exist.)";
    QTest::newRow("venue order, whatever the order asked")
        << QStringList{"--projector", "gallery",  "--projector", "HALL B",
                       "--projector", "Room 102", "status"}
        << 0
        << "Hall B: on, input 3, lamp 1345 h, 35.0/41.5/38.0 °C\n"
           "Room 102: standby, input 1, lamp 1345 h, 24.0/24.5/24.0 °C\n"
           "Gallery: standby, input 1, lamp 1234 h, 24.0/24.5/24.0 °C\n"
        << "";
    QTest::newRow("a projector that does not answer")
        << QStringList{"--projector", "Mute", "--projector", "Room 101", "send", "CR1"} << 1
        << "Room 101: TxD: A 0 0 1 C R 1  [CR] \nRoom 101: RxD: 1  [CR] \n"
           "Room 101: Status: Input 1\nMute: TxD: C R 1  [CR] \nMute: RxD: X X X X \n"
        << "orvactl: 1 of 2 projectors failed: Mute (no answer to CR1)";
    QTest::newRow("an unknown name sends nothing")
        << QStringList{"--projector", "Hall A", "--projector", "Nowhere", "send", "C00"} << 2 << ""
        << "Try 'orvactl --help'.";
}

// orvactl across a venue that mixes lines: two pseudo-terminals of one
// simulator, a line shared by two addressed projectors, a projector behind
// ser2net, one that never answers and a line that cannot be used.
void TstNetwork::venueAtOnce()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, lastError);

    QProcess halls, shared, gallery;
    const auto stopAll = qScopeGuard([&]() {
        for (QProcess *sim : {&halls, &shared, &gallery}) {
            sim->terminate();
            sim->waitForFinished(5000);
        }
    });
    const QStringList hallLines = started(halls, ORVA_SIM, {"--count", "2"}, 2);
    const QStringList sharedLine = started(shared, ORVA_SIM, {"--ids", "001,002"}, 1);
    const QStringList galleryLine = started(gallery, ORVA_SIM, {}, 1);
    QCOMPARE(hallLines.size(), 2);
    QCOMPARE(sharedLine.size(), 1);
    QCOMPARE(galleryLine.size(), 1);
    Ser2Net server(galleryLine[0], "telnet(rfc2217),tcp");
    QVERIFY(server.isReady());
    PtyLine mute;

    // Hall B is on, on input 3. Each simulator counts its projectors' lamp
    // hours from 1234, 111 more for each.
    for (const char *command : {"C00", "C07"}) {
        QProcess setUp;
        setUp.start(ORVACTL, {"--device", hallLines[1], "send", command});
        QVERIFY(setUp.waitForFinished(10000));
        QCOMPARE(setUp.exitCode(), 0);
    }
    const QByteArray settings = "[StartUP]\r\nComPort=3\r\n; the rooms\r\n[Projectors]\r\n"
                                "Hall A="
                                + hallLines[0].toUtf8()
                                + "\r\n"
                                  "Hall B="
                                + hallLines[1].toUtf8()
                                + "\r\n"
                                  "Room 101="
                                + sharedLine[0].toUtf8()
                                + ", address=001\r\n"
                                  "Room 102 = "
                                + sharedLine[0].toUtf8()
                                + " , address=002\r\n"
                                  "Gallery="
                                + server.address("rfc2217").toUtf8()
                                + "\r\nBroken=COM99\r\nMute=" + mute.slavePath().toUtf8()
                                + "\r\nUnplugged=/dev/serial/by-id/usb-Gone-if00-port0\r\n";
    QVERIFY(TestEnv::writeFile(TestEnv::settingsFile(), settings));

    QProcess orvactl;
    orvactl.start(ORVACTL, arguments + QStringList{"--timeout", "500"});
    QVERIFY(orvactl.waitForFinished(20000));
    const QStringList errors =
        QString::fromUtf8(orvactl.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    // Line by line, so that a difference names its line.
    QCOMPARE(QString::fromUtf8(orvactl.readAllStandardOutput()).split('\n'), output.split('\n'));
    QCOMPARE(errors.isEmpty() ? QString() : errors.last(), lastError);
    QCOMPARE(orvactl.exitCode(), exitCode);
    if (exitCode == 2)
        QCOMPARE(mute.readAvailable(), QByteArray()); // nothing went out
    QCOMPARE(TestEnv::fileBytes(TestEnv::settingsFile()), settings);
}

// orvactl watch across a venue: a projector on a USB adapter's stable name,
// one behind ser2net and one that never answers. It reports a change of
// power that another orvactl made between its polls, the silent one, the
// adapter unplugged and plugged in again, and ser2net restarted; SIGTERM ends
// it with its metrics file and its log complete.
void TstNetwork::watchVenue()
{
    QTemporaryDir byId, files;
    const QString adapter = byId.filePath("usb-Sim_Projector-if00-port0");
    QProcess hall, gallery, watcher;
    const auto stopAll = qScopeGuard([&]() {
        for (QProcess *process : {&watcher, &hall, &gallery}) {
            process->kill();
            process->waitForFinished(5000);
        }
    });
    const auto plugIn = [&]() {
        const QStringList line = started(hall, ORVA_SIM, {}, 1);
        return line.size() == 1 && QFile::link(line[0], adapter);
    };
    QVERIFY(plugIn());
    const QStringList galleryLine = started(gallery, ORVA_SIM, {}, 1);
    QCOMPARE(galleryLine.size(), 1);
    auto server = std::make_unique<Ser2Net>(galleryLine[0], "telnet(rfc2217),tcp");
    QVERIFY(server->isReady());
    const quint16 serverPort = quint16(QUrl(server->address("rfc2217")).port());
    PtyLine mute;
    QVERIFY(TestEnv::writeFile(TestEnv::settingsFile(),
                               "[Projectors]\r\nHall=" + adapter.toUtf8()
                                   + "\r\nGallery=" + server->address("rfc2217").toUtf8()
                                   + "\r\nMute=" + mute.slavePath().toUtf8() + "\r\n"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ORVA_SERIAL_BY_ID", byId.path());
    watcher.setProcessEnvironment(environment);
    const QString log = files.filePath("watch.log"), metrics = files.filePath("watch.prom");
    watcher.start(ORVACTL, {"watch", "--interval", "1", "--timeout", "500", "--json", "--log", log,
                            "--metrics", metrics});

    // Reads the changes until one of |projector| from |from| to |to| comes.
    QStringList printed;
    QJsonObject last;
    const auto heard = [&](const char *projector, const char *kind, const QJsonValue &from,
                           const char *to) {
        for (QDeadlineTimer patience(30000); !patience.hasExpired();) {
            while (watcher.canReadLine()) {
                printed << QString::fromUtf8(watcher.readLine()).trimmed();
                last = QJsonDocument::fromJson(printed.last().toUtf8()).object();
                if (last["projector"] == projector && last["kind"] == kind && last["from"] == from
                    && last["to"] == to)
                    return true;
            }
            watcher.waitForReadyRead(1000);
        }
        printed << QStringLiteral("(none of %1: %2 -> %3)").arg(projector, kind, to);
        return false;
    };

    // What each one is at first, then what a command between two polls did.
    QVERIFY2(heard("Hall", "power", QJsonValue::Null, "standby"), qPrintable(printed.join('\n')));
    QVERIFY2(heard("Gallery", "power", QJsonValue::Null, "standby"),
             qPrintable(printed.join('\n')));
    QVERIFY2(heard("Mute", "silent", "answering", "silent"), qPrintable(printed.join('\n')));
    QProcess send;
    send.setProcessEnvironment(environment);
    // The watcher holds the line during its polls: another program gets it
    // between them.
    for (int i = 0; i < 100 && (i == 0 || send.exitCode() != 0); ++i) {
        QTest::qSleep(i == 0 ? 0 : 100);
        send.start(ORVACTL, {"--projector", "Hall", "send", "C00"});
        QVERIFY(send.waitForFinished(10000));
    }
    QVERIFY2(send.exitCode() == 0, send.readAllStandardError().constData());
    QVERIFY2(heard("Hall", "power", "standby", "on"), qPrintable(printed.join('\n')));

    // The adapter unplugged, then plugged in again with a new line.
    QVERIFY(QFile::remove(adapter));
    hall.terminate();
    QVERIFY(hall.waitForFinished(5000));
    QVERIFY2(heard("Hall", "link", "open", "lost"), qPrintable(printed.join('\n')));
    QVERIFY2(!last["reason"].toString().isEmpty(), qPrintable(printed.join('\n')));
    QVERIFY(plugIn());
    QVERIFY2(heard("Hall", "link", "lost", "open"), qPrintable(printed.join('\n')));

    // ser2net stops, then starts again on the same port.
    server.reset();
    QVERIFY2(heard("Gallery", "link", "open", "lost"), qPrintable(printed.join('\n')));
    server = std::make_unique<Ser2Net>(galleryLine[0], "telnet(rfc2217),tcp", "kickolduser: true",
                                       serverPort);
    QVERIFY(server->isReady());
    QVERIFY2(heard("Gallery", "link", "lost", "open"), qPrintable(printed.join('\n')));

    watcher.terminate();
    QVERIFY(watcher.waitForFinished(10000));
    QCOMPARE(watcher.exitStatus(), QProcess::NormalExit);
    QCOMPARE(watcher.exitCode(), 0);
    const QString stamp = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d";
    const QRegularExpression time("^" + stamp + "$");
    for (const QString &line : printed)
        QVERIFY2(time.match(QJsonDocument::fromJson(line.toUtf8())["time"].toString()).hasMatch(),
                 qPrintable(line));

    const QByteArray state = TestEnv::fileBytes(metrics);
    for (const char *answered : {"orva_projector_answered{projector=\"Hall\"} 1\n",
                                 "orva_projector_answered{projector=\"Mute\"} 0\n"})
        QVERIFY2(state.contains(answered), state.constData());
    QProcess promtool;
    promtool.setProcessChannelMode(QProcess::MergedChannels);
    promtool.setStandardInputFile(metrics);
    promtool.start("promtool", {"check", "metrics"});
    QVERIFY2(promtool.waitForFinished(30000), "promtool did not run: scripts/install-deps --test");
    QCOMPARE(QString::fromUtf8(promtool.readAll()), QString());
    QCOMPARE(promtool.exitCode(), 0);

    // Both directions with their times; the silent one was asked all it is
    // asked three times, then only its power.
    const QString written = QString::fromUtf8(TestEnv::fileBytes(log));
    for (const QString &line :
         {"^" + stamp + "\\tHall\\tsent\\t[^\\t]+\\t43 52 30 0D$",
          "^" + stamp + "\\tHall\\treceived\\t[^\\t]+\\t([0-9A-F]{2} )*0D$",
          "^" + stamp + "\\tHall\\treconnect\\t" + QRegularExpression::escape(adapter) + "\\t$"})
        QVERIFY2(
            QRegularExpression(line, QRegularExpression::MultilineOption).match(written).hasMatch(),
            qPrintable(line + "\n" + written.right(3000)));
    QCOMPARE(written.count(QRegularExpression("\\tMute\\tsent\\t[^\\t]+\\t43 52 36 0D\\n")), 3);
}

// Projectors behind a serial device server: the real ser2net on loopback,
// bridged to a pseudo-terminal whose other end is the simulated projector.

#include "form1.h"
#include "form2.h"
#include "projector.h"
#include "ptyline.h"
#include "testenv.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
// part of its accepter: "tcp", "telnet(rfc2217),tcp" or "telnet,tcp".
class Ser2Net
{
public:
    Ser2Net(const QString &device, const QString &accepter)
    {
        m_port = freePort();
        QFile config(m_dir.filePath("ser2net.yaml"));
        if (!config.open(QIODevice::WriteOnly))
            return;
        // The line starts at 38400 baud, a speed ORVA never asks for, so that
        // a speed it chose shows on the line.
        config.write(QStringLiteral("connection: &projector\n"
                                    "  accepter: %1,127.0.0.1,%2\n"
                                    "  connector: serialdev,%3,38400n81,local\n"
                                    "  options:\n"
                                    "    kickolduser: true\n")
                         .arg(accepter)
                         .arg(m_port)
                         .arg(device)
                         .toUtf8());
        config.close();
        const QString program = QStandardPaths::findExecutable(
            "ser2net", {"/usr/sbin", "/usr/local/sbin", "/usr/bin"});
        if (program.isEmpty())
            return;
        m_process.setStandardOutputFile(m_dir.filePath("ser2net.log"));
        m_process.setStandardErrorFile(m_dir.filePath("ser2net.log"));
        m_process.start(program, {"-n", "-d", "-c", config.fileName(), "-P",
                                  m_dir.filePath("ser2net.pid")});
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
    void simulatorOnTcp();
};

void TstNetwork::panelThroughServer_data()
{
    QTest::addColumn<QString>("accepter");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<int>("baudCode");
    QTest::addColumn<int>("speed"); // on the server's line
    QTest::newRow("raw TCP: the server keeps its speed") << "tcp" << "tcp" << 96 << 38400;
    QTest::newRow("RFC 2217 at 9600") << "telnet(rfc2217),tcp" << "rfc2217" << 96 << 9600;
    QTest::newRow("RFC 2217 at 19200") << "telnet(rfc2217),tcp" << "rfc2217" << 192 << 19200;
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
    port.setSettings(MSComm::settingsFor(96));
    QVERIFY2(port.setPortOpen(true), qPrintable(port.openFailureText()));
    QCOMPARE(line.speed(), 9600);
    port.setSettings(MSComm::settingsFor(192));
    QTRY_COMPARE(line.speed(), 19200);
    port.setSettings(MSComm::settingsFor(96));
    QTRY_COMPARE(line.speed(), 9600);

    QVERIFY(port.output(QString::fromLatin1("\xff" "C00\r\xff", 6)));
    QCOMPARE(line.read(6), QByteArray("\xff" "C00\r\xff", 6));
    QSignalSpy events(&port, &MSComm::OnComm);
    line.write(QByteArray("\xff\xff" "00\r", 5));
    QString got;
    QTRY_VERIFY((got += port.input()).size() >= 5);
    QCOMPARE(got, QString::fromLatin1("\xff\xff" "00\r", 5));
}

void TstNetwork::dropClosesOnce_data()
{
    QTest::addColumn<QString>("accepter");
    QTest::addColumn<QString>("scheme");
    QTest::newRow("raw TCP") << "tcp" << "tcp";
    QTest::newRow("RFC 2217") << "telnet(rfc2217),tcp" << "rfc2217";
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
    // Closing again is harmless.
    QVERIFY(port.setPortOpen(false));
    QCOMPARE(lost.count(), 1);
}

void TstNetwork::failureReasons_data()
{
    QTest::addColumn<QString>("accepter"); // "" for no server at all
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("detail");
    QTest::newRow("nothing listens") << "" << "tcp" << int(MSComm::OpenFailure::ConnectionRefused)
                                     << "connection refused";
    QTest::newRow("raw server does not answer Telnet")
        << "tcp" << "rfc2217" << int(MSComm::OpenFailure::NoAnswer) << "no answer within 2 seconds";
    QTest::newRow("Telnet server without line settings")
        << "telnet,tcp" << "rfc2217" << int(MSComm::OpenFailure::SettingsRefused)
        << "refused the line settings";
}

// Why a network port did not open, as the dialog's detail line says it; the
// window is back within the opening time and nothing is stored.
void TstNetwork::failureReasons()
{
    QFETCH(QString, accepter);
    QFETCH(QString, scheme);
    QFETCH(int, failure);
    QFETCH(QString, detail);
    PtyLine line;
    std::unique_ptr<Ser2Net> server;
    QString address = QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(freePort());
    if (!accepter.isEmpty()) {
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
    QVERIFY2(info.contains(detail), qPrintable(info));
    QVERIFY(info.contains("COM7"));
    QCOMPARE(int(form.MSComm1.openFailure()), failure);
    QVERIFY(!form.MSComm1.portOpen());
    QCOMPARE(TestEnv::stored("StartUP/ComPort"), QStringLiteral("<absent>"));
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
    QCOMPARE(got, QStringLiteral("\x06" "00\r"));
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
}

QTEST_MAIN(TstNetwork)
#include "tst_network.moc"

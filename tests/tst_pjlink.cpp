// The PJLink bridge on raw sockets: what a client receives for well-formed
// and hostile input, and what reaches the projector's line (orva-sim).
#include "pjlink/bridge.h"
#include "projectors/venue.h"
#include "projectors/watcher.h"
#include "protocol/linelog.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "common/testenv.h"

class TstPJLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void request_data();
    void request();
    void connectionLimit();

private:
    QProcess m_sim;
    QTemporaryDir m_dir;
    quint16 m_open = 0;   // no password
    quint16 m_locked = 0; // password "JBMIAProjectorLink"
    std::unique_ptr<Watcher> m_watcher;
    std::unique_ptr<PJLinkBridge> m_bridge;
};

static quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

void TstPJLink::initTestCase()
{
    m_sim.start(QStringLiteral(ORVA_SIM), {"--count", "2", "--tcp", "0"});
    QByteArray printed;
    QTRY_VERIFY((printed += m_sim.readAllStandardOutput()).count('\n') == 2);
    const QList<QByteArray> lines = printed.trimmed().split('\n');
    m_open = freePort();
    m_locked = freePort();
    QVERIFY(m_open && m_locked && m_open != m_locked);
    const QByteArray venue = "[Projectors]\nOpen=" + lines[0]
                             + ", pjlink=" + QByteArray::number(m_open) + "\nLocked=" + lines[1]
                             + ", pjlink=" + QByteArray::number(m_locked)
                             + ", pjlink-password=JBMIAProjectorLink\n";
    m_watcher = std::make_unique<Watcher>(Venue::parse(venue), Watcher::Options{});
    PJLinkBridge::Options o;
    o.idleMs = 500;
    m_bridge = std::make_unique<PJLinkBridge>(*m_watcher, o);
    QString why;
    QVERIFY2(m_bridge->start(&why), qPrintable(why));
    // Over a minute, "Open" is polled at once and "Locked" after half of it.
    m_watcher->start();
    QTRY_VERIFY(m_watcher->watched()[0].answeredLast);
}

void TstPJLink::cleanupTestCase()
{
    m_bridge.reset();
    m_watcher.reset();
    m_sim.terminate();
    m_sim.waitForFinished(5000);
}

void TstPJLink::request_data()
{
    // Chunks are sent |pauseMs| apart; DIGEST stands for the right digest.
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<QByteArray>("answers"); // after the greeting
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QByteArray>("line"); // what reached the projector
    const QByteArray longLine = "%1NAME ?" + QByteArray(128, ' ') + "\r"; // 137 bytes
    auto row = [](const char *name, bool locked, const QByteArrayList &chunks, int pauseMs,
                  const char *answers, bool closed, const char *line) {
        QTest::newRow(name) << locked << chunks << pauseMs << QByteArray(answers) << closed
                            << QByteArray(line);
    };
    row("fixed answers and fresh state, CR or CR LF", false,
        {"%1POWR ?\r%1CLSS ?\r%1INF1 ?\r\n%1NAME ?\r\n"}, 0,
        "%1POWR=0\r%1CLSS=1\r%1INF1=ORVA\r%1NAME=Open\r", false, "");
    row("input and mute mapped", false, {"%1INPT 51\r%1INPT ?\r%1AVMT 11\r"}, 0,
        "%1INPT=OK\r%1INPT=51\r%1AVMT=OK\r", false, "C08\rCR1\rC0D\r");
    row("after a command, the projector is asked", false, {"%1POWR ?\r%1LAMP ?\r%1ERST ?\r"}, 0,
        "%1POWR=0\r%1LAMP=1234 0\r%1ERST=000000\r", false, "CR0\rCR3\rCR0\rCR0\r");
    row("what has no equivalent", false, {"%1AVMT ?\r%1AVMT 21\r%1INPT 52\r%1POWR 2\r"}, 0,
        "%1AVMT=ERR1\r%1AVMT=ERR2\r%1INPT=ERR2\r%1POWR=ERR2\r", false, "");
    row("parameters never pass through", false, {"%1POWR C00\r%1POWR 1 \r%1POWR ?C01\r"}, 0,
        "%1POWR=ERR2\r%1POWR=ERR2\r%1POWR=ERR2\r", false, "");
    row("wrong class, unknown command", false, {"%2POWR ?\r%1ABCD ?\r%1powr ?\r"}, 0,
        "%2POWR=ERR1\r%1ABCD=ERR1\r%1powr=ERR1\r", false, "");
    row("no request at all", false, {"CR0\r%1POWR ?\r"}, 0, "", true, "");
    row("over-long line", false, {longLine}, 0, "", true, "");
    row("136 bytes is a line", false, {longLine.sliced(0, 135) + "\r"}, 0, "%1NAME=ERR2\r", false,
        "");
    row("no CR within the idle time", false, {"%1CLSS ?"}, 0, "", true, "");
    row("slow drip within the idle time", false, {"%1CL", "SS", " ?", "\r"}, 100, "%1CLSS=1\r",
        false, "");
    row("slow drip beyond it", false, {"%1", "C", "L", "S", "S", " ", "?", "\r"}, 150, "", true,
        "");
    row("good digest, then none", true, {"DIGEST%1CLSS ?\r%1POWR ?\r"}, 0, "%1CLSS=1\r%1POWR=0\r",
        false, "CR0\r");
    row("wrong digest", true, {QByteArray(32, 'f') + "%1POWR 1\r"}, 0, "PJLINK ERRA\r", true, "");
    row("no digest", true, {"%1POWR 1\r"}, 0, "PJLINK ERRA\r", true, "");
}

void TstPJLink::request()
{
    QFETCH(bool, locked);
    QFETCH(QByteArrayList, chunks);
    QFETCH(int, pauseMs);
    QFETCH(QByteArray, answers);
    QFETCH(bool, closed);
    QFETCH(QByteArray, line);
    LineLog log(m_dir.filePath(QTest::currentDataTag()));
    m_watcher->setLog(&log);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, locked ? m_locked : m_open);
    QByteArray got;
    QTRY_VERIFY((got += client.readAll()).endsWith('\r'));
    const QRegularExpressionMatch greeting =
        QRegularExpression(locked ? "^PJLINK 1 ([0-9a-f]{8})\r$" : "^PJLINK 0\r$").match(got);
    QVERIFY2(greeting.hasMatch(), got.constData());
    const QByteArray digest =
        QCryptographicHash::hash(greeting.captured(1).toLatin1() + "JBMIAProjectorLink",
                                 QCryptographicHash::Md5)
            .toHex();
    for (QByteArray chunk : chunks) {
        client.write(chunk.replace("DIGEST", digest));
        QTest::qWait(pauseMs);
    }
    got.clear();
    QTRY_COMPARE((got += client.readAll()), answers);
    if (closed)
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    else
        QCOMPARE(client.state(), QAbstractSocket::ConnectedState);
    m_watcher->setLog(nullptr);
    QByteArray sent;
    for (const QString &entry : QString::fromUtf8(TestEnv::fileBytes(log.path())).split('\n')) {
        const QStringList fields = entry.split('\t');
        if (fields.size() == 5 && fields[2] == "sent")
            sent += QByteArray::fromHex(fields[4].toLatin1());
    }
    QCOMPARE(sent, line);
}

// Four connections at once; a fifth is closed unanswered until one ends.
void TstPJLink::connectionLimit()
{
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    const auto greeted = [&]() {
        clients.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket &client = *clients.back();
        client.connectToHost(QHostAddress::LocalHost, m_open);
        QByteArray got;
        (void)QTest::qWaitFor([&]() {
            return (got += client.readAll()).endsWith('\r')
                   || client.state() == QAbstractSocket::UnconnectedState;
        });
        return got == "PJLINK 0\r";
    };
    for (int i = 0; i < 4; ++i)
        QVERIFY(greeted());
    QVERIFY(!greeted());
    clients[0]->disconnectFromHost();
    bool again = false;
    for (int tries = 0; tries < 50 && !again; ++tries)
        again = greeted();
    QVERIFY2(again, "a connection that ended still counts");
}

QTEST_GUILESS_MAIN(TstPJLink)
#include "tst_pjlink.moc"

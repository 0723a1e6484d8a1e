#include "sim/projector.h"
#include "sim/tcpline.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

class TstSim : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void framesSplitAnywhere();
    void tcpClientStartsClean_data();
    void tcpClientStartsClean();
    void sharedLine_data();
    void sharedLine();
    void servesMany_data();
    void servesMany();
};

void TstSim::answers_data()
{
    QTest::addColumn<QByteArrayList>("frames");
    QTest::addColumn<QByteArray>("lastAnswer");
    QTest::newRow("standby status") << QByteArrayList{"CR0"} << QByteArray("80\r");
    QTest::newRow("power on acknowledged") << QByteArrayList{"C00"} << QByteArray("\x06");
    QTest::newRow("status after power on") << QByteArrayList{"C00", "CR0"} << QByteArray("00\r");
    QTest::newRow("input select") << QByteArrayList{"C07", "CR1"} << QByteArray("3\r");
    QTest::newRow("lamp hours, five digits") << QByteArrayList{"CR3"} << QByteArray("01234\r");
    QTest::newRow("temperatures, 17 characters")
        << QByteArrayList{"CR6"} << QByteArray("024.0 024.5 024.0\r");
    QTest::newRow("own address") << QByteArrayList{"A001CR0"} << QByteArray("80\r");
    QTest::newRow("other address is silent") << QByteArrayList{"A002CR0"} << QByteArray();
    QTest::newRow("all acts, silently") << QByteArrayList{"AFFFC00", "CR0"} << QByteArray("00\r");
    QTest::newRow("lamp mode half")
        << QByteArrayList{"CF LAMPMODE HALF", "CR LAMPMODE"} << QByteArray("000 ECO\r");
    QTest::newRow("unknown read") << QByteArrayList{"CR NOSUCH"} << QByteArray("?\r");
    QTest::newRow("garbage") << QByteArrayList{"\x01\xff zz"} << QByteArray("?\r");
    QTest::newRow("bare CR") << QByteArrayList{""} << QByteArray("?\r");
}

void TstSim::answers()
{
    QFETCH(QByteArrayList, frames);
    QFETCH(QByteArray, lastAnswer);
    SimProjector projector;
    QByteArray answer;
    for (const QByteArray &frame : frames)
        answer = projector.feed(frame + '\r');
    QCOMPARE(answer, lastAnswer);
}

void TstSim::framesSplitAnywhere()
{
    const QByteArray stream = "C00\rCR0\rA001CR1\r";
    for (int cut = 0; cut <= stream.size(); ++cut) {
        SimProjector projector;
        QByteArray out = projector.feed(stream.left(cut));
        out += projector.feed(stream.mid(cut));
        QCOMPARE(out, QByteArray("\x06"
                                 "00\r1\r"));
    }
    // A flood without CR is bounded and the next command still works.
    SimProjector projector;
    QCOMPARE(projector.feed(QByteArray(100000, 'x')), QByteArray());
    QCOMPARE(projector.feed("\rCR0\r"), QByteArray("?\r80\r"));
}

void TstSim::tcpClientStartsClean_data()
{
    QTest::addColumn<QByteArray>("left"); // what the previous client left unfinished
    QTest::addColumn<bool>("hungUp");     // it hung up, else the new client takes over
    QTest::newRow("a raw client's partial command") << QByteArray("CR") << true;
    QTest::newRow("an rfc2217 client's negotiation")
        << QByteArray("\xff\xfb\x2c\xff\xfd\x03\xff\xfa\x2c\x01") << false;
}

// On TCP, each client starts clean; the projector stays as the last one
// left it.
void TstSim::tcpClientStartsClean()
{
    QFETCH(QByteArray, left);
    QFETCH(bool, hungUp);
    SimProjector projector;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    serveTcpClients(server, projector);
    QTcpSocket first, second;
    first.connectToHost(QHostAddress::LocalHost, server.serverPort());
    first.write("C00\r" + left);
    QTRY_COMPARE(first.bytesAvailable(), qint64(1)); // the ACK: all of it was read
    if (hungUp)
        first.disconnectFromHost();
    second.connectToHost(QHostAddress::LocalHost, server.serverPort());
    second.write("CR0\r");
    QTRY_VERIFY(second.peek(8).endsWith('\r'));
    QCOMPARE(second.readAll(), QByteArray("00\r"));
}

void TstSim::sharedLine_data()
{
    QTest::addColumn<int>("line"); // which of several lines
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<int>("warmMs");
    QTest::addColumn<int>("coolMs");
    QTest::addColumn<QByteArray>("written"); // "|": a pause longer than warm-up and cool-down
    QTest::addColumn<QByteArray>("answered");
    const QStringList four{"001", "002", "003", "004"};
    QTest::newRow("each address answers alone, with its own lamp hours")
        << 0 << four << 0 << 0 << QByteArray("A001CR3\rA003CR3\rA005CR3\r")
        << QByteArray("01234\r01456\r");
    QTest::newRow("the second line counts on")
        << 1 << four << 0 << 0 << QByteArray("A001CR3\rA004CR3\r") << QByteArray("01678\r02011\r");
    QTest::newRow("without an address only the first acts and answers")
        << 0 << four << 0 << 0 << QByteArray("C00\rA001CR0\rA002CR0\r")
        << QByteArray("\x06"
                      "00\r80\r");
    QTest::newRow("each keeps its own power")
        << 0 << four << 0 << 0 << QByteArray("A003C00\rA002CR0\rA003CR0\r")
        << QByteArray("\x06"
                      "80\r00\r");
    QTest::newRow("all act on AFFF, none answers")
        << 0 << four << 0 << 0 << QByteArray("AFFFC00\rA002CR0\rA004CR0\r")
        << QByteArray("00\r00\r");
    QTest::newRow("power on counts down first")
        << 0 << QStringList{"001"} << 600000 << 0 << QByteArray("C00\rCR0\rCR LAMPSTS\r")
        << QByteArray("\x06"
                      "40\r000 1I\r");
    QTest::newRow("power off cools down first")
        << 0 << QStringList{"001"} << 0 << 600000 << QByteArray("C00\rC01\rCR0\rC01\rCR0\r")
        << QByteArray("\x06\x06"
                      "20\r\x06"
                      "20\r");
    QTest::newRow("count down and cool down end")
        << 0 << QStringList{"001"} << 1 << 1 << QByteArray("C00\r|CR0\rC01\r|CR0\r")
        << QByteArray("\x06"
                      "00\r\x06"
                      "80\r");
    QTest::newRow("power off while counting down")
        << 0 << QStringList{"001"} << 600000 << 600000 << QByteArray("C00\rC01\rCR0\r")
        << QByteArray("\x06\x06"
                      "20\r");
}

void TstSim::sharedLine()
{
    QFETCH(int, line);
    QFETCH(QStringList, ids);
    QFETCH(int, warmMs);
    QFETCH(int, coolMs);
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, answered);
    SimLine projectors(line, ids, warmMs, coolMs);
    QByteArray out;
    for (const QByteArray &part : written.split('|')) {
        if (!out.isEmpty())
            QTest::qWait(20);
        out += projectors.feed(part);
    }
    QCOMPARE(out, answered);
}

void TstSim::servesMany_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QByteArrayList>("answered"); // on each line printed, in order
    QTest::newRow("three TCP ports")
        << QStringList{"--count", "3", "--tcp", "0"} << QByteArray("CR3\r")
        << QByteArrayList{"01234\r", "01345\r", "01456\r"};
    QTest::newRow("two pseudo-terminals of four projectors")
        << QStringList{"--count", "2", "--ids", "001,002,003,004"} << QByteArray("A004CR3\r")
        << QByteArrayList{"01567\r", "02011\r"};
    QTest::newRow("one line counts down")
        << QStringList{"--warm-ms", "600000"} << QByteArray("C00\rCR0\r")
        << QByteArrayList{"\x06"
                          "40\r"};
}

// The real program, asked on every line it prints.
void TstSim::servesMany()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, written);
    QFETCH(QByteArrayList, answered);
    QProcess sim;
    sim.start(QStringLiteral(ORVA_SIM), args);
    QList<QByteArray> printed;
    while (printed.size() < answered.size()) {
        QVERIFY2(sim.canReadLine() || sim.waitForReadyRead(10000), sim.readAllStandardError());
        while (sim.canReadLine())
            printed << sim.readLine().trimmed();
    }
    for (qsizetype i = 0; i < printed.size(); ++i) {
        QByteArray got;
        QDeadlineTimer guard(10000);
        if (printed[i].startsWith("tcp://")) {
            const QUrl url(QString::fromLatin1(printed[i]));
            QTcpSocket client;
            client.connectToHost(url.host(), quint16(url.port()));
            client.write(written);
            while (got.size() < answered[i].size() && client.waitForReadyRead(10000))
                got += client.readAll();
        } else {
            const int fd = ::open(printed[i].constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            QVERIFY2(fd >= 0, printed[i]);
            QCOMPARE(::write(fd, written.constData(), size_t(written.size())), written.size());
            pollfd p{fd, POLLIN, 0};
            char buffer[64];
            while (got.size() < answered[i].size() && !guard.hasExpired()
                   && ::poll(&p, 1, 100) >= 0)
                got += QByteArray(buffer, qMax<ssize_t>(0, ::read(fd, buffer, sizeof buffer)));
            ::close(fd);
        }
        QCOMPARE(got, answered[i]);
    }
    sim.terminate();
    QVERIFY(sim.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TstSim)
#include "tst_sim.moc"

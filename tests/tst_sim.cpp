#include "sim/projector.h"
#include "sim/tcpline.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

#include <fcntl.h>
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
    QTest::addColumn<int>("powerMs");        // warm-up and cool-down
    QTest::addColumn<QByteArray>("written"); // "|": a pause longer than those
    QTest::addColumn<QByteArray>("answered");
    const QStringList four{"001", "002", "003", "004"}, one{"001"};
    const QByteArray ack("\x06");
    const int never = 600000;
    auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };
    row("each address answers alone, with its own lamp hours")
        << 0 << four << 0 << QByteArray("A001CR3\rA003CR3\rA005CR3\r")
        << QByteArray("01234\r01456\r");
    row("the second line counts on")
        << 1 << four << 0 << QByteArray("A001CR3\rA004CR3\r") << QByteArray("01678\r02011\r");
    row("without an address only the first acts and answers")
        << 0 << four << 0 << QByteArray("C00\rA001CR0\rA002CR0\r") << ack + "00\r80\r";
    row("each keeps its own power")
        << 0 << four << 0 << QByteArray("A003C00\rA002CR0\rA003CR0\r") << ack + "80\r00\r";
    row("all act on AFFF, none answers")
        << 0 << four << 0 << QByteArray("AFFFC00\rA002CR0\rA004CR0\r") << QByteArray("00\r00\r");
    row("power on counts down, lamp lit")
        << 0 << one << never << QByteArray("C00\rCR0\rCR LAMPSTS\r") << ack + "40\r000 1I\r";
    row("power off cools down") << 0 << one << never << QByteArray("C00\rC01\rCR0\rC01\rCR0\r")
                                << ack + ack + "20\r" + ack + "20\r";
    row("count down and cool down end")
        << 0 << one << 1 << QByteArray("C00\r|CR0\rC01\r|CR0\r") << ack + "00\r" + ack + "80\r";
}

void TstSim::sharedLine()
{
    QFETCH(int, line);
    QFETCH(QStringList, ids);
    QFETCH(int, powerMs);
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, answered);
    SimLine projectors(line, ids, powerMs, powerMs);
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
    QTest::newRow("counting down") << QStringList{"--warm-ms", "600000"} << QByteArray("C00\rCR0\r")
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
    QByteArrayList printed;
    while (printed.size() < answered.size()) {
        QVERIFY2(sim.canReadLine() || sim.waitForReadyRead(10000), sim.readAllStandardError());
        printed << sim.readLine().trimmed();
    }
    for (qsizetype i = 0; i < printed.size(); ++i) {
        QTcpSocket client;
        int fd = -1;
        if (printed[i].startsWith("tcp://")) {
            const QUrl url(QString::fromLatin1(printed[i]));
            client.connectToHost(url.host(), quint16(url.port()));
            client.write(written);
        } else {
            fd = ::open(printed[i].constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            QCOMPARE(::write(fd, written.constData(), size_t(written.size())), written.size());
        }
        const auto more = [&]() {
            char bytes[64];
            return fd < 0 ? client.readAll() : QByteArray(bytes, qMax(0L, ::read(fd, bytes, 64)));
        };
        QByteArray got;
        QTRY_COMPARE(got += more(), answered[i]);
        ::close(fd);
    }
    sim.terminate();
    QVERIFY(sim.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TstSim)
#include "tst_sim.moc"

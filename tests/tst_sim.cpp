#include "sim/projector.h"
#include "sim/tcpline.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class TstSim : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void framesSplitAnywhere();
    void tcpClientStartsClean_data();
    void tcpClientStartsClean();
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

QTEST_GUILESS_MAIN(TstSim)
#include "tst_sim.moc"

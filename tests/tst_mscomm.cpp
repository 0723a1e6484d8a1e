#include "mscomm.h"
#include "ptyline.h"
#include "testenv.h"

#include <QSignalSpy>
#include <QTest>

class TstMSComm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void init() { TestEnv::clearStore(); }
    void settingsText_data();
    void settingsText();
    void portMap();
    void bytesBothWays();
    void openFailures_data();
    void openFailures();
    void secondOpenerIsRefused();
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
    MSComm::LineSettings line;
    QCOMPARE(MSComm::parseSettings(text, &line), ok);
    if (ok) {
        QCOMPARE(line.baud, baud);
        QCOMPARE(line.parity, QSerialPort::NoParity);
        QCOMPARE(line.dataBits, QSerialPort::Data8);
        QCOMPARE(line.stopBits, QSerialPort::OneStop);
    }
}

void TstMSComm::portMap()
{
    QCOMPARE(MSComm::deviceForPort(1), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(MSComm::deviceForPort(15), QStringLiteral("/dev/ttyS14"));
    QCOMPARE(MSComm::deviceForPort(0), QString());
    QCOMPARE(MSComm::deviceForPort(-3), QString());
    TestEnv::seed({{"Ports/COM5", " /dev/ttyUSB0 "}});
    QCOMPARE(MSComm::deviceForPort(5), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(MSComm::deviceForPort(4), QStringLiteral("/dev/ttyS3"));
}

// Each character is one byte on the line, in order, and each received byte
// comes back as one character with the same code.
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
    line.write(QByteArray("\x06" "00\r\xe9", 5));
    QTRY_VERIFY(events.count() >= 1);
    QCOMPARE(port.commEvent(), MSComm::comEvReceive);
    QString got = port.input();
    QTRY_VERIFY((got += port.input()).size() >= 5);
    QCOMPARE(got, QString::fromLatin1("\x06" "00\r\xe9", 5));
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
    QTest::newRow("negative port") << -1 << "9600,N,8,1"
                                   << int(MSComm::OpenFailure::BadPortNumber);
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

// When the far end goes away the port closes itself instead of reporting the
// same error in a tight loop.
void TstMSComm::hangUpClosesThePort()
{
    PtyLine line;
    line.mapAs(6);
    MSComm port;
    port.setCommPort(6);
    QVERIFY(port.setPortOpen(true));
    QSignalSpy lost(&port, &MSComm::linkLost);
    int errors = 0;
    connect(port.findChild<QSerialPort *>(), &QSerialPort::errorOccurred, this,
            [&errors](QSerialPort::SerialPortError e) {
                if (e != QSerialPort::NoError)
                    ++errors;
            });
    line.hangUp();
    QTRY_VERIFY(!port.portOpen());
    QTest::qWait(100); // let any further error reports arrive
    QCOMPARE(lost.count(), 1);
    QVERIFY2(errors <= 5, qPrintable(QString::number(errors)));
    QVERIFY(!port.output("C00\r"));
    QCOMPARE(port.input(), QString());
}

QTEST_GUILESS_MAIN(TstMSComm)
#include "tst_mscomm.moc"

#include "common/ptyline.h"
#include "common/testenv.h"
#include "ports/mscomm.h"
#include "ports/portsession.h"

#include <QTest>

// The port session without any window, on a real pseudo-terminal mapped as
// COM4; COM6 names a device that does not exist.
class TstPortSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void init();

    void accept_data();
    void accept();
    void cancel_data();
    void cancel();

private:
    std::unique_ptr<PtyLine> m_line;
};

void TstPortSession::init()
{
    m_line = std::make_unique<PtyLine>();
    QVERIFY(m_line->isValid());
    TestEnv::seed({{"StartUP/ComPort", "2"},
                   {"StartUP/BaudRate", "96"},
                   {"Ports/COM4", m_line->slavePath()},
                   {"Ports/COM6", "/nonexistent/ttyORVA"}});
}

void TstPortSession::accept_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("baud");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<int>("speed");   // of the line once open
    QTest::addColumn<QString>("why"); // part of the failure text
    QTest::newRow("COM4 at 9600") << 4 << 96 << true << 9600 << "";
    QTest::newRow("COM4 at 19200") << 4 << 192 << true << 19200 << "";
    QTest::newRow("no port chosen") << 0 << 96 << false << 0 << "No port is chosen";
    QTest::newRow("above 15") << 16 << 96 << false << 0 << "16 is not a port number";
    QTest::newRow("device missing") << 6 << 192 << false << 0 << "/nonexistent/ttyORVA";
}

// OK opens the chosen port at the chosen speed and stores both; a choice
// that does not open is not stored and says why.
void TstPortSession::accept()
{
    QFETCH(int, port);
    QFETCH(int, baud);
    QFETCH(bool, opened);
    QFETCH(int, speed);
    QFETCH(QString, why);
    MSComm line;
    PortSession session(line);
    session.choosePort(port);
    session.chooseBaud(quint8(baud));
    const QString failure = session.accept();
    QCOMPARE(line.portOpen(), opened);
    QVERIFY2(why.isEmpty() ? failure.isEmpty() : failure.contains(why), qPrintable(failure));
    QCOMPARE(TestEnv::stored("StartUP/ComPort"), opened ? QString::number(port) : "2");
    QCOMPARE(TestEnv::stored("StartUP/BaudRate"), opened ? QString::number(baud) : "96");
    if (opened)
        QCOMPARE(m_line->speed(), speed);
    QCOMPARE(m_line->readAvailable(0), QByteArray());
}

void TstPortSession::cancel_data()
{
    QTest::addColumn<int>("prevPort");
    QTest::addColumn<int>("prevBaud");
    QTest::addColumn<bool>("openAtCancel"); // the port open when Cancel comes
    QTest::addColumn<PortSession::CancelResult>("result");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<int>("baudAfter");
    QTest::addColumn<int>("speed");
    using R = PortSession::CancelResult;
    QTest::newRow("back to COM4 at 9600") << 4 << 96 << false << R::Reopened << true << 96 << 9600;
    QTest::newRow("back to COM4, odd code")
        << 4 << 7 << false << R::Reopened << true << 192 << 19200;
    QTest::newRow("back while open") << 4 << 192 << true << R::Reopened << true << 192 << 19200;
    QTest::newRow("previous gone") << 6 << 96 << false << R::Failed << false << 96 << 0;
    QTest::newRow("previous negative") << -3 << 96 << false << R::Failed << false << 96 << 0;
    QTest::newRow("no previous") << 0 << 96 << false << R::NoPrevious << false << 192 << 0;
    QTest::newRow("no previous, open") << 0 << 96 << true << R::NoPrevious << false << 192 << 0;
    QTest::newRow("previous above 15") << 16 << 96 << false << R::NoPrevious << false << 192 << 0;
}

// "COM" keeps the values in use; Cancel goes back to them and opens that
// port again, or says why it cannot, and never stores anything.
void TstPortSession::cancel()
{
    QFETCH(int, prevPort);
    QFETCH(int, prevBaud);
    QFETCH(bool, openAtCancel);
    QFETCH(PortSession::CancelResult, result);
    QFETCH(bool, opened);
    QFETCH(int, baudAfter);
    QFETCH(int, speed);
    MSComm line;
    PortSession session(line);
    session.ComPortNo = qint16(prevPort);
    session.BaudCode = quint8(prevBaud);
    session.beginChange();
    QVERIFY(!line.portOpen());
    QCOMPARE(int(session.PrevComPortNo), prevPort);
    QCOMPARE(int(session.PrevBaudCode), prevBaud);

    // The operator's choices in the dialog, which Cancel undoes.
    session.choosePort(4);
    session.chooseBaud(192);
    if (openAtCancel)
        QCOMPARE(session.open(), QString());

    QString why;
    QCOMPARE(session.cancel(&why), result);
    QCOMPARE(why.isEmpty(), result == PortSession::CancelResult::Reopened);
    QCOMPARE(line.portOpen(), opened);
    QCOMPARE(int(session.ComPortNo), prevPort);
    QCOMPARE(int(session.BaudCode), baudAfter);
    if (opened) {
        QCOMPARE(line.commPort(), prevPort);
        QCOMPARE(m_line->speed(), speed);
    }
    QCOMPARE(TestEnv::stored("StartUP/ComPort"), QStringLiteral("2"));
    QCOMPARE(m_line->readAvailable(0), QByteArray());
}

QTEST_GUILESS_MAIN(TstPortSession)
#include "tst_portsession.moc"

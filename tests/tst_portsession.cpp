#include "common/ptyline.h"
#include "common/testenv.h"
#include "ports/mscomm.h"
#include "ports/portsession.h"
#include "ports/reconnect.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
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
    void reopensByItself_data();
    void reopensByItself();
    void adapterNameBack_data();
    void adapterNameBack();

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

void TstPortSession::reopensByItself_data()
{
    QTest::addColumn<bool>("lost");       // the far end hangs up, else the port stays open
    QTest::addColumn<bool>("comPressed"); // the dialog is open from the loss on
    QTest::addColumn<bool>("reopened");   // once the adapter is back (and the dialog gone)
    QTest::newRow("lost, back by its name") << true << false << true;
    QTest::newRow("lost while the dialog is open") << true << true << true;
    QTest::newRow("closed through the dialog") << false << true << false;
}

// A lost port opens again by itself once its adapter is back under the
// same stable name, at the same speed; an adapter that now has the port's
// number is never taken instead. Nothing is tried while the dialog is
// open, and a port the operator closed stays closed.
void TstPortSession::reopensByItself()
{
    QFETCH(bool, lost);
    QFETCH(bool, comPressed);
    QFETCH(bool, reopened);
    QTemporaryDir byId;
    qputenv("ORVA_SERIAL_BY_ID", QFile::encodeName(byId.path()));
    const QString adapter = byId.filePath("usb-ORVA_B-if00-port0");
    PtyLine first;
    QVERIFY(QFile::link(first.slavePath(), adapter));
    MSComm line;
    PortSession session(line);
    session.choosePort(3); // the only adapter
    session.chooseBaud(192);
    QCOMPARE(session.accept(), QString());

    if (lost) {
        first.hangUp();
        QTRY_VERIFY(!line.portOpen());
        QVERIFY(QFile::remove(adapter));
    }
    if (comPressed)
        session.beginChange();
    // Another adapter is plugged in and takes the number.
    PtyLine other;
    QVERIFY(QFile::link(other.slavePath(), byId.filePath("usb-ORVA_A-if00-port0")));
    QTest::qWait(2500);
    QVERIFY(!line.portOpen());
    // The lost adapter comes back under its name, on another device.
    PtyLine back;
    QFile::remove(adapter);
    QVERIFY(QFile::link(back.slavePath(), adapter));
    if (comPressed) {
        QTest::qWait(2500);
        QVERIFY(!line.portOpen());
        session.dialogClosed();
    }
    if (reopened) {
        QTRY_VERIFY_WITH_TIMEOUT(line.portOpen(), 20000);
        QCOMPARE(int(session.ComPortNo), 3);
        QCOMPARE(back.speed(), 19200);
        QVERIFY(line.output(QStringLiteral("CR0\r")));
        QCOMPARE(back.read(4), QByteArray("CR0\r"));
    } else {
        QTest::qWait(2500);
        QVERIFY(!line.portOpen());
    }
    QCOMPARE(other.readAvailable(0), QByteArray());
    qunsetenv("ORVA_SERIAL_BY_ID");
}

void TstPortSession::adapterNameBack_data()
{
    QTest::addColumn<QString>("name"); // the link that appears
    QTest::addColumn<bool>("folderGone");
    QTest::addColumn<bool>("tried");
    QTest::newRow("the same name") << "usb-ORVA_B-if00-port0" << false << true;
    QTest::newRow("the same name, folder made anew") << "usb-ORVA_B-if00-port0" << true << true;
    QTest::newRow("another adapter") << "usb-ORVA_A-if00-port0" << false << false;
}

// An adapter's stable name coming back is tried at once, long before the
// next step of the backoff (by then a minute); another name is not.
void TstPortSession::adapterNameBack()
{
    QFETCH(QString, name);
    QFETCH(bool, folderGone);
    QFETCH(bool, tried);
    QTemporaryDir top;
    const QString byId = top.filePath("by-id");
    QVERIFY(QDir().mkdir(byId));
    qputenv("ORVA_SERIAL_BY_ID", QFile::encodeName(byId));
    Reconnector reconnector;
    QSignalSpy tries(&reconnector, &Reconnector::tryNow);
    reconnector.start(byId + "/usb-ORVA_B-if00-port0");
    for (int i = 0; i < 6; ++i)
        reconnector.failed();
    QCOMPARE(reconnector.stepMs(), 60000);
    if (folderGone) {
        QVERIFY(QDir().rmdir(byId));
        QTest::qWait(200);
        QVERIFY(QDir().mkdir(byId));
        QTest::qWait(200);
    }
    QVERIFY(QFile::link(m_line->slavePath(), byId + "/" + name));
    if (tried) {
        QTRY_COMPARE(tries.count(), 1);
    } else {
        QTest::qWait(1000);
        QCOMPARE(tries.count(), 0);
    }
    qunsetenv("ORVA_SERIAL_BY_ID");
}

QTEST_GUILESS_MAIN(TstPortSession)
#include "tst_portsession.moc"

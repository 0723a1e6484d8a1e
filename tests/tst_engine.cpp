#include "common/ptyline.h"
#include "common/testenv.h"
#include "ports/mscomm.h"
#include "protocol/engine.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <map>
#include <memory>

namespace {

struct FakeDisplay : EngineDisplay {
    QString sent, received, status;
    bool ack = false, cr = false, space = false;
    void setSentText(const QString &t) override { sent = t; }
    void setReceivedText(const QString &t) override { received = t; }
    void setStatusText(const QString &t) override { status = t; }
    void setLegendVisible(Render::Legend l, bool v) override
    {
        (l == Render::AckLegend ? ack : l == Render::CrLegend ? cr : space) = v;
    }
};

QString cr(const char *word)
{
    return QString::fromLatin1(word) + QLatin1Char('\r');
}

} // namespace

class TstEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::usePrivateSettings(); }
    void init();
    void cleanup();

    void frames_data();
    void frames();
    void replyInParts();
    void noAnswerAndClearing();
    void lateReply();
    void secondSendBeforeReply();
    void otherPortEventChangesNothing();
    void closedPortSendsNothing();
    void floodIsBounded();
    void holdRepeatsWithOnePrefix();
    void secondPressDuringHoldIsIgnored();
    void releaseResetsIntervals();
    void whenDisplaysChange_data();
    void whenDisplaysChange();
    void lampTimeAfterStatus_data();
    void lampTimeAfterStatus();
    void exchangesSideBySide();

private:
    // The engine's timer named |name|, driven or watched by hand.
    QTimer *timer(const char *name) const
    {
        return m_engine->findChild<QTimer *>(QLatin1StringView(name));
    }
    // The projector's side: waits for |n| bytes of the program.
    QByteArray sentBytes(int n) { return m_line->read(n); }
    void reply(const QByteArray &bytes, int expectLength);

    std::unique_ptr<PtyLine> m_line;
    std::unique_ptr<MSComm> m_port;
    std::unique_ptr<FakeDisplay> m_display;
    std::unique_ptr<TransactionEngine> m_engine;
};

void TstEngine::init()
{
    m_line = std::make_unique<PtyLine>();
    QVERIFY(m_line->isValid());
    m_line->mapAs(3);
    m_port = std::make_unique<MSComm>();
    m_port->setCommPort(3);
    QVERIFY(m_port->setPortOpen(true));
    m_display = std::make_unique<FakeDisplay>();
    m_engine = std::make_unique<TransactionEngine>(*m_port, *m_display);
    m_engine->setPace(TransactionEngine::Pace::PortOpened);
}

void TstEngine::cleanup()
{
    m_engine.reset();
    m_display.reset();
    m_port.reset();
    m_line.reset();
}

void TstEngine::reply(const QByteArray &bytes, int expectLength)
{
    m_line->write(bytes);
    QTRY_COMPARE(m_engine->replyBuffer().size(), qsizetype(expectLength));
}

void TstEngine::frames_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("power on") << "" << cr("C00") << QByteArray("C00\r") << " C 0 0  [CR] ";
    QTest::newRow("to 001") << "A001" << cr("C00") << QByteArray("A001C00\r")
                            << " A 0 0 1 C 0 0  [CR] ";
    QTest::newRow("to all") << "AFFF" << cr("CR0") << QByteArray("AFFFCR0\r")
                            << " A F F F C R 0  [CR] ";
    QTest::newRow("extended word")
        << "" << cr("CF LAMPMODE FULL") << QByteArray("CF LAMPMODE FULL\r")
        << " C F _ L A M P M O D E _ F U L L  [CR] ";
}

void TstEngine::frames()
{
    QFETCH(QString, prefix);
    QFETCH(QString, command);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    m_engine->addressPrefix = prefix;
    m_engine->sendCommand(command);
    QCOMPARE(m_display->sent, shown);
    QCOMPARE(sentBytes(bytes.size()), bytes);
    QCOMPARE(m_engine->currentCommand(), QString::fromLatin1(bytes));
    QVERIFY(m_display->cr);
    QCOMPARE(m_display->space, shown.contains('_'));
    QCOMPARE(m_engine->awaitingReply(), quint8(1));
    QVERIFY(timer("Timer2")->isActive());
    QVERIFY(timer("Timer4")->isActive());
}

void TstEngine::replyInParts()
{
    m_engine->sendCommand(cr("CR0"));
    sentBytes(4);
    reply("0", 1);
    QCOMPARE(m_display->received, QStringLiteral(" 0 "));
    QCOMPARE(m_display->status, QString()); // " 0" is no status yet
    QCOMPARE(m_engine->awaitingReply(), quint8(0));
    reply("0\r", 3);
    QCOMPARE(m_display->received, QStringLiteral(" 0 0  [CR] "));
    QCOMPARE(m_display->status, QStringLiteral(" Power ON"));
    m_engine->Timer2_Timer();
    QCOMPARE(m_display->received, QStringLiteral(" 0 0  [CR] ")); // no no-answer mark
    QCOMPARE(m_engine->replyBuffer(), QString());
    QVERIFY(!m_display->cr);
}

void TstEngine::noAnswerAndClearing()
{
    m_engine->sendCommand(cr("CR0"));
    sentBytes(4);
    reply("00\r", 3);
    QCOMPARE(m_display->status, QStringLiteral(" Power ON"));
    m_engine->sendCommand(cr("CR1"));
    QVERIFY(m_display->cr);
    m_engine->Timer2_Timer();
    QCOMPARE(m_display->received, QStringLiteral(" X X X X "));
    QVERIFY(!timer("Timer2")->isActive());
    QVERIFY(!m_display->cr);
    QCOMPARE(m_engine->awaitingReply(), quint8(0));
    QCOMPARE(m_display->status, QStringLiteral(" Power ON")); // only clearing empties it
    m_engine->Timer4_Timer();
    QCOMPARE(m_display->sent, QString());
    QCOMPARE(m_display->received, QString());
    QCOMPARE(m_display->status, QString());
    QVERIFY(!timer("Timer4")->isActive());
    // Once off, the timers stay off until the next send.
    QTest::qWait(50);
    QVERIFY(!timer("Timer2")->isActive() && !timer("Timer4")->isActive());
}

void TstEngine::lateReply()
{
    m_engine->sendCommand(cr("CR0"));
    m_engine->Timer2_Timer();
    reply("80\r", 3);
    QCOMPARE(m_display->received, QStringLiteral(" 8 0  [CR] "));
    QCOMPARE(m_display->status, QStringLiteral(" Stand by"));
    QVERIFY(m_display->cr);                                    // shown again by the late reply
    QCOMPARE(m_engine->replyBuffer(), QStringLiteral("80\r")); // kept until the next send
}

void TstEngine::secondSendBeforeReply()
{
    m_engine->sendCommand(cr("CR0"));
    reply("0", 1);
    m_engine->sendCommand(cr("CR1"));
    QCOMPARE(m_engine->replyBuffer(), QString());
    QCOMPARE(m_display->received, QString());
    QCOMPARE(m_engine->awaitingReply(), quint8(1));
    // The rest of the first reply lands in the new exchange.
    reply("0\r", 2);
    QCOMPARE(m_display->received, QStringLiteral(" 0  [CR] "));
    QCOMPARE(m_display->status, QString()); // "0" is no input
}

void TstEngine::otherPortEventChangesNothing()
{
    // Nothing received yet: the port reports no receive event.
    QVERIFY(m_port->commEvent() != MSComm::comEvReceive);
    m_engine->MSComm1_OnComm();
    QCOMPARE(m_display->received, QString());
    QCOMPARE(m_engine->replyBuffer(), QString());
}

// A send on a closed port does not pretend it went out: nothing shows as
// sent, the received-text display says why, and no no-answer mark follows.
void TstEngine::closedPortSendsNothing()
{
    m_port->setPortOpen(false);
    m_engine->sendCommand(cr("C00"));
    QCOMPARE(m_display->sent, QString());
    QCOMPARE(m_display->received, QStringLiteral("port closed"));
    m_engine->Timer2_Timer();
    QCOMPARE(m_display->received, QStringLiteral("port closed"));
    m_engine->Timer4_Timer();
    QCOMPARE(m_display->received, QString());
    QCOMPARE(m_line->readAvailable(), QByteArray());
}

// A peer that never stops sending cannot grow the reply without bound: the
// buffer keeps the first 32767 characters and the display shows those.
void TstEngine::floodIsBounded()
{
    m_engine->sendCommand(cr("C00"));
    const QByteArray chunk(4000, 'Z');
    for (int i = 0; i < 10; ++i) {
        m_line->write(chunk);
        QTRY_VERIFY(m_engine->replyBuffer().size() >= qMin<qsizetype>(32767, (i + 1) * 4000));
    }
    QCOMPARE(m_engine->replyBuffer().size(), qsizetype(32767));
    QCOMPARE(m_display->received.size(), qsizetype(2 * 32767 + 1));
    QVERIFY(m_display->received.startsWith(QStringLiteral(" Z Z ")));
    QTest::qWait(300); // the rest of the flood arrives and is dropped
    QCOMPARE(m_engine->replyBuffer().size(), qsizetype(32767));
    m_engine->Timer2_Timer();
    reply("00\r", 3); // a fresh exchange starts from empty again
}

void TstEngine::holdRepeatsWithOnePrefix()
{
    m_engine->addressPrefix = QStringLiteral("A002");
    m_engine->holdPress(3); // menu pointer up
    QVERIFY(timer("Timer1")->isActive());
    timer("Timer1")->stop(); // ticks are driven by hand below
    QCOMPARE(m_engine->holdKind(), quint8(3));
    QCOMPARE(m_engine->pace(), TransactionEngine::Pace::Hold);
    for (int i = 0; i < 4; ++i)
        m_engine->Timer1_Timer();
    QCOMPARE(m_line->readAvailable(), QByteArray("A002C3C\r").repeated(5));
    QCOMPARE(m_engine->currentCommand(), QStringLiteral("A002C3C\r"));
    // A loose real-time check that the timer does repeat by itself.
    timer("Timer1")->start();
    QTRY_VERIFY_WITH_TIMEOUT(m_line->read(8, 1000) == QByteArray("A002C3C\r"), 2000);
    m_engine->Cont_M_up();
    m_line->readAvailable(150);
    QCOMPARE(m_line->readAvailable(250), QByteArray());
}

void TstEngine::secondPressDuringHoldIsIgnored()
{
    m_engine->holdPress(1);
    timer("Timer1")->stop();
    QCOMPARE(m_line->readAvailable(), QByteArray("C47\r"));
    m_engine->holdPress(2);
    m_engine->holdPress(1);
    QCOMPARE(m_engine->holdKind(), quint8(1));
    QCOMPARE(m_engine->currentCommand(), cr("C47"));
    m_engine->Cont_M_up();
    QVERIFY(!m_engine->holding());
    m_engine->holdPress(18);
    timer("Timer1")->stop();
    QCOMPARE(m_line->readAvailable(), QByteArray("C60\r"));
    m_engine->Cont_M_up();
}

void TstEngine::releaseResetsIntervals()
{
    m_engine->holdPress(11);
    timer("Timer1")->stop();
    reply("\x06", 1);
    m_engine->Cont_M_up();
    QCOMPARE(m_engine->holdKind(), quint8(0));
    QVERIFY(!timer("Timer1")->isActive());
    QVERIFY(!timer("Timer2")->isActive());
    QVERIFY(timer("Timer4")->isActive());
    QCOMPARE(m_engine->pace(), TransactionEngine::Pace::AfterHold);
    QCOMPARE(m_display->sent, QString());
    QCOMPARE(m_display->received, QString());
    QCOMPARE(m_engine->replyBuffer(), QString());
    // A release with no hold resets the same way and sends nothing.
    m_engine->Cont_M_up();
    m_engine->Timer1_Timer();
    // Single sends after the hold keep the release intervals.
    m_engine->sendCommand(cr("C00"));
    QCOMPARE(m_engine->pace(), TransactionEngine::Pace::AfterHold);
    QCOMPARE(m_line->readAvailable(), QByteArray("C8E\rC00\r"));
}

// When the user sees a held arrow repeat, the no-answer mark and the
// displays clear, in ms after the send, at each pace. The engine's pending
// ticks run soonest first, each once, as the event loop would run them,
// without waiting.
void TstEngine::whenDisplaysChange_data()
{
    QTest::addColumn<QString>("before"); // what the user did before the send
    QTest::addColumn<QString>("seen");
    QTest::newRow("click") << "" << QStringLiteral("mark 1000 clear 1200");
    QTest::newRow("click, port opened after start-up")
        << "start-up" << QStringLiteral("mark 10000 clear 10500");
    QTest::newRow("held arrow") << "press" << QStringLiteral("repeat 100 mark 150 clear 200");
    QTest::newRow("click after a hold") << "hold" << QStringLiteral("mark 500 clear 1000");
    QTest::newRow("console open") << "hold console" << QStringLiteral("mark 7000 clear 7500");
    QTest::newRow("console closed")
        << "hold console closed" << QStringLiteral("mark 1000 clear 1200");
}

void TstEngine::whenDisplaysChange()
{
    QFETCH(QString, before);
    QFETCH(QString, seen);
    if (before == QLatin1String("start-up"))
        m_engine = std::make_unique<TransactionEngine>(*m_port, *m_display);
    if (before.startsWith(QLatin1String("hold")))
        m_engine->holdPress(1), m_engine->Cont_M_up();
    if (before.contains(QLatin1String("console")))
        m_engine->setPace(TransactionEngine::Pace::Console);
    if (before.contains(QLatin1String("closed")))
        m_engine->setPace(TransactionEngine::Pace::PortOpened);
    QElapsedTimer sinceSend;
    sinceSend.start();
    before == QLatin1String("press") ? m_engine->holdPress(3) : m_engine->sendCommand(cr("CR0"));
    std::multimap<int, QTimer *> pending;
    for (QTimer *t : m_engine->findChildren<QTimer *>()) {
        if (t->isActive())
            pending.emplace(t->remainingTime(), t);
    }
    const int late = int(sinceSend.elapsed()) + 1; // what the send itself took
    QString shown;
    for (const auto &[due, t] : pending) {
        m_display->sent = m_display->received = QStringLiteral("before");
        QTimerEvent tick(t->timerId());
        QCoreApplication::sendEvent(t, &tick);
        const QString what = m_display->received == " X X X X "           ? "mark"
                             : m_display->sent.isEmpty()                  ? "clear"
                             : m_display->sent != QLatin1String("before") ? "repeat"
                                                                          : "nothing";
        // A tick due |expected| ms after the send began is on time up to
        // |late| ms earlier.
        const int expected = seen.section(what + QLatin1Char(' '), 1).section(' ', 0, 0).toInt();
        const bool onTime = due <= expected && due >= expected - late;
        shown += QStringLiteral(" %1 %2").arg(what).arg(onTime ? expected : due);
    }
    QCOMPARE(shown.trimmed(), seen);
}

void TstEngine::lampTimeAfterStatus_data()
{
    QTest::addColumn<bool>("cleared"); // the displays cleared in between
    QTest::addColumn<QString>("status");
    QTest::newRow("after POWER") << false << " Power ON   1 2 3 4   Hour Use";
    QTest::newRow("after clearing") << true << "   1 2 3 4   Hour Use";
}

// The lamp time is appended to the status the engine showed last; once the
// displays cleared, it stands alone. What the status line happens to hold
// otherwise plays no part.
void TstEngine::lampTimeAfterStatus()
{
    QFETCH(bool, cleared);
    QFETCH(QString, status);
    m_engine->sendCommand(cr("CR0"));
    reply("00\r", 3);
    if (cleared)
        m_engine->Timer4_Timer();
    m_display->status = QStringLiteral("elsewhere");
    m_engine->sendCommand(cr("CR3"));
    reply("01234\r", 6);
    QCOMPARE(m_display->status, status);
    QCOMPARE(m_engine->lastStatus(), status);
    QCOMPARE(m_line->readAvailable(0), QByteArray("CR0\rCR3\r"));
}

// Exchanges on two lines in one process run side by side: each gets only its
// own reply and ends by its own rule (an ACK alone is a complete reply).
void TstEngine::exchangesSideBySide()
{
    m_engine.reset(); // its exchange would take the first line's reply
    PtyLine other;
    MSComm otherPort;
    otherPort.setDevice(other.slavePath());
    QVERIFY(otherPort.setPortOpen(true));
    Exchange first(*m_port, 5000), second(otherPort, 1000);
    QSignalSpy answered(&first, &Exchange::completed), unanswered(&second, &Exchange::timedOut);
    QVERIFY(first.start(Exchange::frame("A001", Exchange::command("C00"))));
    QVERIFY(second.start(Exchange::frame("", Exchange::command("CR0"))));
    QCOMPARE(other.read(4), QByteArray("CR0\r"));
    QCOMPARE(sentBytes(8), QByteArray("A001C00\r"));
    other.write("0"); // no CR: incomplete
    m_line->write("\x06");
    QTRY_COMPARE(answered.size(), 1);
    QTRY_COMPARE(unanswered.size(), 1);
    QCOMPARE(first.replyText(), QStringLiteral("  [ACK] "));
    QCOMPARE(second.replyText(), QStringLiteral(" 0 "));
    QCOMPARE(second.outcome(), Exchange::Outcome::NoAnswer);
    // What comes after the end belongs to no exchange: the next starts afresh.
    QSignalSpy late(&otherPort, &MSComm::OnComm);
    other.write("0\r");
    QTRY_VERIFY(!late.isEmpty());
    QSignalSpy answeredToo(&second, &Exchange::completed);
    QVERIFY(second.start(Exchange::command("CR1")));
    other.write("1\r");
    QTRY_COMPARE(answeredToo.size(), 1);
    QCOMPARE(second.reply(), QStringLiteral("1\r"));
}

QTEST_GUILESS_MAIN(TstEngine)
#include "tst_engine.moc"

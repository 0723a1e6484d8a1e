#include "protocol/engine.h"

#include "facts/projector.h"
#include "ports/mscomm.h"
#include "protocol/decode.h"

namespace {

// The timers' intervals in ms for each occasion; 0 leaves a timer's
// interval as it is.
struct Intervals {
    TransactionEngine::Pace pace;
    int timer1, timer2, timer4;
};
using P = TransactionEngine::Pace;
// clang-format off
constexpr Intervals kPaces[] = {
    {P::StartUp, 200, 10000, 10500},
    {P::PortOpened, 0, 1000, 1200},
    {P::Hold, 100, 150, 200},
    {P::AfterHold, 0, 500, 1000},
    {P::Console, 0, 7000, 7500},
    {P::MenuOn, 200, 0, 0},
};
// clang-format on

} // namespace

TransactionEngine::TransactionEngine(MSComm &port, EngineDisplay &display, QObject *parent)
    : QObject(parent)
    , m_display(display)
    , m_exchange(port)
{
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer4.setObjectName(QStringLiteral("Timer4"));
    // A coarse timer may tick up to 5 % early or late: the repetition must
    // keep a steady 100 ms cadence, and a reply has its whole time-out.
    for (QTimer *timer : {&Timer1, &Timer2, &Timer4})
        timer->setTimerType(Qt::PreciseTimer);
    setPace(Pace::StartUp);
    connect(&Timer1, &QTimer::timeout, this, &TransactionEngine::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &TransactionEngine::Timer2_Timer);
    connect(&Timer4, &QTimer::timeout, this, &TransactionEngine::Timer4_Timer);
    connect(&m_exchange, &Exchange::received, this, &TransactionEngine::showReply);
}

void TransactionEngine::show(Render::Legends legends)
{
    if (legends & Render::AckLegend)
        m_display.setLegendVisible(Render::AckLegend, true);
    if (legends & Render::CrLegend)
        m_display.setLegendVisible(Render::CrLegend, true);
    if (legends & Render::SpaceLegend)
        m_display.setLegendVisible(Render::SpaceLegend, true);
}

void TransactionEngine::setPace(Pace pace)
{
    m_pace = pace;
    for (const Intervals &set : kPaces) {
        if (set.pace != pace)
            continue;
        for (const auto &[timer, ms] :
             {std::pair{&Timer1, set.timer1}, std::pair{&Timer2, set.timer2},
              std::pair{&Timer4, set.timer4}}) {
            if (ms > 0)
                timer->setInterval(ms);
        }
    }
}

void TransactionEngine::stopAll()
{
    if (holding())
        Cont_M_up();
    Timer1.stop();
    Timer2.stop();
    Timer4.stop();
}

void TransactionEngine::sendCommand(const QString &command)
{
    m_currentCommand = command;
    Hyouji(m_currentCommand, SendMode);
}

void TransactionEngine::sendText(const QString &text)
{
    Timer2.stop();
    Timer4.stop();
    // Hyouji frames its argument in place: the caller's text keeps no
    // prefix, so each send carries it once.
    QString frame = text;
    Hyouji(frame, SendMode);
    Timer2.start();
    Timer4.start();
}

void TransactionEngine::showStatus(const QString &text)
{
    m_lastStatus = text;
    m_display.setStatusText(text);
}

void TransactionEngine::Hyouji(QString &text, quint8 mode)
{
    if (mode == SendMode) {
        text = Exchange::frame(addressPrefix, text);
        if (!m_exchange.start(text)) {
            // Nothing went out, so nothing shows as sent and no answer is
            // awaited: the received-text display says why until the
            // displays clear.
            m_display.setSentText(QString());
            m_display.setReceivedText(QString(PortClosedNote));
            Timer2.stop();
            m_awaitingReply = 0;
            Timer4.start();
            return;
        }
        m_display.setReceivedText(QString());
        show(m_exchange.sentLegends());
        m_display.setSentText(m_exchange.sentText());
        Timer2.start();
        m_awaitingReply = 1;
        Timer4.start();
        return;
    }

    // Receive mode: |text| is shown and decoded as a reply.
    Render::Legends legends = Render::NoLegend;
    const QString rendered = Render::render(text, &legends);
    show(legends);
    m_display.setReceivedText(rendered);
    if (const auto status =
            Decode::statusFor(m_currentCommand, text.size(), rendered, m_lastStatus))
        showStatus(*status);
}

void TransactionEngine::MSComm1_OnComm()
{
    m_exchange.onComm();
}

void TransactionEngine::showReply(Render::Legends legends)
{
    show(legends);
    m_awaitingReply = 0;
    // The reply is rendered as it grows.
    m_display.setReceivedText(m_exchange.replyText());
    if (const auto status = m_exchange.status(m_currentCommand, m_lastStatus))
        showStatus(*status);
}

void TransactionEngine::Timer2_Timer()
{
    if (m_awaitingReply == 1)
        m_display.setReceivedText(QString(Exchange::NoAnswerMark));
    Timer2.stop();
    m_display.setLegendVisible(Render::SpaceLegend, false);
    m_display.setLegendVisible(Render::CrLegend, false);
    m_display.setLegendVisible(Render::AckLegend, false);
    m_exchange.clearReply();
    m_awaitingReply = 0;
}

void TransactionEngine::Timer4_Timer()
{
    m_display.setSentText(QString());
    m_display.setReceivedText(QString());
    showStatus(QString());
    Timer4.stop();
}

void TransactionEngine::holdPress(quint8 kind)
{
    if (m_holdGuard != 0)
        return;
    m_holdGuard = 1;
    m_holdKind = kind;
    m_currentCommand = Projector::holdCommand(kind) + QLatin1Char('\r');
    Cont_M_down();
}

void TransactionEngine::Cont_M_down()
{
    setPace(Pace::Hold);
    Hyouji(m_currentCommand, SendMode);
    Timer1.start();
}

void TransactionEngine::Timer1_Timer()
{
    if (m_holdKind == 0)
        return;
    m_currentCommand = Projector::holdCommand(m_holdKind) + QLatin1Char('\r');
    Hyouji(m_currentCommand, SendMode);
    // Timer1 repeats by itself; restarting it here would add each tick's
    // work to the period and make the cadence drift.
}

void TransactionEngine::Cont_M_up()
{
    m_holdKind = 0;
    Timer1.stop();
    Timer2.stop();
    Timer4.start();
    m_display.setSentText(QString());
    m_display.setReceivedText(QString());
    setPace(Pace::AfterHold);
    m_exchange.clearReply();
    m_holdGuard = 0;
}

void TransactionEngine::resetState()
{
    m_holdKind = 0;
    m_awaitingReply = 0;
    m_exchange.clearReply();
}

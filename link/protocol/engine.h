#pragma once

#include "protocol/exchange.h"
#include "protocol/render.h"

#include <QObject>
#include <QString>
#include <QTimer>

class MSComm;

// Where the engine shows what went out and what came back. The main window
// implements it with its labels; tests implement it with plain fields.
class EngineDisplay
{
public:
    virtual ~EngineDisplay() = default;
    virtual void setSentText(const QString &text) = 0;     // TxD line
    virtual void setReceivedText(const QString &text) = 0; // RxD line
    virtual void setStatusText(const QString &text) = 0;   // decoded status line
    // The legend lines for "[ACK]", "[CR]" and "_".
    virtual void setLegendVisible(Render::Legend legend, bool visible) = 0;
};

// The window's side of the exchanges (see Exchange, which frames, collects,
// renders and decodes).
//
// A send frames the command with the address prefix, writes it, shows it and
// starts the reply time-out (Timer2) and the display clearing (Timer4). Each
// receive event appends to the reply buffer, shows the whole reply so far and
// runs the status decoders. Timer2's tick ends the exchange (marking a
// missing answer), Timer4's tick clears the displays. A new send replaces the
// exchange in progress; nothing is queued.
//
// The press-and-hold repetition of the arrow buttons lives here too: a hold
// sends at once and then every Timer1 tick until it is released.
//
// The engine owns its timers and sets their intervals itself, one set per
// occasion (setPace); nobody else starts, stops or times them.
class TransactionEngine : public QObject
{
    Q_OBJECT

public:
    // The occasions that set the timers' intervals; see kPaces in engine.cpp.
    enum class Pace : quint8 {
        StartUp,    // as the engine is made
        PortOpened, // the stored port opened at start-up; the console closed
        Hold,       // an arrow held
        AfterHold,  // the arrow released
        Console,    // the command console open: long replies
        MenuOn,     // MENU "On" sent: the repetition back to its start-up period
    };
    Q_ENUM(Pace)

    static constexpr quint8 SendMode = 1;
    static constexpr quint8 ReceiveMode = 2;
    // Shown instead of a send that the port refused (it is closed).
    static constexpr QLatin1StringView PortClosedNote{"port closed"};

    TransactionEngine(MSComm &port, EngineDisplay &display, QObject *parent = nullptr);

    // Send mode (1): |text| is framed with the address prefix in place and
    // written; when the port refuses it (closed), PortClosedNote shows
    // instead. Any other mode: |text| is shown as the reply and decoded.
    void Hyouji(QString &text, quint8 mode);

    // A button's command (with its carriage return) becomes the current
    // command, whose replies are decoded, and goes out framed.
    void sendCommand(const QString &command);
    // The console's text goes out framed; the current command stays, and
    // so does the decoding of replies.
    void sendText(const QString &text);
    // The command last sent by sendCommand or a hold, framed.
    const QString &currentCommand() const { return m_currentCommand; }

    // Sets the intervals for |pace|; a running timer restarts with its new
    // interval.
    void setPace(Pace pace);
    Pace pace() const { return m_pace; }
    // Ends a hold and every exchange in progress: no timer keeps running.
    void stopAll();

    // Receive handler of the port.
    void MSComm1_OnComm();
    // Tick handlers.
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer4_Timer();

    // Press-and-hold: a press on the arrow button of hold kind |kind|.
    // Ignored while another hold is active.
    void holdPress(quint8 kind);
    void Cont_M_down();
    void Cont_M_up();

    QString addressPrefix;

    quint8 holdKind() const { return m_holdKind; }
    // Whether a hold is running (from its press to its release).
    bool holding() const { return m_holdGuard != 0; }
    quint8 awaitingReply() const { return m_awaitingReply; }
    // The reply so far (at most Exchange::MaxReply characters).
    const QString &replyBuffer() const { return m_exchange.reply(); }

    // The status the engine showed last (empty once the displays cleared).
    const QString &lastStatus() const { return m_lastStatus; }

    // Every chunk sent and received goes to |log| under |name| (see Exchange).
    void setLog(LineLog *log, const QString &name) { m_exchange.setLog(log, name); }

    // Start-up's idle state: no hold, no reply awaited, empty buffer.
    void resetState();

private:
    void show(Render::Legends legends);
    void showStatus(const QString &text);
    // Shows the reply buffer as a receive event grew it.
    void showReply(Render::Legends legends);

    // Children of the engine, found by their object names.
    QTimer Timer1{this}; // repetition of a held button
    QTimer Timer2{this}; // reply time-out
    QTimer Timer4{this}; // display clearing
    Pace m_pace = Pace::StartUp;
    QString m_currentCommand;
    QString m_lastStatus;

    EngineDisplay &m_display;

    quint8 m_holdKind = 0;
    quint8 m_awaitingReply = 0;
    qint16 m_holdGuard = 0;

    // Ended by the timers, never by itself.
    Exchange m_exchange;
};

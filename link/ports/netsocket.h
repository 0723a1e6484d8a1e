#pragma once

#include "ports/comport.h"
#include "ports/netlinebackend.h"
#include "ports/telnet.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QTcpSocket;

// The network line itself: raw TCP, where the bytes pass unchanged and the
// server fixes the line settings, or Telnet with COM-PORT-CONTROL, where the
// line settings are sent to the server's serial port.
//
// Opening runs with the event loop: each event of the socket moves the
// connection and the Telnet negotiation on, and a timer ends it when the time
// is up; the opened or openFailed hook tells the end. After that the line
// reports received data through the readyRead hook; when the connection drops
// it closes itself and reports through the lost hook once.
class NetSocketLine : public QObject, public NetLineBackend
{
    Q_OBJECT

public:
    explicit NetSocketLine(const Hooks &hooks);
    ~NetSocketLine() override;

    void startOpen(const NetLine::Endpoint &endpoint, const LineSettings &settings,
                   int timeoutMs) override;
    void close() override;
    bool isOpen() const override { return m_state == State::Open; }
    void setSettings(const LineSettings &settings) override;
    bool write(const QByteArray &data) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override { return m_received.size(); }
    NetLine::Failure failure() const override { return m_failure; }
    QString failureText() const override { return m_failureText; }

private:
    using Failure = NetLine::Failure;
    enum class State { Closed, Opening, Open };
    // What an opening line waits for: the connection; on Telnet then the
    // server's word on COM-PORT-CONTROL, then its answers to the settings.
    enum class Step { Connect, ComPortOption, ComPortSettings };

    void handleReadable();
    // Received |bytes| on a line that is open (or, on Telnet, opening).
    void take(const QByteArray &bytes);
    void handleCommand(const TelnetStream::Command &command);
    void handleSocketError();
    // Writes |bytes| unless too much waits to be sent already; then the
    // server is to be dropped (m_dropReason) and nothing is written.
    bool send(const QByteArray &bytes);
    // Ends an open line as lost, or an opening one as failed, for |reason|.
    void giveUp(const QString &reason, Failure failure = Failure::Other);
    // Moves an opening line on as far as what has come allows, and ends the
    // open when it is ready, has failed or the time is up. Called last by
    // whatever may have moved it on, as it may end in a hook.
    void advance();
    void setFailure(Failure failure, const QString &text);
    void dropSocket();

    Hooks m_hooks;
    State m_state = State::Closed;
    Step m_step = Step::Connect;
    // While the socket is being started: no hook may be called yet.
    bool m_starting = false;
    QTimer m_openLimit{this};
    bool m_timeUp = false;
    int m_timeoutMs = 0;
    QPointer<QTcpSocket> m_socket;
    bool m_telnet = false;
    TelnetStream m_stream;
    TelnetOptions m_options{{}, {}};
    QByteArray m_received;
    // Raw line: the first bytes, held until it is clear that they are not
    // a Telnet server's negotiation.
    QByteArray m_rawHead;
    bool m_rawChecked = false;
    LineSettings m_settings;
    // COM-PORT-CONTROL: the server agreed to the option / refused it, and
    // what it answered to the line settings.
    bool m_comPortOn = false;
    bool m_comPortRefused = false;
    bool m_heardTelnet = false;
    ComPortNegotiation m_comPort;
    // Option commands received in the current second.
    QElapsedTimer m_rateClock;
    int m_optionCommands = 0;
    // Why the server is to be dropped; empty while it keeps to the bounds.
    QString m_dropReason;
    Failure m_failure = Failure::None;
    QString m_failureText;
};

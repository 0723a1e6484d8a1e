#pragma once

#include "telnet.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QTcpSocket;

// A serial line reached over the network: raw TCP ("tcp://host:port"), where
// the bytes pass unchanged and the server fixes the line settings, or Telnet
// with COM-PORT-CONTROL ("rfc2217://host:port"), where the line settings are
// sent to the server's serial port.
//
// Opening waits (with the event loop running, user input held back) until the
// line is ready or the time is up. After that it reports received data with
// readyRead; when the connection drops it closes itself and reports lost once.
class NetLine : public QObject
{
    Q_OBJECT

public:
    struct Endpoint {
        bool telnet = false;
        QString host;
        quint16 port = 0;
    };

    // Line settings in COM-PORT-CONTROL terms.
    struct Line {
        quint32 baud = 9600;
        quint8 dataSize = 8;
        quint8 parity = 1; // 1 none, 2 odd, 3 even, 4 mark, 5 space
        quint8 stopSize = 1; // 1 one, 2 two, 3 one and a half
    };

    enum class Failure {
        None,
        HostNotFound,
        Refused,
        NoAnswer,
        SettingsRefused,
        Closed, // the server hung up while the line was being set up
        Other,
    };

    explicit NetLine(QObject *parent = nullptr);
    ~NetLine() override;

    // True when |text| names a network address (it has a "scheme://").
    static bool isAddress(const QString &text);
    // Reads "tcp://host:port" or "rfc2217://host:port"; false with |why| (a
    // short phrase) when the text is not such an address.
    static bool parse(const QString &text, Endpoint *out, QString *why);

    // Connects within |timeoutMs|; false with failure()/failureText() set.
    bool open(const Endpoint &endpoint, const Line &line, int timeoutMs);
    void close();
    bool isOpen() const { return m_state == State::Open; }

    // New line settings for an open Telnet line (raw lines ignore them).
    void setLine(const Line &line);

    bool write(const QByteArray &data);
    QByteArray readAll();
    qint64 bytesAvailable() const { return m_received.size(); }

    Failure failure() const { return m_failure; }
    QString failureText() const { return m_failureText; }

signals:
    void readyRead();
    void lost(const QString &reason);
    // Something changed while opening (internal).
    void progress();

private:
    enum class State { Closed, Opening, Open };

    void handleReadable();
    void handleCommand(const TelnetStream::Command &command);
    void handleSocketError();
    void sendLine();
    bool lineAcknowledged() const;
    // Runs the event loop until |done| holds or |deadline| passes.
    bool waitFor(const std::function<bool()> &done, const QDeadlineTimer &deadline);
    void setFailure(Failure failure, const QString &text);
    void dropSocket();

    State m_state = State::Closed;
    QPointer<QTcpSocket> m_socket;
    bool m_telnet = false;
    TelnetStream m_stream;
    QByteArray m_received;
    Line m_line;
    // COM-PORT-CONTROL: the server agreed to the option / refused it, and
    // the values it reported back for each setting (0 = no answer yet).
    bool m_comPortOn = false;
    bool m_comPortRefused = false;
    bool m_heardTelnet = false;
    quint32 m_ackBaud = 0;
    quint8 m_ackDataSize = 0;
    quint8 m_ackParity = 0;
    quint8 m_ackStopSize = 0;
    bool m_localOn[256] = {};
    bool m_remoteOn[256] = {};
    Failure m_failure = Failure::None;
    QString m_failureText;
};

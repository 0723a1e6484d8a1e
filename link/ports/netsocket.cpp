#include "ports/netsocket.h"

#include <QTcpSocket>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace {

// Bounds on what a server may make this side do. A server that keeps to the
// protocol sends a handful of option commands when the line opens; one that
// sends more than this many in a second is broken or hostile. Answers that a
// server does not take from the socket are not kept beyond the second bound.
constexpr int kMaxOptionCommandsPerSecond = 100;
constexpr qint64 kMaxPendingBytes = 64 * 1024;

// Options this side takes on when asked (WILL), and those it lets the
// server take on (DO). Not echo: the line's bytes must not come back as if
// the projector sent them.
TelnetOptions freshOptions()
{
    using T = TelnetStream;
    return TelnetOptions({T::optBinary, T::optSuppressGoAhead, T::optComPort},
                         {T::optBinary, T::optSuppressGoAhead});
}

// True when the server has closed its side and nothing more is to come:
// what it sent just before the close must not pass for a reply.
bool peerClosed(const QTcpSocket *socket)
{
#ifdef Q_OS_UNIX
    const qintptr fd = socket->socketDescriptor();
    char byte = 0;
    return fd >= 0 && ::recv(int(fd), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
#else
    Q_UNUSED(socket);
    return false;
#endif
}

} // namespace

NetSocketLine::NetSocketLine(const Hooks &hooks)
    : m_hooks(hooks)
{
    connect(&m_openLimit, &QTimer::timeout, this, [this]() {
        m_timeUp = true;
        advance();
    });
}

NetSocketLine::~NetSocketLine()
{
    dropSocket();
}

void NetSocketLine::setFailure(Failure failure, const QString &text)
{
    m_failure = failure;
    m_failureText = text;
}

void NetSocketLine::startOpen(const NetLine::Endpoint &endpoint, const LineSettings &settings,
                              int timeoutMs)
{
    close();
    setFailure(Failure::None, QString());
    m_telnet = endpoint.telnet;
    m_settings = settings;
    m_stream = TelnetStream();
    m_options = freshOptions();
    m_received.clear();
    m_rawHead.clear();
    m_rawChecked = false;
    m_comPortOn = m_comPortRefused = m_heardTelnet = false;
    m_comPort = ComPortNegotiation();
    m_rateClock.invalidate();
    m_optionCommands = 0;
    m_dropReason.clear();

    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, &NetSocketLine::advance);
    connect(socket, &QTcpSocket::readyRead, this, &NetSocketLine::handleReadable);
    connect(socket, &QTcpSocket::errorOccurred, this, &NetSocketLine::handleSocketError);
    connect(socket, &QTcpSocket::disconnected, this, &NetSocketLine::handleSocketError);
    m_state = State::Opening;
    m_step = Step::Connect;
    m_timeUp = false;
    m_timeoutMs = timeoutMs;
    m_openLimit.setSingleShot(true);
    m_openLimit.start(timeoutMs);

    // The socket may report at once (a refused connection on this host);
    // the caller hears of it once this call has returned.
    m_starting = true;
    socket->connectToHost(endpoint.host, endpoint.port);
    m_starting = false;
    if (m_failure != Failure::None || socket->state() == QAbstractSocket::ConnectedState)
        QTimer::singleShot(0, this, &NetSocketLine::advance);
}

void NetSocketLine::advance()
{
    if (m_state != State::Opening || m_starting)
        return;
    bool ready = false;
    if (m_failure == Failure::None && m_step == Step::Connect && m_socket
        && m_socket->state() == QAbstractSocket::ConnectedState) {
        if (m_telnet) {
            using T = TelnetStream;
            send(m_options.ask(T::WILL, T::optComPort) + m_options.ask(T::WILL, T::optBinary)
                 + m_options.ask(T::DO, T::optBinary)
                 + m_options.ask(T::DO, T::optSuppressGoAhead));
            m_step = Step::ComPortOption;
        } else {
            ready = true;
        }
    }
    if (m_failure == Failure::None && m_step == Step::ComPortOption) {
        // A server that speaks Telnet but lets the time pass without taking
        // the option refuses it as surely as one that says so.
        if (m_comPortRefused || (m_timeUp && !m_comPortOn && m_heardTelnet))
            setFailure(Failure::SettingsRefused, ComPortNegotiation::optionRefused());
        else if (m_comPortOn)
            m_step = Step::ComPortSettings;
    }
    // Each setting is answered with the value the server set; one that is
    // not answered in time is no answer, not a refusal.
    if (m_failure == Failure::None && m_step == Step::ComPortSettings && m_comPort.answered()) {
        if (!m_comPort.refusal().isEmpty())
            setFailure(Failure::SettingsRefused, m_comPort.refusal());
        else
            ready = true;
    }
    if (!ready && m_failure == Failure::None && m_timeUp)
        setFailure(Failure::NoAnswer,
                   tr("no answer within %1 seconds").arg(double(m_timeoutMs) / 1000.0));
    if (!ready && m_failure == Failure::None)
        return;
    m_openLimit.stop();
    if (!ready) {
        dropSocket();
        m_state = State::Closed;
        m_hooks.openFailed();
        return;
    }
    m_state = State::Open;
    // What came with the set-up is taken, and announced, once the caller
    // holds an open port.
    if (!m_received.isEmpty() || !m_rawHead.isEmpty()) {
        QTimer::singleShot(0, this, [this]() {
            if (isOpen() && !m_rawChecked && !m_rawHead.isEmpty())
                take(QByteArray());
            else if (isOpen() && !m_received.isEmpty())
                m_hooks.readyRead();
        });
    }
    m_hooks.opened();
}

void NetSocketLine::close()
{
    m_openLimit.stop();
    m_received.clear();
    // An open under way has nothing to send: it ends at once, quietly.
    if (m_state == State::Opening)
        dropSocket();
    m_state = State::Closed;
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    // Let what was written go out, then let go of the socket; a server
    // that takes nothing more is cut off after a while.
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(2000, socket, [socket]() {
        socket->abort();
        socket->deleteLater();
    });
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
}

void NetSocketLine::dropSocket()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void NetSocketLine::setSettings(const LineSettings &settings)
{
    m_settings = settings;
    if (isOpen() && m_telnet && m_comPortOn)
        send(m_comPort.request(m_settings));
}

bool NetSocketLine::send(const QByteArray &bytes)
{
    if (!m_socket || !m_dropReason.isEmpty())
        return false;
    if (bytes.isEmpty())
        return true;
    const qint64 pending = m_socket->bytesToWrite();
    if (pending > 0 && pending + bytes.size() > kMaxPendingBytes) {
        m_dropReason = tr("the server takes no data (%1 bytes wait to be sent to it)").arg(pending);
        // Dropped once the caller is done, as a line that fails by itself.
        QTimer::singleShot(0, this, [this]() {
            if (!m_dropReason.isEmpty())
                giveUp(m_dropReason);
        });
        return false;
    }
    return m_socket->write(bytes) == bytes.size();
}

void NetSocketLine::giveUp(const QString &reason, Failure failure)
{
    if (m_state == State::Opening) {
        if (m_failure == Failure::None)
            setFailure(failure, reason);
        advance();
        return;
    }
    if (m_state != State::Open)
        return;
    dropSocket();
    m_state = State::Closed;
    m_hooks.lost(reason);
}

bool NetSocketLine::write(const QByteArray &data)
{
    if (!isOpen())
        return false;
    return send(m_telnet ? TelnetStream::escape(data) : data);
}

QByteArray NetSocketLine::readAll()
{
    QByteArray out;
    out.swap(m_received);
    return out;
}

void NetSocketLine::handleReadable()
{
    if (!m_socket)
        return;
    const QByteArray bytes = m_socket->readAll();
    // A raw line is opened once connected; what its server says is judged
    // when the caller holds it.
    if (!m_telnet && m_state == State::Opening)
        m_rawHead += bytes;
    else
        take(bytes);
}

void NetSocketLine::take(const QByteArray &bytes)
{
    const bool closed = m_socket && peerClosed(m_socket);
    QByteArray data;
    if (m_telnet) {
        data = m_stream.feed(bytes, [this](const TelnetStream::Command &c) { handleCommand(c); });
    } else if (m_rawChecked) {
        data = bytes;
    } else {
        // A raw line whose first bytes are option negotiation reached a
        // Telnet server: its bytes are not the projector's.
        m_rawHead += bytes;
        const quint8 first = m_rawHead.isEmpty() ? 0 : quint8(m_rawHead.at(0));
        const quint8 second = m_rawHead.size() > 1 ? quint8(m_rawHead.at(1)) : 0;
        if (first == TelnetStream::IAC && second >= TelnetStream::WILL
            && second <= TelnetStream::DONT) {
            m_dropReason = tr("this endpoint speaks Telnet: use rfc2217://");
        } else if (!m_rawHead.isEmpty() && (first != TelnetStream::IAC || m_rawHead.size() > 1)) {
            m_rawChecked = true;
            data.swap(m_rawHead);
        }
    }
    if (!m_dropReason.isEmpty()) {
        giveUp(m_dropReason);
        return;
    }
    if (m_state == State::Opening) {
        m_received += data;
        // A close that came with the set-up ends the open.
        if (closed && m_failure == Failure::None)
            setFailure(Failure::Closed, tr("the server closed the connection"));
        advance();
        return;
    }
    if (!data.isEmpty()) {
        m_received += data;
        m_hooks.readyRead();
    }
    // A close that came with the data ends the line now, before anything
    // takes that data for a complete reply.
    if (closed && m_socket)
        giveUp(tr("the server closed the connection"), Failure::Closed);
}

void NetSocketLine::handleCommand(const TelnetStream::Command &command)
{
    using T = TelnetStream;
    if (!m_socket || !m_dropReason.isEmpty())
        return;
    m_heardTelnet = true;
    if (command.verb == T::SB) {
        if (command.option == T::optComPort)
            m_comPort.take(command.payload);
        return;
    }
    // Option commands may each cost an answer: a server that sends them
    // without end is dropped.
    if (!m_rateClock.isValid() || m_rateClock.elapsed() >= 1000) {
        m_rateClock.start();
        m_optionCommands = 0;
    }
    if (++m_optionCommands > kMaxOptionCommandsPerSecond) {
        m_dropReason = tr("the server sent more than %1 Telnet option commands in a second")
                           .arg(kMaxOptionCommandsPerSecond);
        return;
    }
    const TelnetOptions::State comPortBefore = m_options.here(T::optComPort);
    send(m_options.receive(command.verb, command.option));
    const TelnetOptions::State comPort = m_options.here(T::optComPort);
    if (comPort == TelnetOptions::State::On && comPortBefore != comPort) {
        m_comPortOn = true;
        send(m_comPort.request(m_settings));
    } else if (comPort == TelnetOptions::State::Off && comPortBefore != comPort) {
        m_comPortOn = false;
        m_comPortRefused = true;
    }
}

void NetSocketLine::handleSocketError()
{
    if (!m_socket)
        return;
    if (m_state == State::Opening) {
        switch (m_socket->error()) {
        case QAbstractSocket::HostNotFoundError:
            setFailure(Failure::HostNotFound, tr("host not found"));
            break;
        case QAbstractSocket::ConnectionRefusedError:
            setFailure(Failure::Refused, tr("connection refused"));
            break;
        case QAbstractSocket::SocketTimeoutError:
            setFailure(Failure::NoAnswer, tr("no answer"));
            break;
        case QAbstractSocket::RemoteHostClosedError:
            setFailure(Failure::Closed, tr("the server closed the connection"));
            break;
        case QAbstractSocket::UnknownSocketError:
            if (m_socket->state() == QAbstractSocket::UnconnectedState)
                setFailure(Failure::Closed, tr("the server closed the connection"));
            break;
        default:
            setFailure(Failure::Other, m_socket->errorString());
            break;
        }
        advance();
        return;
    }
    const QAbstractSocket::SocketError error = m_socket->error();
    giveUp(error == QAbstractSocket::UnknownSocketError
                   || error == QAbstractSocket::RemoteHostClosedError
               ? tr("the server closed the connection")
               : m_socket->errorString());
}

extern "C" Q_DECL_EXPORT NetLineBackend *orva_netline_create(const NetLineBackend::Hooks &hooks)
{
    return new NetSocketLine(hooks);
}

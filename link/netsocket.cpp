#include "netsocket.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace {

// Options this side takes on (WILL) and asks of the server (DO).
bool localSupported(quint8 option)
{
    return option == TelnetStream::optBinary || option == TelnetStream::optSuppressGoAhead
           || option == TelnetStream::optComPort;
}

bool remoteSupported(quint8 option)
{
    // Not echo: the line's bytes must not come back as if the projector sent them.
    return option == TelnetStream::optBinary || option == TelnetStream::optSuppressGoAhead;
}

QByteArray request(quint8 code, quint8 value)
{
    QByteArray out;
    out.append(char(code)).append(char(value));
    return out;
}

QByteArray bigEndian(quint32 value)
{
    QByteArray out(4, '\0');
    for (int i = 3; i >= 0; --i) {
        out[i] = char(value & 0xFF);
        value >>= 8;
    }
    return out;
}

} // namespace

NetSocketLine::NetSocketLine(const Hooks &hooks)
    : m_hooks(hooks)
{
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

bool NetSocketLine::waitFor(const std::function<bool()> &done, const QDeadlineTimer &deadline)
{
    while (!done()) {
        if (m_failure != Failure::None || deadline.hasExpired())
            return false;
        // Keep painting and serving sockets, but hold back the user's
        // clicks and keys until the line is settled.
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &NetSocketLine::progress, &loop, &QEventLoop::quit);
        timer.start(int(std::max<qint64>(1, deadline.remainingTime())));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}

bool NetSocketLine::open(const NetLine::Endpoint &endpoint, const NetLine::Line &line,
                         int timeoutMs)
{
    close();
    setFailure(Failure::None, QString());
    m_telnet = endpoint.telnet;
    m_line = line;
    m_stream = TelnetStream();
    m_received.clear();
    m_comPortOn = m_comPortRefused = m_heardTelnet = false;
    m_ackBaud = 0;
    m_ackDataSize = m_ackParity = m_ackStopSize = 0;
    std::fill(std::begin(m_localOn), std::end(m_localOn), false);
    std::fill(std::begin(m_remoteOn), std::end(m_remoteOn), false);

    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, &NetSocketLine::progress);
    connect(socket, &QTcpSocket::readyRead, this, &NetSocketLine::handleReadable);
    connect(socket, &QTcpSocket::errorOccurred, this, &NetSocketLine::handleSocketError);
    connect(socket, &QTcpSocket::disconnected, this, &NetSocketLine::handleSocketError);
    m_state = State::Opening;

    const QDeadlineTimer deadline(timeoutMs);
    socket->connectToHost(endpoint.host, endpoint.port);
    bool ok = waitFor([socket]() { return socket->state() == QAbstractSocket::ConnectedState; },
                      deadline);
    if (ok && m_telnet) {
        using T = TelnetStream;
        m_localOn[T::optComPort] = m_localOn[T::optBinary] = true;
        m_remoteOn[T::optBinary] = m_remoteOn[T::optSuppressGoAhead] = true;
        socket->write(T::option(T::WILL, T::optComPort) + T::option(T::WILL, T::optBinary)
                      + T::option(T::DO, T::optBinary) + T::option(T::DO, T::optSuppressGoAhead));
        ok = waitFor([this]() { return m_comPortOn || m_comPortRefused; }, deadline);
        // A server that speaks Telnet but lets the time pass without taking
        // the option refuses it as surely as one that says so.
        if (m_comPortRefused || (!ok && m_heardTelnet && m_failure == Failure::None)) {
            setFailure(Failure::SettingsRefused,
                       tr("the server refused the line settings (it does not take "
                          "COM-PORT-CONTROL)"));
            ok = false;
        }
        if (ok) {
            ok = waitFor([this]() { return m_ackBaud && m_ackDataSize && m_ackParity && m_ackStopSize; },
                         deadline);
        }
        if ((ok && !lineAcknowledged()) || (!ok && m_comPortOn && m_failure == Failure::None)) {
            setFailure(Failure::SettingsRefused,
                       tr("the server refused the line settings (asked for %1 baud, %2 data "
                          "bits, parity code %3, stop code %4; it set %5, %6, %7, %8)")
                           .arg(m_line.baud)
                           .arg(m_line.dataSize)
                           .arg(m_line.parity)
                           .arg(m_line.stopSize)
                           .arg(m_ackBaud)
                           .arg(m_ackDataSize)
                           .arg(m_ackParity)
                           .arg(m_ackStopSize));
            ok = false;
        }
    }
    if (!ok) {
        if (m_failure == Failure::None)
            setFailure(Failure::NoAnswer,
                       tr("no answer within %1 seconds").arg(double(timeoutMs) / 1000.0));
        dropSocket();
        m_state = State::Closed;
        return false;
    }
    m_state = State::Open;
    // Data that came with the set-up is announced once the caller holds an
    // open port.
    if (!m_received.isEmpty()) {
        QTimer::singleShot(0, this, [this]() {
            if (isOpen() && !m_received.isEmpty())
                m_hooks.readyRead();
        });
    }
    return true;
}

void NetSocketLine::close()
{
    m_state = State::Closed;
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    // Let what was written go out, then let go of the socket; a server
    // that takes nothing more is cut off after a while.
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(2000, socket, [socket]() { socket->abort(); socket->deleteLater(); });
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
    m_received.clear();
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

void NetSocketLine::setLine(const NetLine::Line &line)
{
    m_line = line;
    if (isOpen() && m_telnet && m_comPortOn)
        sendLine();
}

void NetSocketLine::sendLine()
{
    using T = TelnetStream;
    m_ackBaud = 0;
    m_ackDataSize = m_ackParity = m_ackStopSize = 0;
    const QByteArray out =
        T::subnegotiation(T::optComPort, char(T::setBaudRate) + bigEndian(m_line.baud))
        + T::subnegotiation(T::optComPort, request(T::setDataSize, m_line.dataSize))
        + T::subnegotiation(T::optComPort, request(T::setParity, m_line.parity))
        + T::subnegotiation(T::optComPort, request(T::setStopSize, m_line.stopSize));
    m_socket->write(out);
}

bool NetSocketLine::lineAcknowledged() const
{
    return m_ackBaud == m_line.baud && m_ackDataSize == m_line.dataSize
           && m_ackParity == m_line.parity && m_ackStopSize == m_line.stopSize;
}

bool NetSocketLine::write(const QByteArray &data)
{
    if (!isOpen())
        return false;
    const QByteArray out = m_telnet ? TelnetStream::escape(data) : data;
    return m_socket->write(out) == out.size();
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
    const QByteArray data =
        m_telnet ? m_stream.feed(bytes, [this](const TelnetStream::Command &c) { handleCommand(c); })
                 : bytes;
    if (data.isEmpty() && m_state == State::Open)
        return;
    m_received += data;
    if (m_state == State::Open)
        m_hooks.readyRead();
    else
        emit progress();
}

void NetSocketLine::handleCommand(const TelnetStream::Command &command)
{
    using T = TelnetStream;
    if (!m_socket)
        return;
    m_heardTelnet = true;
    const quint8 option = command.option;
    switch (command.verb) {
    case T::DO:
        if (!localSupported(option)) {
            m_socket->write(T::option(T::WONT, option));
        } else if (!m_localOn[option]) {
            m_localOn[option] = true;
            m_socket->write(T::option(T::WILL, option));
        }
        if (option == T::optComPort && localSupported(option) && !m_comPortOn) {
            m_comPortOn = true;
            sendLine();
        }
        break;
    case T::DONT:
        if (m_localOn[option]) {
            m_localOn[option] = false;
            m_socket->write(T::option(T::WONT, option));
        }
        if (option == T::optComPort) {
            m_comPortOn = false;
            m_comPortRefused = true;
        }
        break;
    case T::WILL:
        if (!remoteSupported(option)) {
            m_socket->write(T::option(T::DONT, option));
        } else if (!m_remoteOn[option]) {
            m_remoteOn[option] = true;
            m_socket->write(T::option(T::DO, option));
        }
        break;
    case T::WONT:
        if (m_remoteOn[option]) {
            m_remoteOn[option] = false;
            m_socket->write(T::option(T::DONT, option));
        }
        break;
    case T::SB:
        if (option != T::optComPort || command.payload.isEmpty())
            break;
        {
            const QByteArray &p = command.payload;
            const quint8 code = quint8(p[0]);
            if (code == T::serverReply + T::setBaudRate && p.size() >= 5) {
                m_ackBaud = (quint32(quint8(p[1])) << 24) | (quint32(quint8(p[2])) << 16)
                            | (quint32(quint8(p[3])) << 8) | quint32(quint8(p[4]));
            } else if (p.size() >= 2) {
                if (code == T::serverReply + T::setDataSize)
                    m_ackDataSize = quint8(p[1]);
                else if (code == T::serverReply + T::setParity)
                    m_ackParity = quint8(p[1]);
                else if (code == T::serverReply + T::setStopSize)
                    m_ackStopSize = quint8(p[1]);
            }
        }
        break;
    default:
        break;
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
        emit progress();
        return;
    }
    if (m_state != State::Open)
        return;
    const QString reason = m_socket->error() == QAbstractSocket::UnknownSocketError
                               ? tr("the server closed the connection")
                               : m_socket->errorString();
    dropSocket();
    m_state = State::Closed;
    m_hooks.lost(reason);
}

extern "C" Q_DECL_EXPORT NetLineBackend *orva_netline_create(const NetLineBackend::Hooks &hooks)
{
    return new NetSocketLine(hooks);
}

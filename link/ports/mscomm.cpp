#include "ports/mscomm.h"

#include "ports/portmap.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace {

QSerialPort::Parity serialParity(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::None:
        break;
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    case LineSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits serialStopBits(LineSettings::StopBits stopBits)
{
    switch (stopBits) {
    case LineSettings::StopBits::One:
        break;
    case LineSettings::StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case LineSettings::StopBits::Two:
        return QSerialPort::TwoStop;
    }
    return QSerialPort::OneStop;
}

} // namespace

MSComm::MSComm(QObject *parent)
    : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &MSComm::handleReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &MSComm::handleError);
    connect(&m_net, &NetLine::readyRead, this, &MSComm::handleReadyRead);
    connect(&m_net, &NetLine::lost, this, [this](const QString &reason) {
        m_endpointLock.release();
        emit linkLost(reason);
    });
    connect(&m_net, &NetLine::opened, this, &MSComm::handleNetOpened);
    connect(&m_net, &NetLine::openFailed, this, &MSComm::handleNetOpenFailed);
}

MSComm::~MSComm()
{
    m_port.disconnect(this);
    m_net.disconnect(this);
    m_net.close();
    m_endpointLock.release();
    if (m_port.isOpen())
        m_port.close();
    m_lock.release();
}

void MSComm::setSettings(const QString &settings)
{
    m_settings = settings;
    // A server's serial port takes new settings while the line is open.
    LineSettings line;
    if (m_net.isOpen() && LineSettings::parse(settings, &line))
        m_net.setSettings(line);
}

void MSComm::setCommPort(int port)
{
    m_commPort = port;
}

bool MSComm::portOpen() const
{
    return m_port.isOpen() || m_net.isOpen();
}

bool MSComm::mayOpen(const QString &device)
{
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    return true;
#else
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#endif
}

void MSComm::fail(OpenFailure failure, const QString &text)
{
    m_openFailure = failure;
    m_openFailureText = text;
}

void MSComm::failOn(OpenFailure failure, const QString &device, const QString &detail)
{
    switch (failure) {
    case OpenFailure::NoDevice:
        fail(failure, tr("The device %1 does not exist.").arg(device));
        break;
    case OpenFailure::PermissionDenied:
        fail(failure, tr("Permission denied on %1.").arg(device));
        break;
    case OpenFailure::InUse:
        fail(failure, tr("%1 is in use by another program.").arg(device));
        break;
    case OpenFailure::BadSettings:
        fail(failure, tr("%1 refused the line settings: %2").arg(device, detail));
        break;
    default:
        fail(OpenFailure::Other, tr("%1 cannot be opened: %2").arg(device, detail));
        break;
    }
}

bool MSComm::setPortOpen(bool open)
{
    if (!open) {
        ++m_closings;
        if (m_opening)
            settle();
        if (m_port.isOpen())
            m_port.close();
        m_lock.release();
        m_net.close();
        m_endpointLock.release();
        return true;
    }
    if (portOpen())
        return true;
    if (!m_opening) {
        switch (beginOpen()) {
        case Begun::Opened:
            emit opened();
            return true;
        case Begun::Failed:
            emit openFailed();
            return false;
        case Begun::Pending:
            m_opening = true;
            break;
        }
    }
    // Keep painting and serving sockets, but hold back the user's clicks and
    // keys until the line is settled.
    QEventLoop loop;
    connect(this, &MSComm::openSettled, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return portOpen();
}

void MSComm::startOpen()
{
    if (m_opening)
        return;
    m_opening = true;
    if (portOpen()) {
        reportLater(&MSComm::opened);
        return;
    }
    switch (beginOpen()) {
    case Begun::Opened:
        reportLater(&MSComm::opened);
        break;
    case Begun::Failed:
        reportLater(&MSComm::openFailed);
        break;
    case Begun::Pending:
        break;
    }
}

void MSComm::reportLater(void (MSComm::*signal)())
{
    const quint64 closings = m_closings;
    QMetaObject::invokeMethod(
        this,
        [this, closings, signal]() {
            if (!m_opening || closings != m_closings)
                return;
            settle();
            (this->*signal)();
        },
        Qt::QueuedConnection);
}

void MSComm::settle()
{
    m_opening = false;
    emit openSettled(QPrivateSignal());
}

void MSComm::handleNetOpened()
{
    m_commEvent = 0;
    settle();
    emit opened();
}

void MSComm::handleNetOpenFailed()
{
    m_endpointLock.release();
    failNetwork(m_openingDevice);
    settle();
    emit openFailed();
}

MSComm::Begun MSComm::beginOpen()
{
    fail(OpenFailure::None, QString());
    const QString device = m_device.isEmpty() ? PortMap::deviceForPort(m_commPort) : m_device;
    if (device.isEmpty()) {
        fail(OpenFailure::BadPortNumber, tr("%1 is not a port number.").arg(m_commPort));
        return Begun::Failed;
    }
    LineSettings line;
    if (!LineSettings::parse(m_settings, &line)) {
        fail(OpenFailure::BadSettings,
             tr("The line settings \"%1\" cannot be used.").arg(m_settings));
        return Begun::Failed;
    }
    if (NetLine::isAddress(device))
        return openNetwork(device, line);
#ifndef Q_OS_WIN
    if (!QFileInfo::exists(device)) {
        failOn(OpenFailure::NoDevice, device);
        return Begun::Failed;
    }
    switch (m_lock.take(device, {PortMap::usbAdapterFolder()})) {
    case LineLock::Result::Taken:
        break;
    case LineLock::Result::InUse:
        failOn(OpenFailure::InUse, device);
        return Begun::Failed;
    case LineLock::Result::Failed:
        if (m_lock.error() == ENOENT || m_lock.error() == ENODEV || m_lock.error() == ENXIO)
            failOn(OpenFailure::NoDevice, device);
        else if (m_lock.error() == EACCES || m_lock.error() == EPERM)
            failOn(OpenFailure::PermissionDenied, device);
        else
            failOn(OpenFailure::Other, device,
                   QString::fromLocal8Bit(std::strerror(m_lock.error())));
        return Begun::Failed;
    }
    // Through a link (a USB adapter's stable name) the device itself is
    // opened, so that its lock file is the one other programs see.
    m_port.setPortName(m_lock.device());
#else
    m_port.setPortName(device);
#endif
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port.error();
        const QString detail = m_port.errorString();
        m_port.clearError();
        m_lock.release();
        if (error == QSerialPort::DeviceNotFoundError) {
            failOn(OpenFailure::NoDevice, device);
        } else if (error == QSerialPort::PermissionError) {
            // The serial library reports a lock file held by another program,
            // and a device another program opened for exclusive access
            // (EBUSY), as a permission error too. Only a device this user
            // may not open is a matter of permissions.
            failOn(mayOpen(device) ? OpenFailure::InUse : OpenFailure::PermissionDenied, device);
        } else {
            failOn(OpenFailure::Other, device, detail);
        }
        return Begun::Failed;
    }
    const bool configured = m_port.setBaudRate(line.baud)
                            && m_port.setParity(serialParity(line.parity))
                            && m_port.setDataBits(QSerialPort::DataBits(line.dataBits))
                            && m_port.setStopBits(serialStopBits(line.stopBits))
                            && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        const QString detail = m_port.errorString();
        m_port.close();
        m_port.clearError();
        m_lock.release();
        failOn(OpenFailure::BadSettings, device, detail);
        return Begun::Failed;
    }
    m_lock.announce();
    m_commEvent = 0;
    return Begun::Opened;
}

QString MSComm::entryName(const QString &device) const
{
    if (!m_device.isEmpty())
        return tr("The address %1").arg(device);
    return tr("The [Ports] entry COM%1=%2").arg(m_commPort).arg(device);
}

MSComm::Begun MSComm::openNetwork(const QString &device, const LineSettings &line)
{
    NetLine::Endpoint endpoint;
    QString why;
    if (!NetLine::parse(device, &endpoint, &why)) {
        fail(OpenFailure::BadAddress, tr("%1 cannot be used: %2.").arg(entryName(device), why));
        return Begun::Failed;
    }
    // Programs on this machine take turns on an endpoint; across machines
    // the server decides.
    if (!m_endpointLock.take(endpoint.host, endpoint.port)) {
        failOn(OpenFailure::InUse, device);
        return Begun::Failed;
    }
    m_openingDevice = device;
    if (m_net.startOpen(endpoint, line, networkOpenMs))
        return Begun::Pending;
    m_endpointLock.release();
    failNetwork(device);
    return Begun::Failed;
}

void MSComm::failNetwork(const QString &device)
{
    const QString text = QStringLiteral("%1: %2.").arg(device, m_net.failureText());
    switch (m_net.failure()) {
    case NetLine::Failure::HostNotFound:
        fail(OpenFailure::HostNotFound, text);
        break;
    case NetLine::Failure::Refused:
        fail(OpenFailure::ConnectionRefused, text);
        break;
    case NetLine::Failure::NoAnswer:
        fail(OpenFailure::NoAnswer, text);
        break;
    case NetLine::Failure::SettingsRefused:
        fail(OpenFailure::SettingsRefused, text);
        break;
    default:
        fail(OpenFailure::Other, text);
        break;
    }
}

bool MSComm::output(const QString &text)
{
    const QByteArray bytes = text.toLatin1();
    if (m_net.isOpen())
        return m_net.write(bytes);
    if (!m_port.isOpen())
        return false;
    return m_port.write(bytes) == bytes.size();
}

qint64 MSComm::inBufferCount() const
{
    if (m_net.isOpen())
        return m_net.bytesAvailable();
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

QString MSComm::input()
{
    if (m_net.isOpen())
        return QString::fromLatin1(m_net.readAll());
    if (!m_port.isOpen())
        return {};
    return QString::fromLatin1(m_port.readAll());
}

void MSComm::handleReadyRead()
{
    if (m_port.bytesAvailable() <= 0 && m_net.bytesAvailable() <= 0)
        return;
    m_commEvent = comEvReceive;
    emit OnComm();
}

void MSComm::handleError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return;
    if (!m_port.isOpen())
        return; // open failures are reported by setPortOpen
    // A line that reports an error once keeps reporting it at full speed;
    // close it now and treat the link as gone. What the serial library
    // says then is the last system error, often unrelated ("No such file
    // or directory"): say what became of the line instead.
    QString reason = m_port.errorString();
    switch (m_lock.loss()) {
    case LineLock::Loss::HungUp:
        reason = tr("the far end hung up");
        break;
    case LineLock::Loss::DeviceGone:
        reason = tr("the device went away");
        break;
    case LineLock::Loss::None:
        break;
    }
    m_port.close();
    m_port.clearError();
    m_lock.release();
    emit linkLost(reason);
}

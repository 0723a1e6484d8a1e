#include "ports/portsession.h"

#include "facts/projector.h"
#include "ports/portmap.h"
#include "ports/portreason.h"
#include "store/storedchoices.h"

#include <QFileInfo>

PortSession::PortSession(MSComm &port, QObject *parent)
    : QObject(parent)
    , m_port(port)
{
    connect(&m_port, &MSComm::linkLost, this, &PortSession::linkLost);
    connect(&m_port, &MSComm::opened, this, &PortSession::portOpened);
    connect(&m_port, &MSComm::openFailed, this, &PortSession::reopenFailed);
    connect(&m_reconnector, &Reconnector::tryNow, this, &PortSession::tryReopen);
}

void PortSession::portOpened()
{
    m_openDevice =
        m_port.device().isEmpty() ? PortMap::deviceForPort(m_port.commPort()) : m_port.device();
    m_lost = false;
    const bool byItself = m_reopening;
    m_reopening = false;
    if (byItself)
        m_reconnector.succeeded();
    else
        m_reconnector.stop();
    emit opened(m_openDevice, byItself);
}

void PortSession::reopenFailed()
{
    // Only a try of the reconnector's: a person's open reports its own
    // failure.
    if (!m_reopening)
        return;
    m_reopening = false;
    m_port.setDevice(QString());
    m_reconnector.failed();
}

void PortSession::linkLost()
{
    m_lost = true;
    m_lostPort = qint16(m_port.commPort());
    m_lostBaud = BaudCode;
    m_lostDevice = m_openDevice;
    if (!m_dialogOpen)
        m_reconnector.start(m_lostDevice);
}

void PortSession::tryReopen()
{
    if (m_port.isOpening())
        return; // a try is under way; its end decides
    if (!m_lost || m_dialogOpen || m_port.portOpen()) {
        m_reconnector.stop();
        return;
    }
    ComPortNo = m_lostPort;
    BaudCode = m_lostBaud;
    applyBaudCode();
    m_port.setCommPort(m_lostPort);
    // The very device that was lost, whatever the port number stands for now.
    m_port.setDevice(m_lostDevice);
    // Started, not waited for: a network endpoint may take its whole limit
    // to answer, and the window stays usable meanwhile. portOpened() or
    // reopenFailed() follows.
    m_reopening = true;
    m_port.startOpen();
}

void PortSession::closePort()
{
    // A try of the reconnector's still under way ends here, unannounced:
    // whatever the person does next decides the port.
    if (m_port.isOpening()) {
        m_reopening = false;
        m_port.setPortOpen(false);
    }
    if (!m_port.portOpen())
        return;
    m_port.setPortOpen(false);
    emit closed();
}

void PortSession::close()
{
    m_lost = false;
    m_reconnector.stop();
    closePort();
}

void PortSession::dialogClosed()
{
    m_dialogOpen = false;
    if (m_lost && !m_port.portOpen())
        m_reconnector.start(m_lostDevice);
}

bool PortSession::loadStored()
{
    ComPortNo = StoredChoices::comPort();
    if (!Projector::isPort(ComPortNo))
        return false;
    BaudCode = StoredChoices::baudCode();
    return true;
}

QString PortSession::openStored()
{
    applyBaudCode();
    return open();
}

QString PortSession::openDevice(const QString &device, int number)
{
    applyBaudCode();
    ComPortNo = qint16(number);
    return openOn(device, number);
}

void PortSession::applyBaudCode()
{
    m_port.setSettings(Projector::settingsFor(BaudCode));
    BaudCode = Projector::normalBaudCode(BaudCode);
}

QString PortSession::open()
{
    const int number = ComPortNo;
    // Only the program's port numbers are ports here; a number outside them
    // fails like a port that cannot be opened.
    if (!Projector::isPort(number))
        return PortReason::detail(MSComm::OpenFailure::BadPortNumber, number, QString(), QString(),
                                  QString());
    return openOn(QString(), number);
}

QString PortSession::openOn(const QString &device, int number)
{
    // A new number and settings only apply after closing an open port.
    closePort();
    m_port.setCommPort(number);
    m_port.setDevice(device);
    if (m_port.setPortOpen(true))
        return QString();
    const QString reached = device.isEmpty() ? PortMap::deviceForPort(number) : device;
    return PortReason::detail(m_port.openFailure(), number, reached, QFileInfo(reached).group(),
                              m_port.openFailureText());
}

void PortSession::beginChange()
{
    m_dialogOpen = true;
    m_reconnector.stop();
    closePort();
    PrevBaudCode = BaudCode;
    PrevComPortNo = ComPortNo;
}

QString PortSession::accept()
{
    m_port.setSettings(Projector::settingsFor(BaudCode));
    if (ComPortNo == 0)
        return tr("No port is chosen: choose one of COM1 to COM5, or type a number "
                  "from %1 to %2 next to OTHER.")
            .arg(Projector::FirstPort)
            .arg(Projector::LastPort);
    const QString failure = open();
    if (!failure.isEmpty())
        return failure;
    StoredChoices::saveComPort(ComPortNo);
    StoredChoices::saveBaudCode(BaudCode);
    return QString();
}

PortSession::CancelResult PortSession::cancel(QString *why)
{
    ComPortNo = PrevComPortNo;
    if (ComPortNo != 0 && ComPortNo <= Projector::LastPort) {
        BaudCode = PrevBaudCode;
        applyBaudCode();
        *why = open();
        return why->isEmpty() ? CancelResult::Reopened : CancelResult::Failed;
    }
    closePort();
    *why = tr("There is no previous port to go back to: choose a port and press OK.");
    return CancelResult::NoPrevious;
}

#include "ports/portsession.h"

#include "facts/projector.h"
#include "ports/portmap.h"
#include "ports/portreason.h"
#include "store/storedchoices.h"

#include <QFileInfo>

PortSession::PortSession(MSComm &port, QObject *parent)
    : QObject(parent)
    , m_port(port)
{}

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
    // A new number and settings only apply after closing an open port.
    if (m_port.portOpen())
        m_port.setPortOpen(false);
    m_port.setCommPort(number);
    if (m_port.setPortOpen(true))
        return QString();
    return openFailureReason(m_port, number);
}

QString PortSession::openFailureReason(const MSComm &port, int number)
{
    const QString device = PortMap::deviceForPort(number);
    return PortReason::detail(port.openFailure(), number, device, QFileInfo(device).group(),
                              port.openFailureText());
}

void PortSession::beginChange()
{
    if (m_port.portOpen())
        m_port.setPortOpen(false);
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
    if (m_port.portOpen())
        m_port.setPortOpen(false);
    *why = tr("There is no previous port to go back to: choose a port and press OK.");
    return CancelResult::NoPrevious;
}

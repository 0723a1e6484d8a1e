#include "ports/portreason.h"

#include "facts/projector.h"

#include <QCoreApplication>

namespace PortReason {

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("PortReason", text);
}
} // namespace

QString portAndDevice(int port, const QString &device)
{
    if (port < 1 && !device.isEmpty())
        return device;
    const QString com = QStringLiteral("COM%1").arg(port);
    if (device.isEmpty() || device.compare(com, Qt::CaseInsensitive) == 0)
        return com;
    return QStringLiteral("%1 (%2)").arg(com, device);
}

QString detail(MSComm::OpenFailure failure, int port, const QString &device, const QString &group,
               const QString &otherText)
{
    const QString where = portAndDevice(port, device);
    switch (failure) {
    case MSComm::OpenFailure::BadPortNumber:
        return tr("%1 is not a port number from %2 to %3.")
            .arg(port)
            .arg(Projector::FirstPort)
            .arg(Projector::LastPort);
    case MSComm::OpenFailure::NoDevice:
        return tr("%1: the device does not exist.").arg(where);
    case MSComm::OpenFailure::PermissionDenied:
#ifdef Q_OS_WIN
        Q_UNUSED(group);
        return tr("%1: permission denied.").arg(where);
#else
        if (group.isEmpty() || group == QLatin1String("root"))
            return tr("%1: permission denied. Your user must be a member of the group that "
                      "owns the device, usually \"dialout\"; log in again after joining it.")
                .arg(where);
        return tr("%1: permission denied. Your user must be a member of the group \"%2\" "
                  "that owns the device; log in again after joining it.")
            .arg(where, group);
#endif
    case MSComm::OpenFailure::InUse:
        return tr("%1 is in use by another program.").arg(where);
    case MSComm::OpenFailure::HostNotFound:
        return tr("%1: host not found.").arg(where);
    case MSComm::OpenFailure::ConnectionRefused:
        return tr("%1: connection refused.").arg(where);
    case MSComm::OpenFailure::NoAnswer:
        return tr("%1: no answer within %2 seconds.").arg(where).arg(MSComm::networkOpenMs / 1000);
    case MSComm::OpenFailure::SettingsRefused: {
        // The server's refusal says what was asked for and what it set.
        QString why = otherText;
        if (why.startsWith(device + QLatin1String(": ")))
            why.remove(0, device.size() + 2);
        if (why.isEmpty())
            return tr("%1: the server refused the line settings.").arg(where);
        return QStringLiteral("%1: %2").arg(where, why);
    }
    case MSComm::OpenFailure::None:
    case MSComm::OpenFailure::BadAddress:
    case MSComm::OpenFailure::BadSettings:
    case MSComm::OpenFailure::Other:
        break;
    }
    return otherText.isEmpty() ? tr("%1 cannot be opened.").arg(where) : otherText;
}

} // namespace PortReason

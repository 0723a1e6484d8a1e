#include "store/storedchoices.h"

#include "facts/projector.h"
#include "store/settingsstore.h"

namespace StoredChoices {

namespace {

// The keys as the settings file has always named them.
const QString kComPort = QStringLiteral("ComPort");
const QString kBaudRate = QStringLiteral("BaudRate");
const QString kAddress = QStringLiteral("ADRESS");

bool g_keepNothing = false;

} // namespace

qint16 comPort()
{
    return portNumberFromText(SettingsStore::readStartUp(kComPort, QString()));
}

quint8 baudCode()
{
    return baudCodeFromText(SettingsStore::readStartUp(kBaudRate, QString()));
}

QString address()
{
    const QString stored = SettingsStore::readStartUp(kAddress, QString());
    return QString::fromLatin1(Projector::AddressOptions[Projector::addressOption(stored)].prefix);
}

void keepNothing()
{
    g_keepNothing = true;
}

bool saveComPort(int port)
{
    if (g_keepNothing)
        return true;
    return SettingsStore::saveStartUp(kComPort, QString::number(port));
}

bool saveBaudCode(quint8 code)
{
    if (g_keepNothing)
        return true;
    return SettingsStore::saveStartUp(kBaudRate, QString::number(code));
}

bool saveAddress(const QString &prefix)
{
    if (g_keepNothing)
        return true;
    return SettingsStore::saveStartUp(kAddress, prefix);
}

} // namespace StoredChoices

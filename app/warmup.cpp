#include "app/warmup.h"

#include <QtGlobal>

#ifdef ORVA_WARM_UP
#include <QDBusConnection>
#include <QString>

#include <fontconfig/fontconfig.h>
#endif

#include <system_error>

namespace {

#ifdef ORVA_WARM_UP
// The accessibility bridge, and so the session bus, belongs to the desktop
// platforms; the offscreen and other test platforms never connect.
bool platformUsesBus()
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (platform.startsWith(QLatin1String("xcb")))
        return qEnvironmentVariableIsSet("DISPLAY");
    if (platform.startsWith(QLatin1String("wayland")))
        return qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    return platform.isEmpty()
           && (qEnvironmentVariableIsSet("DISPLAY")
               || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"));
}
#endif

} // namespace

StartupWarmUp::StartupWarmUp()
{
#ifdef ORVA_WARM_UP
    const bool bus = platformUsesBus();
    // A thread that cannot be started only means the toolkit does both
    // itself, as it would anyway.
    try {
        m_thread = std::thread([bus]() {
            // The bus first: it is mostly waiting, and the configuration is
            // not needed until the first paint.
            if (bus)
                QDBusConnection::sessionBus();
            FcInit();
        });
    } catch (const std::system_error &) {
    }
#endif
}

StartupWarmUp::~StartupWarmUp()
{
    wait();
}

void StartupWarmUp::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

#include "SessionBusWarmUp.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <system_error>

namespace wendrel {

SessionBusWarmUp::SessionBusWarmUp()
{
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb") && !platform.startsWith(QLatin1String("wayland")))
        return; // no bridge to screen readers asks for the bus there
    try {
        connector = std::thread([] { QDBusConnection::sessionBus(); });
    } catch (const std::system_error &) {
        // No thread: the bridge connects by itself, as usual.
    }
}

SessionBusWarmUp::~SessionBusWarmUp()
{
    if (connector.joinable())
        connector.join();
}

} // namespace wendrel

#include "AtspiFieldWatcher.h"

#include <QDBusArgument>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>

namespace wendrel {

namespace {
const QString connectionName = QStringLiteral("wendrel-field-watcher");
const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
constexpr uint focusedState = 12; // ATSPI_STATE_FOCUSED
} // namespace

FieldKind fieldKindOfRole(uint role)
{
    switch (role) {
    case 40: // password text
        return FieldKind::Password;
    case 60: // terminal
        return FieldKind::Terminal;
    case 61: // text
    case 73: // paragraph
    case 77: // edit bar
    case 79: // entry
    case 82: // document frame
    case 94: // document text
    case 95: // document web
    case 96: // document email
        return FieldKind::Text;
    default:
        return FieldKind::Unknown;
    }
}

AtspiFieldWatcher::AtspiFieldWatcher(QObject *parent) : QObject(parent) {}

AtspiFieldWatcher::~AtspiFieldWatcher()
{
    if (bus)
        QDBusConnection::disconnectFromBus(connectionName);
}

bool AtspiFieldWatcher::start()
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusReply<QString> address = QDBusConnection::sessionBus().call(call, QDBus::Block, 2000);
    if (!address.isValid() || address.value().isEmpty())
        return false;
    qDBusRegisterMetaType<QList<uint>>();
    bus = QDBusConnection::connectToBus(address.value(), connectionName);
    if (!bus->isConnected()) {
        bus.reset();
        QDBusConnection::disconnectFromBus(connectionName);
        return false;
    }
    connected = bus->connect(QString(), QString(), QStringLiteral("org.a11y.atspi.Event.Object"),
                             QStringLiteral("StateChanged"), this, SLOT(onStateChanged(QDBusMessage)));
    // Programs send focus events only when someone listens for them.
    QDBusMessage listen = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/registry"),
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
    listen << QStringLiteral("object:state-changed:focused") << QStringList() << bus->baseService();
    bus->asyncCall(listen);
    return connected;
}

void AtspiFieldWatcher::onStateChanged(const QDBusMessage &message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || arguments[0].toString() != QLatin1String("focused"))
        return;
    if (message.service() == bus->baseService())
        return;
    if (arguments[1].toInt() == 1) {
        focusService = message.service();
        focusPath = message.path();
        readRole(focusService, focusPath);
    } else if (message.service() == focusService && message.path() == focusPath) {
        ++generation;
        focusService.clear();
        focusPath.clear();
        setKind(FieldKind::Unknown);
    }
}

void AtspiFieldWatcher::readRole(const QString &service, const QString &path)
{
    const quint64 asked = ++generation;
    setKind(FieldKind::Unknown); // until the answer comes
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, accessibleInterface, QStringLiteral("GetRole"));
    auto *watcher = new QDBusPendingCallWatcher(bus->asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, asked](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (asked == generation && reply.isValid()) {
            focusKind = fieldKindOfRole(reply.value());
            setKind(focusKind);
        }
    });
}

void AtspiFieldWatcher::recheck()
{
    if (!bus || focusService.isEmpty()) {
        setKind(FieldKind::Unknown);
        return;
    }
    const quint64 asked = ++generation;
    setKind(FieldKind::Unknown);
    QDBusMessage call = QDBusMessage::createMethodCall(focusService, focusPath, accessibleInterface,
                                                       QStringLiteral("GetState"));
    auto *watcher = new QDBusPendingCallWatcher(bus->asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, asked](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QList<uint>> reply = *w;
        if (asked != generation)
            return;
        if (reply.isValid() && !reply.value().isEmpty() && (reply.value()[0] & (1u << focusedState)))
            setKind(focusKind);
        else
            focusService.clear();
    });
}

void AtspiFieldWatcher::setKind(FieldKind value)
{
    if (value == kind)
        return;
    kind = value;
    emit fieldKindChanged(kind);
}

} // namespace wendrel

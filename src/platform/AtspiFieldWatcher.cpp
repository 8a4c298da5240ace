#include "AtspiFieldWatcher.h"

#include <QDBusArgument>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>

namespace {
// An accessible object as AT-SPI names it: the bus name of its program and its object path.
struct AccessibleRef {
    QString service;
    QDBusObjectPath path;
};

QDBusArgument &operator<<(QDBusArgument &argument, const AccessibleRef &ref)
{
    argument.beginStructure();
    argument << ref.service << ref.path;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, AccessibleRef &ref)
{
    argument.beginStructure();
    argument >> ref.service >> ref.path;
    argument.endStructure();
    return argument;
}
} // namespace

Q_DECLARE_METATYPE(AccessibleRef)

namespace wendrel {

namespace {
const QString connectionName = QStringLiteral("wendrel-field-watcher");
const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
constexpr uint activeState = 1;   // ATSPI_STATE_ACTIVE
constexpr uint focusedState = 12; // ATSPI_STATE_FOCUSED
// How many objects of the active window are looked at for the focused one at start.
constexpr int searchLimit = 2000;
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
    // Every program's focus events (a program's bus name in the last argument would narrow
    // them to that program).
    listen << QStringLiteral("object:state-changed:focused") << QStringList() << QString();
    bus->asyncCall(listen);    findFocusedObject();
    return connected;
}

QList<std::pair<QString, QString>> AtspiFieldWatcher::childrenOf(const QString &service, const QString &path)
{
    QList<std::pair<QString, QString>> children;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, accessibleInterface, QStringLiteral("GetChildren"));
    const QDBusMessage reply = bus->call(call, QDBus::Block, 500);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return children;
    const QDBusArgument argument = reply.arguments().first().value<QDBusArgument>();
    QList<AccessibleRef> refs;
    argument >> refs;
    for (const AccessibleRef &ref : refs)
        children.append({ref.service, ref.path.path()});
    return children;
}

uint AtspiFieldWatcher::statesOf(const QString &service, const QString &path)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, accessibleInterface, QStringLiteral("GetState"));
    const QDBusReply<QList<uint>> reply = bus->call(call, QDBus::Block, 500);
    return reply.isValid() && !reply.value().isEmpty() ? reply.value().first() : 0;
}

// At start no focus event has come yet: the focused object of the active window is looked for
// (the accessibility bus answers for every program that has registered with it).
void AtspiFieldWatcher::findFocusedObject()
{
    qDBusRegisterMetaType<AccessibleRef>();
    qDBusRegisterMetaType<QList<AccessibleRef>>();
    const auto applications = childrenOf(QStringLiteral("org.a11y.atspi.Registry"),
                                         QStringLiteral("/org/a11y/atspi/accessible/root"));
    int looked = 0;
    for (const auto &application : applications) {
        if (application.first == bus->baseService())
            continue;
        for (const auto &window : childrenOf(application.first, application.second)) {
            if (!(statesOf(window.first, window.second) & (1u << activeState)))
                continue;
            QList<std::pair<QString, QString>> queue{window};
            while (!queue.isEmpty() && looked++ < searchLimit) {
                const auto object = queue.takeFirst();
                if (object != window && (statesOf(object.first, object.second) & (1u << focusedState))) {
                    focusService = object.first;
                    focusPath = object.second;
                    readRole(focusService, focusPath);
                    return;
                }
                queue += childrenOf(object.first, object.second);
            }
        }
    }
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

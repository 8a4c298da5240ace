#pragma once
// What kind of field has the focus, as the accessibility bus (AT-SPI) tells: the focused
// object's role is read whenever an object takes the focus. Text fields, entries and documents
// are text, a password field is a password field, a terminal a terminal; a focus that the bus
// does not report (a program without accessibility, no bus at all) is unknown, and keyboard
// mode learns nothing there.
#include "KeyOutput.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QList>
#include <optional>
#include <utility>

class QDBusMessage;

namespace wendrel {

// AT-SPI's role numbers and what they mean for typing; Unknown for every other role.
FieldKind fieldKindOfRole(uint role);

class AtspiFieldWatcher : public QObject {
    Q_OBJECT
public:
    explicit AtspiFieldWatcher(QObject *parent = nullptr);
    ~AtspiFieldWatcher() override;
    // Connects to the accessibility bus (its address from the session bus) and asks for focus
    // events; false when there is no such bus.
    bool start();
    bool isConnected() const { return connected; }
    FieldKind fieldKind() const { return kind; }
    // The active window changed: the field last reported is still the focus only if it still
    // has the focused state (a program without accessibility took the focus otherwise). The
    // kind is Unknown until the answer comes.
    void recheck();

signals:
    void fieldKindChanged(wendrel::FieldKind kind);

private slots:
    void onStateChanged(const QDBusMessage &message);

private:
    void setKind(FieldKind value);
    void readRole(const QString &service, const QString &path);
    void findFocusedObject();
    QList<std::pair<QString, QString>> childrenOf(const QString &service, const QString &path);
    uint statesOf(const QString &service, const QString &path);

    std::optional<QDBusConnection> bus;
    bool connected = false;
    FieldKind kind = FieldKind::Unknown;
    FieldKind focusKind = FieldKind::Unknown; // of the object that took the focus last
    QString focusService, focusPath;
    quint64 generation = 0; // answers for an older focus are dropped
};

} // namespace wendrel

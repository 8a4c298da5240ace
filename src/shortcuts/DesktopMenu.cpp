// GLib comes first: its headers use names that Qt's keywords would take.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "DesktopMenu.h"

#include <memory>

namespace wendrel {

namespace {

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

QList<MenuApplication> menuApplications()
{
    QList<MenuApplication> applications;
    GList *all = g_app_info_get_all();
    for (GList *item = all; item; item = item->next) {
        GAppInfo *info = G_APP_INFO(item->data);
        if (!G_IS_DESKTOP_APP_INFO(info) || !g_app_info_should_show(info))
            continue;
        GDesktopAppInfo *entry = G_DESKTOP_APP_INFO(info);
        const QString path = fromUtf8(g_desktop_app_info_get_filename(entry));
        const QString name = fromUtf8(g_app_info_get_name(info));
        if (path.isEmpty() || name.isEmpty())
            continue;
        // As GLib's own launcher decides: activated over D-Bus by its id when the entry says so.
        QString busName;
        const QString id = fromUtf8(g_app_info_get_id(info));
        if (g_desktop_app_info_get_boolean(entry, "DBusActivatable") && id.endsWith(QLatin1String(".desktop"))
            && g_dbus_is_name(id.chopped(8).toUtf8().constData()))
            busName = id.chopped(8);
        applications.append({name, fromUtf8(g_desktop_app_info_get_categories(entry)).split(u';', Qt::SkipEmptyParts),
                             path, busName});
    }
    g_list_free_full(all, g_object_unref);
    return applications;
}

} // namespace wendrel

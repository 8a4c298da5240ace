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
        applications.append({name, fromUtf8(g_desktop_app_info_get_categories(entry)).split(u';', Qt::SkipEmptyParts),
                             path});
    }
    g_list_free_full(all, g_object_unref);
    return applications;
}

} // namespace wendrel

// Applications able to open a file, through GIO (see GioApplications.h).
#include "app/platform/GioApplications.h"

#include <QSet>

#undef signals // GLib's headers use the name
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace perspix {

namespace {

QString fromUtf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QString takeString(char* text)
{
    const QString result = fromUtf8(text);
    g_free(text);
    return result;
}

ApplicationEntry entryOf(GAppInfo* info)
{
    ApplicationEntry entry;
    entry.id = fromUtf8(g_app_info_get_id(info));
    entry.name = fromUtf8(g_app_info_get_name(info));
    if (G_IS_DESKTOP_APP_INFO(info)) {
        GDesktopAppInfo* desktop = G_DESKTOP_APP_INFO(info);
        entry.location = fromUtf8(g_desktop_app_info_get_filename(desktop));
        entry.version = takeString(g_desktop_app_info_get_string(desktop, "X-AppVersion"));
        entry.specVersion = takeString(g_desktop_app_info_get_string(desktop, "Version"));
    }
    if (entry.location.isEmpty())
        entry.location = fromUtf8(g_app_info_get_executable(info));
    if (GIcon* icon = g_app_info_get_icon(info)) {
        if (G_IS_THEMED_ICON(icon)) {
            const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
            if (names && names[0])
                entry.iconName = QString::fromUtf8(names[0]);
        } else if (G_IS_FILE_ICON(icon)) {
            entry.iconName = takeString(g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon))));
        }
    }
    return entry;
}

} // namespace

QString GioApplications::contentTypeOfFile(const QString& path)
{
    GFile* file = g_file_new_for_path(path.toUtf8().constData());
    GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                        G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    QString type;
    if (info) {
        type = fromUtf8(g_file_info_get_content_type(info));
        g_object_unref(info);
    }
    g_object_unref(file);
    if (type.isEmpty())
        return type;
    // GIO's content types are MIME types on Linux; keep them so for the caller.
    return takeString(g_content_type_get_mime_type(type.toUtf8().constData()));
}

QList<ApplicationEntry> GioApplications::applicationsForType(const QString& contentType)
{
    QList<ApplicationEntry> entries;
    if (contentType.isEmpty())
        return entries;
    GList* list = g_app_info_get_all_for_type(contentType.toUtf8().constData());
    QSet<QString> seen;
    for (GList* node = list; node; node = node->next) {
        const ApplicationEntry entry = entryOf(G_APP_INFO(node->data));
        if (!seen.contains(entry.id)) {
            seen.insert(entry.id);
            entries.append(entry);
        }
    }
    g_list_free_full(list, g_object_unref);
    return entries;
}

std::optional<ApplicationEntry>
GioApplications::defaultApplicationForType(const QString& contentType)
{
    if (contentType.isEmpty())
        return std::nullopt;
    GAppInfo* info = g_app_info_get_default_for_type(contentType.toUtf8().constData(), FALSE);
    if (!info)
        return std::nullopt;
    const ApplicationEntry entry = entryOf(info);
    g_object_unref(info);
    return entry;
}

bool GioApplications::launch(const QString& applicationId, const QString& path, QString* error)
{
    GDesktopAppInfo* info = g_desktop_app_info_new(applicationId.toUtf8().constData());
    if (!info) {
        if (error)
            *error = QStringLiteral("No application %1").arg(applicationId);
        return false;
    }
    GFile* file = g_file_new_for_path(path.toUtf8().constData());
    GList* files = g_list_append(nullptr, file);
    GError* gerror = nullptr;
    const bool launched = g_app_info_launch(G_APP_INFO(info), files, nullptr, &gerror);
    if (!launched && error)
        *error = gerror ? QString::fromUtf8(gerror->message) : QStringLiteral("launch failed");
    if (gerror)
        g_error_free(gerror);
    g_list_free(files);
    g_object_unref(file);
    g_object_unref(info);
    return launched;
}

} // namespace perspix

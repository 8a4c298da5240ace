#include "SettingsFile.h"

#include "Files.h"

#include <QFile>

namespace wendrel {

namespace {
constexpr qsizetype maxLineLength = 79;
}

Settings parseSettings(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    QByteArray line = bytes.left(maxLineLength);
    const qsizetype lineEnd = line.indexOf('\n');
    if (lineEnd >= 0)
        line.truncate(lineEnd + 1); // the line keeps its line feed, as a C line read does
    Settings settings;
    settings.soundIndex = int(static_cast<signed char>(line[0])) - '0';
    settings.lightFlag = line.size() > 1 && line[1] == '0' ? 0 : 1;
    settings.completionFlag = line.size() > 2 && line[2] == '1' ? 1 : 0;
    settings.correctionFlag = line.size() > 3 && line[3] == '1' ? 1 : 0;
    settings.swipeFlag = line.size() > 4 && line[4] == '0' ? 0 : 1;
    return settings;
}

QByteArray formatSettings(const Settings &settings)
{
    const int sound = settings.soundIndex >= 0 && settings.soundIndex <= 5 ? settings.soundIndex : 0;
    QByteArray bytes = QByteArray::number(sound) + QByteArray::number(settings.lightFlag == 1 ? 1 : 0);
    const bool swipeSaid = settings.swipeFlag != 1;
    if (settings.completionFlag == 1 || settings.correctionFlag == 1 || swipeSaid)
        bytes += settings.completionFlag == 1 ? '1' : '0';
    if (settings.correctionFlag == 1 || swipeSaid)
        bytes += settings.correctionFlag == 1 ? '1' : '0';
    if (swipeSaid)
        bytes += settings.swipeFlag == 1 ? '1' : '0';
    return bytes;
}

Settings readSettingsFile(const QString &path)
{
    QFile file(path);
    if (!openRegularFile(file))
        return {};
    return parseSettings(file.read(maxLineLength));
}

bool writeSettingsFile(const QString &path, const Settings &settings)
{
    return replaceFile(path, formatSettings(settings));
}

} // namespace wendrel

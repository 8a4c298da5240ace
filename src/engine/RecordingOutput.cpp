#include "RecordingOutput.h"

namespace wendrel {

namespace {

void addModifiers(QJsonObject &send, SentModifiers modifiers)
{
    if (modifiers.ctrl)
        send.insert(QStringLiteral("ctrl"), true);
    if (modifiers.shift)
        send.insert(QStringLiteral("shift"), true);
    if (modifiers.alt)
        send.insert(QStringLiteral("alt"), true);
}

QString modifierPrefix(const QJsonObject &send)
{
    QString prefix;
    if (send.value(QStringLiteral("ctrl")).toBool())
        prefix += QStringLiteral("Ctrl+");
    if (send.value(QStringLiteral("shift")).toBool())
        prefix += QStringLiteral("Shift+");
    if (send.value(QStringLiteral("alt")).toBool())
        prefix += QStringLiteral("Alt+");
    return prefix;
}

// Deletes count characters (a surrogate pair is one) from the end of text.
void deleteCharacters(QString &text, int count)
{
    for (; count > 0 && !text.isEmpty(); --count) {
        const bool pair = text.size() >= 2 && text.back().isLowSurrogate() && text[text.size() - 2].isHighSurrogate();
        text.chop(pair ? 2 : 1);
    }
}

} // namespace

QString sentKeyName(SentKey key)
{
    switch (key) {
    case SentKey::BackSpace: return QStringLiteral("BackSpace");
    case SentKey::Return: return QStringLiteral("Return");
    case SentKey::Tab: return QStringLiteral("Tab");
    case SentKey::Escape: return QStringLiteral("Escape");
    case SentKey::Left: return QStringLiteral("Left");
    case SentKey::Right: return QStringLiteral("Right");
    case SentKey::Up: return QStringLiteral("Up");
    case SentKey::Down: return QStringLiteral("Down");
    case SentKey::Home: return QStringLiteral("Home");
    case SentKey::End: return QStringLiteral("End");
    case SentKey::Delete: return QStringLiteral("Delete");
    }
    return {};
}

void RecordingOutput::sendText(const QString &text)
{
    recorded.append(QJsonObject{{QStringLiteral("send"), QStringLiteral("text")}, {QStringLiteral("text"), text}});
    field += text;
}

void RecordingOutput::sendKey(SentKey key, SentModifiers modifiers)
{
    QJsonObject send{{QStringLiteral("send"), QStringLiteral("key")}, {QStringLiteral("key"), sentKeyName(key)}};
    addModifiers(send, modifiers);
    recorded.append(send);
    if (modifiers == SentModifiers{}) {
        if (key == SentKey::BackSpace)
            deleteCharacters(field, 1);
        else if (key == SentKey::Return)
            field += u'\n';
    }
}

void RecordingOutput::sendShortcut(char16_t ch, SentModifiers modifiers)
{
    QJsonObject send{{QStringLiteral("send"), QStringLiteral("shortcut")}, {QStringLiteral("key"), QString(QChar(ch))}};
    addModifiers(send, modifiers);
    recorded.append(send);
}

void RecordingOutput::deleteBefore(int count)
{
    recorded.append(QJsonObject{{QStringLiteral("send"), QStringLiteral("delete")}, {QStringLiteral("count"), count}});
    deleteCharacters(field, count);
}

QString RecordingOutput::log() const
{
    QStringList parts;
    for (const QJsonObject &send : recorded) {
        const QString kind = send.value(QStringLiteral("send")).toString();
        if (kind == QLatin1String("text"))
            parts.append(QStringLiteral("text:") + send.value(QStringLiteral("text")).toString());
        else if (kind == QLatin1String("delete"))
            parts.append(QStringLiteral("delete:%1").arg(send.value(QStringLiteral("count")).toInt()));
        else
            parts.append(QStringLiteral("key:") + modifierPrefix(send) + send.value(QStringLiteral("key")).toString());
    }
    return parts.join(u'|');
}

} // namespace wendrel

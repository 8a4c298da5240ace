#include "KeyFaces.h"

namespace wendrel {

KeyFaces::KeyFaces(SessionClock &clock, std::function<void(const QList<int> &)> changed)
    : clock(clock), notify(std::move(changed))
{
    for (int i = 0; i < keyCount; ++i)
        captions[size_t(i)] = captionFor(i, KeyModes{});
}

KeyFaces::~KeyFaces()
{
    if (litTimer)
        clock.cancel(litTimer);
}

QString KeyFaces::captionFor(int keyIndex, const KeyModes &modes)
{
    const KeyDef &key = keyTable()[size_t(keyIndex)];
    if (modes.keyboardMode && !modes.fn) {
        // Load and Save act on the note pad's own text; in keyboard mode they send Esc and Tab.
        switch (key.role) {
        case KeyRole::Load: return QStringLiteral("Esc");
        case KeyRole::Save: return QStringLiteral("Tab");
        case KeyRole::Shortcut: return QStringLiteral("Ctrl");
        default: break;
        }
    }
    return keyCaption(key, modes.upperCaseLabels, modes.shift, modes.fn);
}

void KeyFaces::relabel(const KeyModes &modes)
{
    QList<int> changedKeys;
    for (int i = 0; i < keyCount; ++i) {
        QString next = captionFor(i, modes);
        if (next != captions[size_t(i)]) {
            captions[size_t(i)] = std::move(next);
            changedKeys.append(i);
        }
    }
    if (!changedKeys.isEmpty())
        notify(changedKeys);
}

void KeyFaces::light(int keyIndex)
{
    if (!lightOn || !keyTable()[size_t(keyIndex)].lights)
        return;
    lit[size_t(keyIndex)] = true;
    restartLitTimer();
    notify({keyIndex});
}

void KeyFaces::setDefaultLook(int keyIndex)
{
    defaultLook[size_t(keyIndex)] = true;
    notify({keyIndex});
}

void KeyFaces::clearDefaultLook(int keyIndex)
{
    if (keyIndex < 0 || keyIndex >= keyCount || !defaultLook[size_t(keyIndex)])
        return;
    defaultLook[size_t(keyIndex)] = false;
    notify({keyIndex});
}

Rgb KeyFaces::colour(int keyIndex, const KeyModes &modes) const
{
    const KeyDef &key = keyTable()[size_t(keyIndex)];
    if (lit[size_t(keyIndex)])
        return litColour;
    const bool modeOn = (key.role == KeyRole::Fn && modes.fn) || (key.role == KeyRole::Caps && modes.caps)
        || (key.role == KeyRole::Shift && modes.shift)
        || (key.role == KeyRole::Shortcut && modes.ctrl && modes.keyboardMode);
    return modeOn ? modeColour : key.face;
}

Rgb KeyFaces::colourAsPainted(int keyIndex, const KeyModes &modes)
{
    if (lit[size_t(keyIndex)])
        restartLitTimer();
    return colour(keyIndex, modes);
}

void KeyFaces::reset(const KeyModes &modes)
{
    if (litTimer) {
        clock.cancel(litTimer);
        litTimer = 0;
    }
    lit.fill(false);
    defaultLook.fill(false);
    relabel(modes);
    QList<int> all;
    for (int i = 0; i < keyCount; ++i)
        all.append(i);
    notify(all);
}

void KeyFaces::restartLitTimer()
{
    if (litTimer)
        clock.cancel(litTimer);
    litTimer = clock.callAfter(litMs, [this] { onLitTimer(); });
}

void KeyFaces::onLitTimer()
{
    litTimer = 0;
    QList<int> changedKeys;
    for (int i = 0; i < keyCount; ++i) {
        if (lit[size_t(i)]) {
            lit[size_t(i)] = false;
            defaultLook[size_t(i)] = false;
            changedKeys.append(i);
        }
    }
    if (!changedKeys.isEmpty())
        notify(changedKeys);
}

} // namespace wendrel

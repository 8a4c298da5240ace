#pragma once
// A KeyOutput that sends nothing: it records what keyboard mode would send, and plays it on a
// plain text field of its own (the caret at its end), so that wendrel-type and the tests see
// what a receiving program would hold. Qt Core only.
#include "KeyOutput.h"

#include <QJsonObject>
#include <QList>
#include <QString>

namespace wendrel {

// The key's name as the sends are written: "BackSpace", "Return", "Tab", "Escape", "Left", ...
QString sentKeyName(SentKey key);

class RecordingOutput : public KeyOutput {
public:
    void sendText(const QString &text) override;
    void sendKey(SentKey key, SentModifiers modifiers = {}) override;
    void sendShortcut(char16_t ch, SentModifiers modifiers) override;
    void deleteBefore(int count) override;

    // Each send, in order, as one JSON object: {"send": "text", "text": "The "},
    // {"send": "delete", "count": 3}, {"send": "key", "key": "Tab"} or
    // {"send": "shortcut", "key": "z", "ctrl": true, "shift": true} (modifiers only when held).
    const QList<QJsonObject> &sends() const { return recorded; }
    // The same, short, separated by "|": "text:The |delete:3|key:Tab|key:Shift+Left|ctrl+shift+z".
    QString log() const;
    // Forgets the sends (the field's text stays).
    void clearLog() { recorded.clear(); }

    // The receiving field: the text before its caret, as the sends left it. A key the field
    // cannot follow here (Tab, Esc, an arrow, a shortcut) leaves it as it was.
    const QString &fieldText() const { return field; }
    void setFieldText(const QString &text) { field = text; }

private:
    QList<QJsonObject> recorded;
    QString field;
};

} // namespace wendrel

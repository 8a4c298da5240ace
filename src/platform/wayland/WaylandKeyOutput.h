#pragma once
// Keyboard mode's sender on Wayland. While a text field that speaks text-input has the focus
// (the input method is active), text is committed through the input method and deletions are
// the input method's deletions of UTF-8 bytes before the caret; keys that are keys (Return,
// arrows, Esc, Tab, Ctrl+letter) and everything typed where no text-input field is active go
// through the virtual keyboard. One queue keeps them in order; keys on the virtual keyboard are
// some milliseconds apart, since receivers lose keys of fast bursts.
#include "KeyOutput.h"

#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>
#include <variant>

namespace wendrel {

class InputMethod;
class VirtualKeyboard;

class WaylandKeyOutput : public QObject, public KeyOutput {
    Q_OBJECT
public:
    static constexpr int keyGapMs = 10;

    WaylandKeyOutput(InputMethod &inputMethod, VirtualKeyboard &keyboard, QObject *parent = nullptr);

    void sendText(const QString &text) override;
    void sendKey(SentKey key, SentModifiers modifiers = {}) override;
    void sendShortcut(char16_t ch, SentModifiers modifiers) override;
    // count: code points, as BackSpaces delete them.
    void deleteBefore(int count) override;
    // Through the input method, the bytes of UTF-8 of the text deleted.
    void deleteTextBefore(const QString &deleted) override;

    // Nothing waits to be sent.
    bool isIdle() const { return steps.isEmpty() && !gap.isActive(); }

signals:
    // The field's text before the caret changed by something other than Wendrel's own typing
    // (the user moved the caret, the program changed its text), or a new field got the focus:
    // the text as the field reports it (null: not known).
    void fieldTextChanged(const QString &textBeforeCaret);

private:
    struct Commit { QString text; };
    struct Delete { int bytes; };
    struct Key { uint32_t keysym; uint32_t modifiers; };
    using Step = std::variant<Commit, Delete, Key>;

    void enqueue(Step step);
    void run();
    void fieldStateChanged();
    void tapKeys(const QString &text, uint32_t modifiers);

    InputMethod &inputMethod;
    VirtualKeyboard &keyboard;
    QQueue<Step> steps;
    QTimer gap;         // the pause after a key of the virtual keyboard
    QTimer settle;      // commits the field has not answered are forgotten after a while
    int unanswered = 0; // commits sent whose new state the field has not reported yet
    QString expectedBefore; // the field's text before the caret as Wendrel's typing left it
    bool beforeKnown = false;
};

} // namespace wendrel

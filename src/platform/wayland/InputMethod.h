#pragma once
// The input-method protocol (zwp_input_method_v2) as keyboard mode uses it: the compositor
// tells when a text field that speaks text-input has the focus (activate, deactivate), what is
// around its caret and what kind of field it is; Wendrel commits text into it and deletes
// around the caret. State changes take effect at the compositor's "done".
#include <QByteArray>
#include <QObject>
#include <QString>

struct zwp_input_method_v2;

namespace wendrel {

class WaylandConnection;

// text-input v3's content purpose and hints, as the compositor passes them on.
namespace ContentPurpose {
enum : uint32_t { Normal, Alpha, Digits, Number, Phone, Url, Email, Name, Password, Pin, Date, Time, DateTime, Terminal };
}
namespace ContentHint {
enum : uint32_t {
    Completion = 0x1, Spellcheck = 0x2, AutoCapitalization = 0x4, Lowercase = 0x8, Uppercase = 0x10,
    Titlecase = 0x20, HiddenText = 0x40, SensitiveData = 0x80, Latin = 0x100, Multiline = 0x200
};
}

struct InputMethodState {
    bool active = false;
    bool hasSurroundingText = false;
    QByteArray surroundingText; // UTF-8, as the field sent it (possibly only a part of its text)
    int cursor = 0, anchor = 0; // byte offsets into surroundingText
    uint32_t hint = 0, purpose = ContentPurpose::Normal;
    // The text before the caret (before the selection's start), or a null string when unknown.
    QString textBeforeCaret() const;
};

class InputMethod : public QObject {
    Q_OBJECT
public:
    InputMethod(WaylandConnection &connection, QObject *parent = nullptr);
    ~InputMethod() override;

    // Another input method already serves the seat: this one gets nothing.
    bool isAvailable() const { return available; }
    bool isActive() const { return current.active; }
    const InputMethodState &state() const { return current; }

    // Text at the caret, replacing the selection; sent with commit().
    void commitString(const QString &text);
    // Deletes this many bytes of UTF-8 before the caret; sent with commit().
    void deleteBefore(int bytes);
    // Applies what was asked since the last commit.
    void commit();

signals:
    void activated();
    void deactivated();
    // The field's text, caret or kind changed (a "done" while active).
    void stateChanged();
    void unavailable();

public:
    // Called by the C listener.
    void onActivate();
    void onDeactivate();
    void onSurroundingText(const char *text, uint32_t cursor, uint32_t anchor);
    void onContentType(uint32_t hint, uint32_t purpose);
    void onDone();
    void onUnavailable();

private:
    WaylandConnection &connection;
    zwp_input_method_v2 *inputMethod = nullptr;
    InputMethodState pending, current;
    uint32_t doneCount = 0; // the serial that commit() sends
    bool available = true;
};

} // namespace wendrel

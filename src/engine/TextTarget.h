#pragma once
// The text a typing session types into: its own document (the note pad) or another program
// (keyboard mode). Either way the session edits a QTextDocument through one QTextCursor, and
// the typing assistant, completion, correction and the formula key read the text before the
// caret from it.
//
// For another program the document is a mirror: it holds what is known of the text before
// the program's caret, the caret always at its end. On X11 that is what Wendrel typed since
// the focus last changed; through an input method (Wayland) it is the text the program
// reports. Whatever the session's edits change in the mirror goes to the program through a
// KeyOutput as deletions before the caret and new text (flush()). Keys and shortcuts that
// act on the program in ways Wendrel cannot follow (Tab, Esc, Ctrl+V, Ctrl+Z, a Ctrl
// shortcut, an arrow, a BackSpace past the mirror's start) leave the text before the caret
// unknown: the mirror starts again, empty, after text it cannot see, until the focus changes
// or the program reports its text. Then the typing assistant makes no capital at the mirror's
// start (it may be the middle of a sentence or of a word), the first word typed is neither
// offered candidates, corrected, replaced by a candidate nor learned (it may go on before
// what Wendrel typed), the formula key takes no formula that reaches back there, and a held
// BackSpace deletes one character at a time beyond it. What Wendrel types after a space or a
// line break there is known again: words after it work as ever.
#include "KeyOutput.h"
#include "TypingAssistant.h"

#include <QPointer>
#include <QString>
#include <QTextCursor>
#include <climits>
#include <memory>

class QTextDocument;

namespace wendrel {

// What the session may do in a field of this kind. The note pad may do everything.
struct FieldRules {
    bool learns = true;              // completion learns the words typed there
    bool candidates = true;          // the strip shows candidates
    bool corrects = true;            // typing errors are corrected at a word's end
    bool capitals = true;            // the typing assistant capitalises and turns "i" into "I"
    bool spaceAfterCandidate = true; // a candidate is typed with a space after it
};
// Keyboard mode learns only in fields known to be text (never in passwords or terminals, nor
// where the field is unknown); a password field gets no candidates and no correction; a
// terminal, an e-mail address or an address line no capitals and no correction (a command, an
// address is no sentence, and a correction there would break it); an e-mail address or an
// address line no space after a candidate; a number field its keys as they are.
FieldRules fieldRules(FieldKind kind, bool otherProgram);

class TextTarget {
public:
    // Stands for the text before the mirror's start when that text is not known. To completion
    // and correction it is a digit run into the first word: no word there is offered, replaced
    // or learned (the word may go on before it), and it reads as an unknown word before the
    // next. To the typing assistant it is a character that starts nothing: no capital.
    static constexpr char16_t unknownTextMarker = u'0';
    static constexpr char16_t unknownCharacter = 0xFFFC;

    TextTarget();
    ~TextTarget();
    TextTarget(const TextTarget &) = delete;
    TextTarget &operator=(const TextTarget &) = delete;

    QTextDocument &document() const { return *doc; }
    QTextCursor &cursor() { return textCursor; }
    const QTextCursor &cursor() const { return textCursor; }

    // --- Another program --------------------------------------------------------------------
    // nullptr: the session's own document. Otherwise the mirror starts empty, at the start of
    // a text.
    void typeInto(KeyOutput *output);
    KeyOutput *output() const { return out; }
    bool isOtherProgram() const { return out != nullptr; }
    // The mirror starts again, empty: at the start of a text (the focus moved to another
    // field), or after text that is not known (startKnown false).
    void startText(bool startKnown);
    // Whether the text before the mirror's start is known (the start of a text, or what the
    // program reported). Always true for the note pad.
    bool startKnown() const { return known; }
    // The program reports the text before its caret: it becomes the mirror, known from its start.
    // Returns whether the mirror changed.
    bool setTextBeforeCaret(const QString &text);
    // Sends what the session's edits changed in the mirror since the last flush: deletions
    // before the caret, then the new text. Nothing for the note pad.
    void flush();
    // Keys and shortcuts go out after what was typed before them; afterwards the text before
    // the caret is not known.
    void sendKey(SentKey key, SentModifiers modifiers = {});
    void sendShortcut(char16_t ch, SentModifiers modifiers);
    // A BackSpace with nothing known before the caret: deletes in the program, whose text is
    // then not known.
    void deleteBeyondStart();

    // --- Reading --------------------------------------------------------------------------------
    // The text before position, at most length characters of it; a line break reads as "\n".
    // When it reaches the mirror's start and the text before that is unknown, the marker
    // stands first.
    QString textBefore(int position, int length) const;
    // What the typing assistant sees: the text as the handheld's edit control held it, a line
    // break being the two characters 13, 10. Only the characters next to the caret are read.
    TypingContext typingContext() const;
    // Whether the count characters before the caret (a word to replace) are known to be there.
    bool mayReplace(int count) const;
    // The whole text (the mirror's for another program), line breaks as "\n".
    QString plainText() const;

private:
    class ChangeTracker;

    std::unique_ptr<QTextDocument> doc;
    QTextCursor textCursor;
    KeyOutput *out = nullptr;
    bool known = true;
    QString sent;        // what the program holds before its caret, as far as it is known
    int sentRevision = -1;
    // Where the first edit since the last flush began (INT_MAX: none), as the tracker sees it.
    int changedFrom = INT_MAX;
    QPointer<ChangeTracker> tracker;
};

} // namespace wendrel

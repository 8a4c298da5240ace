#pragma once
// Undo steps as a person thinks of them: the letters of a word with the separator typed after
// it, one paste, one Load, one accepted candidate, one correction, the whole run of a held
// BackSpace. The steps live on the text's QTextDocument, so that every edit of the text, the
// text area's own included, is on the one stack and undo never applies a step to a text it
// was not made on.
#include <QMetaObject>
#include <optional>

class QTextCursor;
class QTextDocument;

namespace wendrel {

enum class EditKind {
    Typing,         // a typed character, with what the typing assistant changes as it is typed
    Deletion,       // a BackSpace, tapped or the first deletion of a held one
    DeletionRepeat, // the further deletions of a held BackSpace
    Paste,
    Load,           // the whole text replaced
    Candidate,      // a word taken from the candidate strip
    Correction,     // a word corrected at its end
    Formula,        // "=" and the result behind a formula
};

// The decision alone: does an edit join the undo step of the edit before it?
class UndoGrouping {
public:
    // typed: the character the user typed, for Typing.
    bool joinsPrevious(EditKind kind, char32_t typed = 0) const;
    void edited(EditKind kind, char32_t typed = 0);
    // Something else came between (the caret moved, an undo, an edit from elsewhere): the next
    // edit begins a step of its own.
    void interrupt();

private:
    std::optional<EditKind> last;
    bool afterSeparator = false; // the last typed character ended a word
};

// The grouping applied to a document: each edit of the session runs between begin() and
// end(), which open a new edit block or continue the previous one. Edits of the text that do
// not pass here and moves of the caret between two edits end the step.
class UndoRecorder {
public:
    explicit UndoRecorder(QTextDocument &document);
    ~UndoRecorder();
    UndoRecorder(const UndoRecorder &) = delete;
    UndoRecorder &operator=(const UndoRecorder &) = delete;

    void begin(QTextCursor &cursor, EditKind kind, char32_t typed = 0);
    void end(QTextCursor &cursor);
    void interrupt();

private:
    QTextDocument &document;
    UndoGrouping grouping;
    QMetaObject::Connection watch;
    bool inEdit = false;
    bool joined = false;         // the edit under way continues the step before it
    bool changedOutside = false; // the text changed since the last edit, not by an edit of ours
    int undoStepsBefore = 0;
    int undoStepsAfter = -1;     // the stack and the caret as the last edit left them
    int positionAfter = -1;
    int anchorAfter = -1;
};

// One edit as a scope: begin() on construction, end() on destruction.
class UndoStep {
public:
    UndoStep(UndoRecorder &recorder, QTextCursor &cursor, EditKind kind, char32_t typed = 0)
        : recorder(recorder), cursor(cursor)
    {
        recorder.begin(cursor, kind, typed);
    }
    ~UndoStep() { recorder.end(cursor); }
    UndoStep(const UndoStep &) = delete;
    UndoStep &operator=(const UndoStep &) = delete;

private:
    UndoRecorder &recorder;
    QTextCursor &cursor;
};

} // namespace wendrel

#include "UndoGrouping.h"

#include "WordBounds.h"

#include <QTextCursor>
#include <QTextDocument>

namespace wendrel {

bool UndoGrouping::joinsPrevious(EditKind kind, char32_t typed) const
{
    if (!last)
        return false;
    switch (kind) {
    case EditKind::Typing:
        // A word's letters and the separators after it are one step; the next word's first
        // letter begins another.
        return *last == EditKind::Typing && !(afterSeparator && isWordCharacter(typed));
    case EditKind::DeletionRepeat:
        return *last == EditKind::Deletion || *last == EditKind::DeletionRepeat;
    default:
        return false;
    }
}

void UndoGrouping::edited(EditKind kind, char32_t typed)
{
    last = kind;
    afterSeparator = kind == EditKind::Typing && !isWordCharacter(typed);
}

void UndoGrouping::interrupt()
{
    last.reset();
    afterSeparator = false;
}

UndoRecorder::UndoRecorder(QTextDocument &document) : document(document)
{
    // contentsChanged comes with or without a layout (contentsChange only with one). Inside an
    // edit of ours it is our own change; outside, someone else's edit, an undo or a redo.
    watch = QObject::connect(&document, &QTextDocument::contentsChanged, [this] {
        if (!inEdit)
            changedOutside = true;
    });
}

UndoRecorder::~UndoRecorder()
{
    QObject::disconnect(watch);
}

void UndoRecorder::begin(QTextCursor &cursor, EditKind kind, char32_t typed)
{
    const bool untouched = !changedOutside && document.availableUndoSteps() == undoStepsAfter
        && cursor.position() == positionAfter && cursor.anchor() == anchorAfter;
    if (!untouched)
        grouping.interrupt();
    joined = grouping.joinsPrevious(kind, typed);
    undoStepsBefore = document.availableUndoSteps();
    if (joined)
        cursor.joinPreviousEditBlock();
    else
        cursor.beginEditBlock();
    grouping.edited(kind, typed);
    inEdit = true;
    changedOutside = false;
}

void UndoRecorder::end(QTextCursor &cursor)
{
    cursor.endEditBlock();
    inEdit = false;
    // A new step that changed nothing left no step on the stack to continue: joining it
    // would join the step before.
    if (!joined && document.availableUndoSteps() == undoStepsBefore)
        grouping.interrupt();
    undoStepsAfter = document.availableUndoSteps();
    positionAfter = cursor.position();
    anchorAfter = cursor.anchor();
}

void UndoRecorder::interrupt()
{
    grouping.interrupt();
}

} // namespace wendrel

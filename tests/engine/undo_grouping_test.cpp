// Undo steps on a real document: edits as a person thinks of them, undone one step at a time.
#include "UndoGrouping.h"

#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace wendrel;

namespace {

// Edits through the recorder, as the session makes them.
struct Editor {
    QTextDocument document;
    QTextCursor cursor{&document};
    UndoRecorder recorder{document};

    QString text() const { return document.toPlainText(); }

    void type(const QString &characters)
    {
        for (const QChar ch : characters) {
            UndoStep step(recorder, cursor, EditKind::Typing, ch.unicode());
            cursor.insertText(QString(ch));
        }
    }
    void backSpace(EditKind kind = EditKind::Deletion)
    {
        UndoStep step(recorder, cursor, kind);
        cursor.deletePreviousChar();
    }
    void replace(EditKind kind, const QString &with, int before = 0)
    {
        UndoStep step(recorder, cursor, kind);
        if (kind == EditKind::Load)
            cursor.select(QTextCursor::Document);
        else if (before > 0)
            cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor, before);
        cursor.insertText(with);
    }

    // A script: "type TEXT", "back", "hold N" (a held BackSpace deleting N), "paste TEXT",
    // "load TEXT", "candidate N TEXT" and "correct N TEXT" (replace the N characters before the
    // caret), "left N", "select all", "outside TEXT" (typed at the end by another cursor that
    // does not pass the recorder), "undo".
    void run(const QStringList &script)
    {
        for (const QString &line : script) {
            const QString verb = line.section(u' ', 0, 0);
            const QString rest = line.section(u' ', 1);
            if (verb == u"type") {
                type(rest);
            } else if (verb == u"back") {
                backSpace();
            } else if (verb == u"hold") {
                backSpace();
                for (int i = 1; i < rest.toInt(); ++i)
                    backSpace(EditKind::DeletionRepeat);
            } else if (verb == u"paste") {
                replace(EditKind::Paste, rest);
            } else if (verb == u"load") {
                replace(EditKind::Load, rest);
            } else if (verb == u"candidate" || verb == u"correct") {
                replace(verb == u"candidate" ? EditKind::Candidate : EditKind::Correction, rest.section(u' ', 1),
                        rest.section(u' ', 0, 0).toInt());
            } else if (verb == u"left") {
                cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::MoveAnchor, rest.toInt());
            } else if (verb == u"select") {
                cursor.select(QTextCursor::Document);
            } else if (verb == u"outside") {
                QTextCursor other(&document);
                other.movePosition(QTextCursor::End);
                other.insertText(rest);
            } else if (verb == u"undo") {
                document.undo(&cursor);
            } else {
                ADD_FAILURE() << "bad script line " << line.toStdString();
            }
        }
    }
};

} // namespace

TEST(UndoGrouping, StepsAsAPersonThinksOfThem)
{
    struct Case {
        const char *name;
        QStringList script;
        QStringList undone; // the text after each undo, down to the empty start
    };
    const Case cases[] = {
        {"a word and its separators", {"type hello world. ok"}, {"hello world. ", "hello ", ""}},
        {"a line break ends a word", {"type one\ntwo"}, {"one\n", ""}},
        {"each tapped BackSpace", {"type abc", "back", "back"}, {"ab", "abc", ""}},
        {"a held BackSpace's whole run", {"type hello world", "hold 5"}, {"hello world", "hello ", ""}},
        {"typing after a deletion", {"type helo", "back", "type lo"}, {"hel", "helo", ""}},
        {"a paste", {"type ab ", "paste xyz", "type c"}, {"ab xyz", "ab ", ""}},
        {"a paste over a selection", {"type hello", "select all", "paste bye"}, {"hello", ""}},
        {"a Load loses nothing", {"type my draft", "load loaded text"}, {"my draft", "my ", ""}},
        {"a candidate", {"type I li", "candidate 2 like ", "type it"}, {"I like ", "I li", "I ", ""}},
        {"a correction", {"type teh", "correct 3 the", "type  "}, {"the", "teh", ""}},
        {"a caret move ends the word", {"type ab", "left 1", "type c"}, {"ab", ""}},
        // QTextDocument adds an insert made right after a step to that step; what the session
        // types next begins a step of its own all the same.
        {"an edit from elsewhere ends the word", {"type ab", "outside X", "type c"}, {"abX", ""}},
        {"an undo ends the word", {"type ab cd", "undo", "type e"}, {"ab ", ""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Editor editor;
        editor.run(c.script);
        QStringList undone;
        while (editor.document.isUndoAvailable() && undone.size() < 20) {
            editor.document.undo(&editor.cursor);
            undone << editor.text();
        }
        EXPECT_EQ(undone, c.undone);
    }
}

TEST(UndoGrouping, RedoTakesBackTheUndoneSteps)
{
    Editor editor;
    editor.run({"type draft", "load new", "undo"});
    EXPECT_EQ(editor.text(), "draft");
    editor.document.redo(&editor.cursor);
    EXPECT_EQ(editor.text(), "new");
}

TEST(UndoGrouping, HundredsOfSteps)
{
    Editor editor;
    const int words = 300;
    QStringList texts{QString()};
    for (int i = 0; i < words; ++i) {
        editor.type(QStringLiteral("w%1 ").arg(i));
        texts << editor.text();
    }
    EXPECT_EQ(editor.document.availableUndoSteps(), words);
    for (int i = words - 1; i >= 0; --i) {
        editor.document.undo(&editor.cursor);
        ASSERT_EQ(editor.text(), texts[i]) << "after undoing word " << i;
    }
}

TEST(UndoGrouping, TheDecisionAlone)
{
    UndoGrouping grouping;
    EXPECT_FALSE(grouping.joinsPrevious(EditKind::Typing, U'a')) << "nothing to join";
    grouping.edited(EditKind::Typing, U'a');
    EXPECT_TRUE(grouping.joinsPrevious(EditKind::Typing, U'b'));
    EXPECT_TRUE(grouping.joinsPrevious(EditKind::Typing, U' '));
    EXPECT_FALSE(grouping.joinsPrevious(EditKind::DeletionRepeat));
    grouping.edited(EditKind::Typing, U' ');
    EXPECT_TRUE(grouping.joinsPrevious(EditKind::Typing, U'.')) << "separators go together";
    EXPECT_FALSE(grouping.joinsPrevious(EditKind::Typing, U'b')) << "a new word";
    grouping.edited(EditKind::Deletion);
    EXPECT_TRUE(grouping.joinsPrevious(EditKind::DeletionRepeat));
    EXPECT_FALSE(grouping.joinsPrevious(EditKind::Deletion));
    EXPECT_FALSE(grouping.joinsPrevious(EditKind::Typing, U'a'));
    grouping.edited(EditKind::DeletionRepeat);
    EXPECT_TRUE(grouping.joinsPrevious(EditKind::DeletionRepeat));
    grouping.interrupt();
    EXPECT_FALSE(grouping.joinsPrevious(EditKind::DeletionRepeat));
    for (const EditKind kind : {EditKind::Paste, EditKind::Load, EditKind::Candidate, EditKind::Correction,
                                EditKind::Formula}) {
        grouping.edited(kind);
        EXPECT_FALSE(grouping.joinsPrevious(EditKind::Typing, U'a'));
        EXPECT_FALSE(grouping.joinsPrevious(kind));
    }
}

// Load, Save, Copy, Paste, Exit and closing the window, in the real window.
#include "TextFile.h"
#include "WindowFixture.h"
#include "FileBytes.h"

#include <QClipboard>
#include <QCloseEvent>
#include <sys/stat.h>

using namespace wendrel;
using namespace wendrel::test;

class Document : public WindowTest {
protected:
    QString file(const QString &name) const { return appFolder() + u'/' + name; }
};

TEST_F(Document, SaveThenLoadGivesTheSameText)
{
    const QString texts[] = {QStringLiteral("one line"), QStringLiteral("a\r\nb\r\n\r\nc"),
                             QStringLiteral("Grüße, 日本語"), QString(3000, u'y') + QStringLiteral("\r\nend")};
    for (const QString &value : texts) {
        setText(value, 0);
        fake.fileAnswers.push_back(file(QStringLiteral("t.txt")));
        tap(1088);
        EXPECT_EQ(fileBytes(file(QStringLiteral("t.txt"))), encodeTextFile(value));
        setText(QStringLiteral("something else"), 0);
        fake.fileAnswers.push_back(file(QStringLiteral("t.txt")));
        tap(1087);
        EXPECT_EQ(text(), value);
    }
    EXPECT_TRUE(fake.messages.isEmpty());
    EXPECT_EQ(fake.fileFilters.value(0), QStringLiteral("Text Files (*.txt)"));
    EXPECT_TRUE(fake.sounds.isEmpty()); // neither key sounds outside Fn mode
    EXPECT_TRUE(window->controlsShown());
}

TEST_F(Document, CancelChangesNothing)
{
    setText(QStringLiteral("keep"), 2);
    tap(1087);
    tap(1088);
    EXPECT_EQ(text(), QStringLiteral("keep"));
    EXPECT_TRUE(window->controlsShown());
    EXPECT_EQ(window->session().isLit(keyIndexById(1088)), false); // Save not lit on cancel
}

TEST_F(Document, UnreadableFileShowsTheMessageAndKeepsTheText)
{
    setText(QStringLiteral("keep"), 0);
    const QString pipe = file(QStringLiteral("pipe.txt"));
    ASSERT_EQ(mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    for (const QString &path : {file(QStringLiteral("missing.txt")), pipe}) {
        fake.fileAnswers.push_back(path);
        tap(1087);
    }
    ASSERT_EQ(fake.messages.size(), 2);
    EXPECT_EQ(fake.messages[0].text, QStringLiteral("Cannot read file!"));
    EXPECT_EQ(fake.messages[0].caption, QStringLiteral("Wendrel"));
    EXPECT_EQ(fake.messages[0].type, MessageType::Plain);
    EXPECT_EQ(text(), QStringLiteral("keep"));
}

TEST_F(Document, FailedSaveShowsTheMessageAndKeepsFileAndText)
{
    setText(QStringLiteral("new text"), 0);
    fake.fileAnswers.push_back(appFolder()); // a folder cannot be replaced by a file
    tap(1088);
    ASSERT_EQ(fake.messages.size(), 1);
    EXPECT_EQ(fake.messages[0].text, QStringLiteral("Cannot save file!"));
    EXPECT_EQ(text(), QStringLiteral("new text"));
    EXPECT_TRUE(QFileInfo(appFolder()).isDir());
}

TEST_F(Document, LoadsLongAndForeignFilesWhole)
{
    const QString longText = QString(5000, u'z');
    writeFile(QStringLiteral("long.txt"), encodeTextFile(longText));
    writeFile(QStringLiteral("utf8.txt"), "Hello world\nline two\n");
    fake.fileAnswers.push_back(file(QStringLiteral("long.txt")));
    tap(1087);
    EXPECT_EQ(text(), longText);
    fake.fileAnswers.push_back(file(QStringLiteral("utf8.txt")));
    tap(1087);
    EXPECT_EQ(text(), QStringLiteral("Hello world\r\nline two\r\n"));
}

TEST_F(Document, CopyCopiesTheWholeTextAndLeavesTheCaretAtTheSelectionStart)
{
    setText(QStringLiteral("first\r\nsecond"), 0);
    window->textArea().setSelection(2, 4);
    tap(1062);
    tap(1088); // Copy
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("first\nsecond"));
    EXPECT_EQ(window->textArea().readSelection(), std::make_pair(qsizetype(2), qsizetype(2)));
    EXPECT_EQ(window->session().fnOn(), false);
    EXPECT_EQ(fake.sounds.size(), 1);
    EXPECT_EQ(window->session().isLit(keyIndexById(1088)), true);
}

TEST_F(Document, CopyAndExitHandOverExactlyTheTextsCharacters)
{
    // Non-breaking spaces and line separators stay; line breaks become line feeds.
    const QString value = QStringLiteral("a\u00a0b\u2028c\r\nd\u00a0");
    setText(value, 2);
    tap(1062); // Fn
    tap(1088); // Copy
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a\u00a0b\u2028c\nd\u00a0"));
    EXPECT_EQ(text(), value);
    QGuiApplication::clipboard()->clear();
    window->document().onExitButton();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a\u00a0b\u2028c\nd\u00a0"));
}

TEST_F(Document, CopyOfAnEmptyTextLeavesTheClipboardAlone)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    tap(1062);
    tap(1088);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_EQ(window->session().fnOn(), false);
}

TEST_F(Document, PasteInsertsAtTheCaretAndEmptyClipboardChangesNothing)
{
    setText(QStringLiteral("ac"), 1);
    QGuiApplication::clipboard()->setText(QStringLiteral("b"));
    tap(1062);
    tap(1087);
    EXPECT_EQ(text(), QStringLiteral("abc"));
    EXPECT_EQ(window->session().fnOn(), false);
    QGuiApplication::clipboard()->clear();
    tap(1062);
    tap(1087);
    EXPECT_EQ(text(), QStringLiteral("abc"));
    EXPECT_EQ(window->session().isLit(keyIndexById(1087)), false);
}

TEST_F(Document, ExitCopiesTheTextSaysSoAndEndsWithStatusZero)
{
    setText(QStringLiteral("to share\r\nline"), 0);
    tap(2001);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("to share\nline"));
    ASSERT_EQ(fake.messages.size(), 1);
    EXPECT_EQ(fake.messages[0].text, QStringLiteral("The text is copied to clipboard."));
    EXPECT_EQ(fake.messages[0].type, MessageType::Foreground);
    // Handed over for after the end as well, whoever owns the clipboard by then.
    EXPECT_EQ(fake.keptTexts, QStringList{QStringLiteral("to share\nline")});
    EXPECT_EQ(fake.exitStatuses, QList<int>{0});
}

TEST_F(Document, ExitWithAnEmptyTextShowsNothing)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    tap(2001);
    EXPECT_TRUE(fake.messages.isEmpty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_EQ(fake.exitStatuses, QList<int>{0});
}

TEST_F(Document, ClosingTheWindowKeepsTheTextOnTheClipboard)
{
    setText(QStringLiteral("unsaved words"), 0);
    window->close();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("unsaved words"));
    EXPECT_EQ(fake.keptTexts, QStringList{QStringLiteral("unsaved words")});
    EXPECT_EQ(fake.exitStatuses, QList<int>{0});
}

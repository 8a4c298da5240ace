// The keyboard window and the typing engine agree: real mouse events on the window's keys give
// what the same taps give through wendrel-type, and the window's own editing (a caret placed
// in the text, a physical keyboard) stays in step with the engine. The typing rules themselves
// are tested on the engine (tests/engine).
#include "SessionScript.h"
#include "WindowFixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace wendrel;
using namespace wendrel::test;

namespace {

class Typing : public WindowTest {
protected:
    // Taps keys by their wendrel-type names through mouse events on the window's keys.
    void tapNames(const QStringList &names)
    {
        for (const QString &name : names) {
            const int index = SessionScript::keyByName(name);
            ASSERT_GE(index, 0) << name.toStdString();
            tap(keyTable()[size_t(index)].id);
        }
    }
    // The same keys through wendrel-type: its answer to "state".
    static QJsonObject typeThrough(const QStringList &names)
    {
        QByteArray input;
        for (const QString &name : names)
            input += "key " + name.toUtf8() + '\n';
        input += "state\n";
        QProcess process;
        process.start(QStringLiteral(WENDREL_TYPE), {});
        process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    }
    QString documentText() const { return window->session().plainText(); }
};

TEST_F(Typing, MouseTapsOnTheWindowGiveWhatWendrelTypeGives)
{
    const QStringList sequences[] = {
        QStringLiteral("h e l l o . Space i Space a m").split(u' '),
        QStringLiteral("s o Space i Space BackSpace Enter x").split(u' '),
        QStringLiteral("Shift 7 Caps a Shift a Caps - Shift / pad/ pad- pad.").split(u' '),
        QStringLiteral("2 + 3 * 4 Fn = Space 1 pad/ 0 Fn = Fn q Fn Shift q b").split(u' '),
        QStringLiteral("a b Fn Save Fn Load Enter ` \\ [ ] ; ' , ( ) = BackSpace").split(u' '),
    };
    for (const QStringList &names : sequences) {
        window->session().reset();
        tapNames(names);
        const QJsonObject expected = typeThrough(names);
        const std::string what = names.join(u' ').toStdString();
        EXPECT_EQ(documentText(), expected[QStringLiteral("text")].toString()) << what;
        EXPECT_EQ(window->session().caret(), expected[QStringLiteral("caret")].toInt()) << what;
        EXPECT_EQ(window->session().shiftOn(), expected[QStringLiteral("shift")].toBool()) << what;
        EXPECT_EQ(window->session().capsOn(), expected[QStringLiteral("caps")].toBool()) << what;
        EXPECT_EQ(window->session().fnOn(), expected[QStringLiteral("fn")].toBool()) << what;
        // What the text area shows is the engine's text, its caret the engine's caret.
        QString shown = text();
        EXPECT_EQ(shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")), documentText()) << what;
        EXPECT_EQ(window->textArea().widget()->textCursor().position(), window->session().caret()) << what;
    }
}

TEST_F(Typing, OneSoundATypedKeyAndCaptionsOnTheKeys)
{
    type(QStringLiteral("hello. i am"));
    EXPECT_EQ(text(), QStringLiteral("Hello. I am"));
    EXPECT_EQ(fake.sounds.size(), 11);
    tap(2003);
    EXPECT_EQ(caption(1000), QStringLiteral("A"));
    EXPECT_EQ(caption(1038), QStringLiteral("&"));
    EXPECT_EQ(spokenName(1038), QStringLiteral("&"));
    tap(1038);
    EXPECT_EQ(caption(1038), QStringLiteral("7"));
    EXPECT_EQ(spokenName(1038), QStringLiteral("7"));
    tap(1062);
    EXPECT_EQ(caption(1088), QStringLiteral("Copy"));
    EXPECT_EQ(spokenName(1087), QStringLiteral("Paste"));
}

TEST_F(Typing, ACaretPlacedInTheTextAreaIsWhereKeysType)
{
    type(QStringLiteral("hello. w"));
    QPlainTextEdit *edit = window->textArea().widget();
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(6);
    edit->setTextCursor(cursor); // as a tap in the text puts it
    EXPECT_EQ(window->session().caret(), 6);
    tap(1065); // no correction left to undo here: an ordinary BackSpace
    EXPECT_EQ(text(), QStringLiteral("Hello W"));
    tap(1000);
    EXPECT_EQ(text(), QStringLiteral("Helloa W"));
    EXPECT_EQ(edit->textCursor().position(), 6);
}

TEST_F(Typing, ASelectionMadeInTheTextAreaIsReplaced)
{
    setText(QStringLiteral("hello"), 0);
    window->textArea().setSelection(0, -1);
    EXPECT_EQ(window->session().anchor(), 0);
    EXPECT_EQ(window->session().caret(), 5);
    tap(1000);
    EXPECT_EQ(text(), QStringLiteral("a"));
}

TEST_F(Typing, APhysicalKeyboardTypesIntoTheSameText)
{
    QPlainTextEdit *edit = window->textArea().widget();
    QTest::keyClicks(edit, QStringLiteral("ok."));
    settle();
    EXPECT_EQ(window->session().plainText(), QStringLiteral("ok."));
    EXPECT_EQ(window->session().caret(), 3);
    type(QStringLiteral(" w")); // the assistant reads what the keyboard typed
    EXPECT_EQ(text(), QStringLiteral("ok. W"));
    QTest::keyClick(edit, Qt::Key_Return);
    type(QStringLiteral("x"));
    EXPECT_EQ(text(), QStringLiteral("ok. W\r\nX"));
}

TEST_F(Typing, LongTextsWorkLikeShortOnes)
{
    QString longText(70000, u'x');
    longText += QStringLiteral(". ");
    setText(longText, longText.size());
    tap(1000);
    EXPECT_EQ(text().size(), 70003);
    EXPECT_TRUE(text().endsWith(QStringLiteral(". A")));
    EXPECT_EQ(window->textArea().readSelection().first, 70003);
}

TEST_F(Typing, PositionsCountLineBreaksAsTwoCharacters)
{
    setText(QStringLiteral("ab\r\ncd\r\nef"), 0);
    TextArea &area = window->textArea();
    EXPECT_EQ(area.length(), 10);
    for (qsizetype p : {0, 2, 4, 6, 8, 10}) {
        area.setSelection(p, p);
        EXPECT_EQ(area.readSelection().first, p);
    }
    EXPECT_EQ(area.charAt(2), 13);
    EXPECT_EQ(area.charAt(3), 10);
    EXPECT_EQ(area.charAt(4), u'c');
    area.setSelection(3, 3); // inside a line break: the end of its line
    EXPECT_EQ(area.readSelection().first, 2);
}

} // namespace

// wendrel-type as a caller runs it: events on standard input, JSON answers on standard output,
// errors on standard error with the line's number, and the exit status.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status = -1;
    QList<QJsonObject> answers;
    QStringList answerLines;
    QStringList errors;
};

Outcome runType(const QByteArray &input, const QStringList &arguments = {})
{
    QProcess process;
    process.start(QStringLiteral(WENDREL_TYPE), arguments);
    EXPECT_TRUE(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    Outcome run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        run.answerLines << QString::fromUtf8(line);
        run.answers << QJsonDocument::fromJson(line).object();
    }
    for (const QByteArray &line : process.readAllStandardError().split('\n')) {
        if (!line.isEmpty())
            run.errors << QString::fromUtf8(line);
    }
    return run;
}

TEST(TypeCommand, TypesHi)
{
    const Outcome run = runType("key h\nkey i\nstate\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.errors.isEmpty()) << run.errors.join(u'\n').toStdString();
    ASSERT_EQ(run.answers.size(), 1);
    EXPECT_EQ(run.answers[0][QStringLiteral("text")].toString(), QStringLiteral("Hi"));
}

TEST(TypeCommand, TheStateAnswer)
{
    const Outcome run = runType("key Shift\nkey Caps\nkey Fn\nstate\nkey Exit\nstate\nstate\n");
    ASSERT_EQ(run.answers.size(), 3);
    const QJsonObject first = run.answers[0];
    for (const char *member : {"text", "caret", "anchor", "shift", "caps", "fn", "candidates", "popup", "command", "time"})
        EXPECT_TRUE(first.contains(QLatin1String(member))) << member;
    EXPECT_TRUE(first[QStringLiteral("shift")].toBool());
    EXPECT_TRUE(first[QStringLiteral("caps")].toBool());
    EXPECT_TRUE(first[QStringLiteral("fn")].toBool());
    EXPECT_TRUE(first[QStringLiteral("candidates")].isArray());
    EXPECT_TRUE(first[QStringLiteral("popup")].toArray().isEmpty());
    EXPECT_TRUE(first[QStringLiteral("command")].isNull());
    EXPECT_EQ(first[QStringLiteral("time")].toInteger(), 3 * 40); // three taps of 40 ms
    // A command key is reported once, by the next state.
    EXPECT_EQ(run.answers[1][QStringLiteral("command")].toString(), QStringLiteral("Exit"));
    EXPECT_TRUE(run.answers[2][QStringLiteral("command")].isNull());
    // One answer a line, each a whole JSON object.
    EXPECT_EQ(run.answerLines.size(), 3);
}

TEST(TypeCommand, EveryEvent)
{
    const Outcome run = runType(
        "key #1007\n"                          // "h" by its ID
        "tap 169 181\n"                         // "i"
        "press 127 208\nmove 200 300\nrelease 200 300\n" // slid off "h": no tap
        "press 120 270\nwait 1000\nrelease 121 271\n"     // a long press on Space is a tap
        "wait 5\n"
        "clipboard \"caf\\u0065\\u0301\\nx\"\n"
        "key Fn\nkey Load\n"                    // Paste
        "key Fn\nkey Save\n"                    // Copy
        "state\n"
        "reset\nstate\n");
    EXPECT_EQ(run.status, 0) << run.errors.join(u'\n').toStdString();
    ASSERT_EQ(run.answers.size(), 2);
    // Form C: the "e" and its combining accent are one character, and positions count it once.
    EXPECT_EQ(run.answers[0][QStringLiteral("text")].toString(), QStringLiteral("Hi caf\u00e9\nx"));
    EXPECT_EQ(run.answers[0][QStringLiteral("caret")].toInt(), 9);
    EXPECT_EQ(run.answers[0][QStringLiteral("anchor")].toInt(), 9);
    EXPECT_EQ(run.answers[0][QStringLiteral("time")].toInteger(), 40 + 40 + 0 + 1000 + 5 + 4 * 40);
    EXPECT_EQ(run.answers[1][QStringLiteral("text")].toString(), QString());
    EXPECT_EQ(run.answers[1][QStringLiteral("caret")].toInt(), 0);
}

TEST(TypeCommand, CompletionAndPick)
{
    const Outcome run = runType("key t\nkey h\nstate\npick 1\nstate\n", {QStringLiteral("--completion")});
    EXPECT_EQ(run.status, 0) << run.errors.join(u'\n').toStdString();
    ASSERT_EQ(run.answers.size(), 2);
    const QJsonArray candidates = run.answers[0][QStringLiteral("candidates")].toArray();
    ASSERT_EQ(candidates.size(), 3);
    EXPECT_EQ(run.answers[1][QStringLiteral("text")].toString(), candidates[0].toString() + u' ');
    // Without --completion the strip shows nothing.
    EXPECT_TRUE(runType("key t\nkey h\nstate\n").answers[0][QStringLiteral("candidates")].toArray().isEmpty());
}

TEST(TypeCommand, LearnedWordsAreReadAndWrittenBack)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sub/learned.txt"));
    const QStringList arguments{QStringLiteral("--completion"), QStringLiteral("--learned"), file};
    const Outcome first = runType("key q\nkey x\nkey z\nkey v\nkey Space\n", arguments);
    EXPECT_EQ(first.status, 0) << first.errors.join(u'\n').toStdString();
    ASSERT_TRUE(QFile::exists(file));
    const Outcome second = runType("key q\nkey x\nstate\n", arguments);
    EXPECT_TRUE(second.answers[0][QStringLiteral("candidates")].toArray().contains(QStringLiteral("Qxzv")));
    // Without --learned nothing learned is read.
    const Outcome fresh = runType("key q\nkey x\nstate\n", {QStringLiteral("--completion")});
    EXPECT_FALSE(fresh.answers[0][QStringLiteral("candidates")].toArray().contains(QStringLiteral("Qxzv")));
}

TEST(TypeCommand, BadLinesAreReportedAndSkipped)
{
    struct Case {
        QByteArray line;
        const char *message;
    } cases[] = {
        {"", "empty line"},
        {"   ", "empty line"},
        {"hello", "unknown event 'hello'"},
        {"KEY a", "unknown event 'KEY'"},
        {"key", "'key' needs one key name"},
        {"key a b", "'key' needs one key name"},
        {"key zz", "no key is named 'zz'"},
        {"key #99", "no key is named '#99'"},
        {"key pad7", "no key is named 'pad7'"},
        {"tap 1", "'tap' needs two numbers"},
        {"tap 1 2 3", "'tap' needs two numbers"},
        {"tap x 2", "'tap' needs two numbers"},
        {"press nan 2", "'press' needs two numbers"},
        {"move inf 2", "'move' needs two numbers"},
        {"release 1e999 2", "'release' needs two numbers"},
        {"wait", "'wait' needs a whole number"},
        {"wait -5", "'wait' needs a whole number"},
        {"wait 1.5", "'wait' needs a whole number"},
        {"wait 99999999999999999999999", "'wait' needs a whole number"},
        {"wait 9999999999999999", "past the session clock's range"},
        {"pick 0", "'pick' needs a candidate number"},
        {"pick 4", "'pick' needs a candidate number"},
        {"pick", "'pick' needs a candidate number"},
        {"clipboard", "'clipboard' needs a JSON string"},
        {"clipboard abc", "'clipboard' needs one JSON string"},
        {"clipboard \"a\",\"b\"", "'clipboard' needs one JSON string"},
        {"clipboard \"a", "'clipboard' needs one JSON string"},
        {"clipboard 5", "'clipboard' needs one JSON string"},
        {"state now", "'state' takes no arguments"},
        {"reset 1", "'reset' takes no arguments"},
        {"key \xff", "not valid UTF-8"},
        {QByteArray("key a\0b", 7), "no key is named"},
    };
    for (const Case &c : cases) {
        // The bad line between two good ones: it is skipped and the session goes on.
        const Outcome run = runType("key a\n" + c.line + "\nkey b\nstate\n");
        EXPECT_EQ(run.status, 1) << c.line.toStdString();
        ASSERT_EQ(run.errors.size(), 1) << c.line.toStdString();
        EXPECT_TRUE(run.errors[0].startsWith(QStringLiteral("wendrel-type: line 2: "))) << run.errors[0].toStdString();
        EXPECT_TRUE(run.errors[0].contains(QLatin1String(c.message))) << run.errors[0].toStdString();
        ASSERT_EQ(run.answers.size(), 1) << c.line.toStdString();
        EXPECT_EQ(run.answers[0][QStringLiteral("text")].toString(), QStringLiteral("Ab")) << c.line.toStdString();
    }
}

TEST(TypeCommand, HugeLinesGetAMessageNotACrash)
{
    // A line past the limit is skipped whole; a long line within it is run.
    QByteArray input = "key a\n";
    input += "clipboard \"" + QByteArray(17 * 1024 * 1024, 'x') + "\"\n";
    input += "clipboard \"" + QByteArray(1024 * 1024, 'y') + "\"\nkey Fn\nkey Load\nstate\n";
    input += QByteArray(100000, 'k') + "\n";
    const Outcome run = runType(input);
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.errors.size(), 2);
    EXPECT_TRUE(run.errors[0].startsWith(QStringLiteral("wendrel-type: line 2: longer than"))) << run.errors[0].toStdString();
    EXPECT_TRUE(run.errors[1].startsWith(QStringLiteral("wendrel-type: line 7: unknown event 'kkkk"))) << run.errors[1].left(80).toStdString();
    EXPECT_LT(run.errors[1].size(), 200); // the message quotes the start of the line only
    ASSERT_EQ(run.answers.size(), 1);
    EXPECT_EQ(run.answers[0][QStringLiteral("text")].toString().size(), 1 + 1024 * 1024);
}

TEST(TypeCommand, LastLineWithoutALineBreakAndCrLf)
{
    const Outcome run = runType("key h\r\nkey i\r\nstate");
    EXPECT_EQ(run.status, 0) << run.errors.join(u'\n').toStdString();
    ASSERT_EQ(run.answers.size(), 1);
    EXPECT_EQ(run.answers[0][QStringLiteral("text")].toString(), QStringLiteral("Hi"));
}

TEST(TypeCommand, CommandLine)
{
    struct Case {
        QStringList arguments;
        int status;
    } cases[] = {
        {{QStringLiteral("--help")}, 0},
        {{QStringLiteral("--version")}, 0},
        {{QStringLiteral("--bogus")}, 2},
        {{QStringLiteral("--learned")}, 2},
        {{QStringLiteral("--learned=")}, 2},
        {{QStringLiteral("--correction"), QStringLiteral("--completion")}, 0},
    };
    for (const Case &c : cases) {
        QProcess process;
        process.start(QStringLiteral(WENDREL_TYPE), c.arguments);
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), c.status) << c.arguments.join(u' ').toStdString();
        const QByteArray output = process.readAllStandardOutput();
        if (c.arguments == QStringList{QStringLiteral("--version")}) {
            EXPECT_TRUE(output.startsWith("wendrel-type "));
        }
        if (c.arguments == QStringList{QStringLiteral("--help")}) {
            EXPECT_TRUE(output.contains("Usage: wendrel-type"));
        }
    }
}

} // namespace

// Keyboard mode on the command line: what would be sent, and the events of the program typed into.
TEST(TypeCommand, KeyboardModeReportsWhatWouldBeSent)
{
    const Outcome run = runType("key t\nkey h\nkey e\nkey Space\nstate\nkey Tab\nkey Ctrl\nkey a\nstate\n"
                                "focus\nfield password\nkey a\nstate\nbefore \"Dear Sir,\\n\"\nkey t\nstate\n"
                                "field secret\nfocus now\n",
                                {QStringLiteral("--keyboard")});
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.answers.size(), 4);
    const QJsonArray first = run.answers[0][QStringLiteral("sent")].toArray();
    ASSERT_EQ(first.size(), 4);
    EXPECT_EQ(first[0].toObject(), (QJsonObject{{"send", "text"}, {"text", "T"}}));
    EXPECT_EQ(run.answers[0][QStringLiteral("field")].toString(), QStringLiteral("The "));
    EXPECT_EQ(run.answers[0][QStringLiteral("text")].toString(), QStringLiteral("The "));
    EXPECT_TRUE(run.answers[0][QStringLiteral("known")].toBool());

    const QJsonArray second = run.answers[1][QStringLiteral("sent")].toArray();
    ASSERT_EQ(second.size(), 2);
    EXPECT_EQ(second[0].toObject(), (QJsonObject{{"send", "key"}, {"key", "Tab"}}));
    EXPECT_EQ(second[1].toObject(), (QJsonObject{{"send", "shortcut"}, {"key", "a"}, {"ctrl", true}}));
    EXPECT_FALSE(run.answers[1][QStringLiteral("known")].toBool());
    EXPECT_FALSE(run.answers[1][QStringLiteral("ctrl")].toBool());

    EXPECT_EQ(run.answers[2][QStringLiteral("text")].toString(), QStringLiteral("a")) << "no capital in a password";
    EXPECT_EQ(run.answers[3][QStringLiteral("text")].toString(), QStringLiteral("Dear Sir,\nt"));
    ASSERT_EQ(run.errors.size(), 2);
    EXPECT_TRUE(run.errors[0].startsWith(QStringLiteral("wendrel-type: line 17: 'field' needs"))) << run.errors[0].toStdString();
    EXPECT_TRUE(run.errors[1].startsWith(QStringLiteral("wendrel-type: line 18: 'focus' takes no arguments")))
        << run.errors[1].toStdString();
}

TEST(TypeCommand, KeyboardEventsNeedKeyboardMode)
{
    const Outcome run = runType("focus\n");
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.errors.size(), 1);
    EXPECT_TRUE(run.errors[0].contains(QStringLiteral("unknown event 'focus'")));
}

// wendrel-type: the typing engine on the command line. Reads events (taps, touches, waits,
// candidate picks) from standard input, a line each, and answers "state" with the session's
// text, caret and keys as one line of JSON. Its clock moves only by "wait", so a run is the
// same every time. See wendrel-type(1).
#include "CompletionEngine.h"
#include "KeyboardArguments.h"
#include "SessionScript.h"
#include "StandardStreams.h"
#include "SwipeTyping.h"
#include "WordCorrection.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

namespace cli = wendrel::cli;

const QString program = QStringLiteral("wendrel-type");

// Longer lines are reported and skipped, never cut short and run.
constexpr qsizetype maxLineBytes = 16 * 1024 * 1024;

const QString usage = QStringLiteral(
    "Usage: wendrel-type [--completion] [--no-swipe] [--correction] [--keyboard] [--learned FILE]\n"
    "Runs Wendrel's typing engine without a window. Reads events from standard input, one a\n"
    "line, and answers each 'state' with one line of JSON on standard output, flushed at once.\n"
    "\n"
    "Events (coordinates in the 240 x 320 layout of the keys, time on the session's own clock):\n"
    "  key NAME          tap the key with that caption (a, 7, Space, Enter, BackSpace, Shift,\n"
    "                    Caps, Fn, Load, Save, ...; pad- pad/ pad. for the number block's keys;\n"
    "                    #ID for a key's ID)\n"
    "  tap X Y           press and, 40 ms later, release at a point\n"
    "  press X Y, move X Y, release X Y\n"
    "                    the parts of one touch; with swipe typing on, a press on a letter\n"
    "                    moved through other letters (move and wait between) types a word\n"
    "  wait MS           MS milliseconds pass\n"
    "  pick N            tap candidate N (1 to 3) of the strip\n"
    "  clipboard TEXT    the clipboard holds TEXT, a JSON string (\"a\\nb\")\n"
    "  reset             a new empty text; modifiers off; what was learned stays\n"
    "  state             print the text, caret, anchor, modifiers, candidates, popup, the\n"
    "                    command key tapped since the last state, and the time\n"
    "\n"
    "Keyboard mode (--keyboard) also takes:\n"
    "  focus             the focus moved to another field: a new text starts\n"
    "  caret-moved       the caret moved there: the text before it is not known\n"
    "  field KIND        the field is unknown, text, password, terminal, email, url or number\n"
    "  before TEXT       the program reports TEXT (a JSON string) before its caret\n"
    "\n"
    "  --completion      word completion on (the strip's candidates), and swipe typing\n"
    "  --no-swipe        swipe typing off (with --completion)\n"
    "  --correction      correction of typing errors on\n"
    "  --keyboard        keyboard mode: type into another program, which is not there; each\n"
    "                    state adds \"sent\" (what would have been sent since the last state),\n"
    "                    \"field\" (what a text field receiving it would hold), \"known\", \"ctrl\"\n"
    "  --learned FILE    read learned words from FILE and write what is learned back at the end\n"
    "                    (without it nothing learned is read or written)\n"
    "  -h, --help        show this help and exit\n"
    "  -v, --version     show the version and exit\n"
    "\n"
    "A line that is not understood is reported on standard error as 'wendrel-type: line N: ...'\n"
    "and skipped; the exit status is then 1.\n"
    "\n"
    "Example: printf 'key h\\nkey i\\nstate\\n' | wendrel-type prints {...\"text\":\"Hi\"...}.\n");

struct Command {
    cli::Verdict verdict;
    bool completion = false;
    bool correction = false;
    bool swipe = true;
    bool keyboard = false;
    QString learnedFile;
};

Command parseArguments(const QStringList &arguments)
{
    Command command;
    auto only = [](cli::Verdict::Action action, const QString &message = {}) {
        Command answer;
        answer.verdict = {action, message};
        return answer;
    };
    auto refuse = [&](const QString &message) { return only(cli::Verdict::Action::Refuse, message); };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return only(cli::Verdict::Action::ShowHelp);
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v"))
            return only(cli::Verdict::Action::ShowVersion);
        if (argument == QLatin1String("--completion")) {
            command.completion = true;
        } else if (argument == QLatin1String("--no-swipe")) {
            command.swipe = false;
        } else if (argument == QLatin1String("--correction")) {
            command.correction = true;
        } else if (argument == QLatin1String("--keyboard")) {
            command.keyboard = true;
        } else if (argument == QLatin1String("--learned") || argument.startsWith(QLatin1String("--learned="))) {
            QString file;
            if (argument.size() > 9) {
                file = argument.sliced(10);
            } else if (i + 1 < arguments.size()) {
                file = arguments[++i];
            }
            if (file.isEmpty())
                return refuse(QStringLiteral("--learned needs a file"));
            command.learnedFile = file;
        } else {
            return refuse(QStringLiteral("unknown argument '%1'").arg(argument));
        }
    }
    return command;
}

// Standard input a line at a time, each line at most maxLineBytes long.
class LineReader {
public:
    enum class Status { Line, TooLong, End };
    Status next(QByteArray &line)
    {
        line.clear();
        bool tooLong = false;
        int ch;
        bool any = false;
        while ((ch = getc_unlocked(stdin)) != EOF) {
            any = true;
            if (ch == '\n')
                break;
            if (line.size() < maxLineBytes)
                line.append(char(ch));
            else
                tooLong = true; // the rest of the line is read and dropped
        }
        if (!any)
            return Status::End;
        if (line.endsWith('\r'))
            line.chop(1);
        return tooLong ? Status::TooLong : Status::Line;
    }
};

bool loadLearned(wendrel::CompletionEngine &engine, const QString &path)
{
    using Load = wendrel::LearnedWords::LoadResult;
    wendrel::LearnedWords::Loaded loaded = engine.learned().reader(path)();
    const QString message = wendrel::LearnedWords::describe(loaded, path);
    if (!message.isEmpty())
        cli::complain(program, message);
    // A file that cannot be read, or a folder, a pipe or a device, is left as it is and the
    // run refused: what it would learn could not be kept.
    const Load result = loaded.result;
    engine.learned().adopt(std::move(loaded));
    return result != Load::Unreadable && result != Load::NotAFile;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Command command = parseArguments(arguments);
    if (command.verdict.action != cli::Verdict::Action::Run)
        return cli::actOn(program, command.verdict, usage);

    wendrel::SessionScript script;
    if (command.keyboard)
        script.typeIntoRecorder();
    // Completion and the correction of typing errors share one engine: its model and what it
    // learns.
    std::unique_ptr<wendrel::CompletionEngine> completion;
    std::unique_ptr<wendrel::WordCorrection> correction;
    std::unique_ptr<wendrel::SwipeTyping> swipe;
    if (command.completion || command.correction) {
        completion = wendrel::CompletionEngine::create();
        if (!completion->isAvailable()) {
            cli::complain(program, QStringLiteral("the language model is unavailable (%1); %2 the word list alone")
                                       .arg(completion->unavailableReason(),
                                            command.completion ? QStringLiteral("completion uses")
                                                               : QStringLiteral("the correction of typing errors uses")));
            completion = std::make_unique<wendrel::CompletionEngine>(
                std::make_shared<const wendrel::Dictionary>(wendrel::Dictionary::builtIn()));
        }
        if (!command.learnedFile.isEmpty() && !loadLearned(*completion, command.learnedFile))
            return EXIT_FAILURE;
        if (command.completion)
            script.session().setCompletion(completion.get());
        if (command.correction) {
            correction = std::make_unique<wendrel::WordCorrection>(
                *completion, std::make_shared<const wendrel::Dictionary>(wendrel::Dictionary::builtIn()));
            correction->addLearnedWords();
            script.session().setCorrection(correction.get());
        }
        // Swipe typing comes with completion, as in the window with a config.dat that does not
        // say otherwise.
        if (command.completion && command.swipe) {
            swipe = std::make_unique<wendrel::SwipeTyping>(
                *completion, std::make_shared<const wendrel::Dictionary>(wendrel::Dictionary::builtIn()));
            swipe->addLearnedWords();
            script.session().setSwipe(swipe.get());
        }
    } else if (!command.learnedFile.isEmpty() && QFileInfo::exists(command.learnedFile)
               && !QFileInfo(command.learnedFile).isFile()) {
        cli::complain(program, QStringLiteral("%1 is not a regular file").arg(command.learnedFile));
        return EXIT_FAILURE;
    } else if (!command.learnedFile.isEmpty() && QFileInfo::exists(command.learnedFile)
               && !QFileInfo(command.learnedFile).isReadable()) {
        cli::complain(program, QStringLiteral("cannot read %1").arg(command.learnedFile));
        return EXIT_FAILURE;
    }

    int status = EXIT_SUCCESS;
    LineReader reader;
    QByteArray bytes;
    qint64 lineNumber = 0;
    for (;;) {
        const LineReader::Status read = reader.next(bytes);
        if (read == LineReader::Status::End)
            break;
        ++lineNumber;
        auto bad = [&](const QString &message) {
            cli::complain(program, QStringLiteral("line %1: %2").arg(lineNumber).arg(message));
            status = EXIT_FAILURE;
        };
        if (read == LineReader::Status::TooLong) {
            bad(QStringLiteral("longer than %1 bytes; skipped").arg(maxLineBytes));
            continue;
        }
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString line = decoder.decode(bytes);
        if (decoder.hasError()) {
            bad(QStringLiteral("not valid UTF-8; skipped"));
            continue;
        }
        const wendrel::SessionScript::Result result = script.run(line);
        if (!result.error.isEmpty())
            bad(result.error);
        if (result.answer && !cli::writeOut(*result.answer + u'\n')) {
            cli::complain(program, QStringLiteral("cannot write to standard output: ") + cli::errorText());
            return EXIT_FAILURE;
        }
    }
    if (std::ferror(stdin)) {
        cli::complain(program, QStringLiteral("cannot read standard input: ") + cli::errorText());
        status = EXIT_FAILURE;
    }
    if (completion && !command.learnedFile.isEmpty() && completion->learned().isDirty()) {
        QDir().mkpath(QFileInfo(command.learnedFile).absolutePath());
        wendrel::LearnedWords::Saved saved = completion->learned().saver(command.learnedFile)();
        const QString error = saved.error;
        if (saved.read.result == wendrel::LearnedWords::LoadResult::Damaged)
            cli::complain(program, wendrel::LearnedWords::describe(saved.read, command.learnedFile));
        if (!completion->learned().adoptSaved(std::move(saved))) {
            cli::complain(program, QStringLiteral("what was learned is not saved: %1").arg(error));
            status = EXIT_FAILURE;
        }
    }
    return status;
}

// wendrel-complete: prints the word-completion candidates for each line of standard input,
// taken as the text before the caret, for checking and measuring completion.
#include "CompletionEngine.h"
#include "KeyboardArguments.h"
#include "StandardStreams.h"

#include <QFile>
#include <QStringList>
#include <cstdlib>

namespace {

namespace cli = wendrel::cli;

const QString program = QStringLiteral("wendrel-complete");

const QString usage = QStringLiteral(
    "Usage: wendrel-complete [--learning] [--learn FILE]... [--model FILE]\n"
    "Prints the word-completion candidates that Wendrel's candidate strip shows. Reads standard\n"
    "input a line at a time, takes each line as the text before the caret, and prints up to three\n"
    "words, most likely first, separated by tabs: one output line for each input line (an empty\n"
    "line when there are none), flushed at once.\n"
    "\n"
    "A line that ends inside a word gives the most likely words that begin with its letters after\n"
    "the one or two words before, compared without regard to case and written in the case typed\n"
    "(\"Th\" gives \"The\"). A line that ends with a space gives the most likely next words.\n"
    "Nothing is offered inside a number or right after \"=\".\n"
    "\n"
    "Words come from Wendrel's English language model; what is learned ranks above it the more it\n"
    "is used. By default nothing is learned; the words that the Wendrel window has learned are\n"
    "neither read nor changed.\n"
    "\n"
    "  --learning       learn as the window does: a line that begins with a tab carries the text\n"
    "                   before the caret just after the user finished a word (typed or accepted),\n"
    "                   ending with that word or with the character that ended it; the word is\n"
    "                   learned after the words before it and an empty line is printed\n"
    "  --learn FILE     first learn the words of the UTF-8 text FILE (may be given more than once)\n"
    "  --model FILE     use this language model instead of the installed one\n"
    "  -h, --help       show this help and exit\n"
    "  -v, --version    show the version and exit\n"
    "\n"
    "Example: echo 'I would like to ' | wendrel-complete prints the next words it expects.\n");

struct Command {
    cli::Verdict verdict;
    QStringList learnFiles;
    QString modelPath;
    bool learning = false;
};

Command parseArguments(const QStringList &arguments)
{
    Command command;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return {{cli::Verdict::Action::ShowHelp, {}}, {}, {}, false};
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v"))
            return {{cli::Verdict::Action::ShowVersion, {}}, {}, {}, false};
        if (argument == QLatin1String("--learn")) {
            if (i + 1 == arguments.size())
                return {{cli::Verdict::Action::Refuse, QStringLiteral("--learn needs a file")}, {}, {}, false};
            command.learnFiles << arguments[++i];
        } else if (argument.startsWith(QLatin1String("--learn="))) {
            command.learnFiles << argument.sliced(8);
        } else if (argument == QLatin1String("--learning")) {
            command.learning = true;
        } else if (argument == QLatin1String("--model")) {
            if (i + 1 == arguments.size())
                return {{cli::Verdict::Action::Refuse, QStringLiteral("--model needs a file")}, {}, {}, false};
            command.modelPath = arguments[++i];
        } else if (argument.startsWith(QLatin1String("--model="))) {
            command.modelPath = argument.sliced(8);
        } else {
            return {{cli::Verdict::Action::Refuse, QStringLiteral("unknown argument '%1'").arg(argument)}, {}, {}, false};
        }
    }
    return command;
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

    const std::unique_ptr<wendrel::CompletionEngine> engine = wendrel::CompletionEngine::create(command.modelPath);
    if (!engine->isAvailable()) {
        cli::complain(program, QStringLiteral("word completion is unavailable: ") + engine->unavailableReason());
        return EXIT_FAILURE;
    }
    for (const QString &path : command.learnFiles) {
        // A pipe is fine here (--learn <(command)): the user asked for it.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            cli::complain(program, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
            return EXIT_FAILURE;
        }
        engine->learnText(QString::fromUtf8(file.readAll()));
    }
    while (const auto line = cli::readLine()) {
        QString answer;
        if (command.learning && line->startsWith(u'\t')) {
            // The text ends with the finished word, or with the character that ended it.
            const QString text = line->sliced(1);
            engine->learnFinishedWord(!text.isEmpty() && (text.back().isLetterOrNumber() || text.back().isMark()
                                                          || text.back() == u'\'' || text.back() == QChar(0x2019))
                                          ? text + u' ' : text);
        } else {
            answer = engine->candidates(*line).join(u'\t');
        }
        if (!cli::writeOut(answer + u'\n')) {
            cli::complain(program, QStringLiteral("cannot write to standard output: ") + cli::errorText());
            return EXIT_FAILURE;
        }
    }
    if (cli::readFailed()) {
        cli::complain(program, QStringLiteral("cannot read standard input: ") + cli::errorText());
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}

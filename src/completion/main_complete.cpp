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
    "Usage: wendrel-complete [--learn FILE]...\n"
    "Prints the word-completion candidates that Wendrel's candidate strip shows. Reads standard\n"
    "input a line at a time, takes each line as the text before the caret, and prints up to three\n"
    "words, most likely first, separated by tabs: one output line for each input line (an empty\n"
    "line when there are none), flushed at once.\n"
    "\n"
    "A line that ends inside a word gives the words that begin with its letters, compared without\n"
    "regard to case and written in the case typed (\"Th\" gives \"The\"). A line that ends with a\n"
    "space gives the words that most often followed the previous word in the learned text (none\n"
    "without --learn). Nothing is offered inside a number or right after \"=\".\n"
    "\n"
    "By default the built-in English dictionary is used alone and nothing is learned; the words\n"
    "that the Wendrel window has learned are neither read nor changed.\n"
    "\n"
    "  --learn FILE     first learn the words and pairs of words of the UTF-8 text FILE\n"
    "                   (may be given more than once)\n"
    "  -h, --help       show this help and exit\n"
    "  -v, --version    show the version and exit\n"
    "\n"
    "Example: echo 'I don' | wendrel-complete prints don't, done and Donna.\n");

struct Command {
    cli::Verdict verdict;
    QStringList learnFiles;
};

Command parseArguments(const QStringList &arguments)
{
    Command command;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return {{cli::Verdict::Action::ShowHelp, {}}, {}};
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v"))
            return {{cli::Verdict::Action::ShowVersion, {}}, {}};
        if (argument == QLatin1String("--learn")) {
            if (i + 1 == arguments.size())
                return {{cli::Verdict::Action::Refuse, QStringLiteral("--learn needs a file")}, {}};
            command.learnFiles << arguments[++i];
        } else if (argument.startsWith(QLatin1String("--learn="))) {
            command.learnFiles << argument.sliced(8);
        } else {
            return {{cli::Verdict::Action::Refuse, QStringLiteral("unknown argument '%1'").arg(argument)}, {}};
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

    wendrel::CompletionEngine engine(std::make_shared<const wendrel::Dictionary>(wendrel::Dictionary::builtIn()));
    for (const QString &path : command.learnFiles) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            cli::complain(program, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
            return EXIT_FAILURE;
        }
        engine.learnText(QString::fromUtf8(file.readAll()));
    }
    while (const auto line = cli::readLine()) {
        if (!cli::writeOut(engine.candidates(*line).join(u'\t') + u'\n')) {
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

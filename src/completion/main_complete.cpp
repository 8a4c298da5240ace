// wendrel-complete: prints the word-completion candidates for each line of standard input,
// taken as the text before the caret, for checking and measuring completion.
#include "CompletionEngine.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <cstdio>

namespace {

constexpr const char *usage =
    "Usage: wendrel-complete [--learn FILE]\n"
    "\n"
    "Reads standard input one line at a time, takes each line as the text before the caret,\n"
    "and prints the word-completion candidates that Wendrel's candidate strip would show for\n"
    "it: up to three words, most likely first, separated by tabs, one output line for each\n"
    "input line (an empty line when there are none), flushed after each line.\n"
    "\n"
    "A line that ends inside a word gives the words that begin with its letters (compared\n"
    "without regard to case); a line that ends with a space gives the words that most often\n"
    "followed the previous word in the learned text (none without --learn). Nothing is offered\n"
    "inside a number or right after \"=\".\n"
    "\n"
    "By default the built-in English dictionary is used alone and nothing is learned; the\n"
    "words learned by the Wendrel window are not read.\n"
    "\n"
    "Options:\n"
    "  --learn FILE  first learn the words and word pairs of the UTF-8 text FILE\n"
    "  --help        show this help and exit\n"
    "  --version     show the version and exit\n";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(WENDREL_VERSION));
    QStringList learnFiles;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (argument == QLatin1String("--version")) {
            std::printf("wendrel-complete %s\n", WENDREL_VERSION);
            return 0;
        }
        if (argument == QLatin1String("--learn") && i + 1 < arguments.size()) {
            learnFiles.append(arguments[++i]);
        } else if (argument.startsWith(QLatin1String("--learn="))) {
            learnFiles.append(argument.mid(8));
        } else {
            std::fprintf(stderr, "wendrel-complete: %s: %s\n%s",
                         argument == QLatin1String("--learn") ? "--learn needs a file" : "unknown argument",
                         qPrintable(argument), "Try 'wendrel-complete --help'.\n");
            return 2;
        }
    }

    wendrel::CompletionEngine engine(std::make_shared<const wendrel::Dictionary>(wendrel::Dictionary::builtIn()));
    for (const QString &path : learnFiles) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "wendrel-complete: cannot read %s: %s\n", qPrintable(path),
                         qPrintable(file.errorString()));
            return 1;
        }
        engine.learnText(QString::fromUtf8(file.readAll()));
    }

    QTextStream in(stdin);
    in.setEncoding(QStringConverter::Utf8);
    QString line;
    while (in.readLineInto(&line)) {
        const QByteArray answer = engine.candidates(line).join(u'\t').toUtf8() + '\n';
        std::fwrite(answer.constData(), 1, size_t(answer.size()), stdout);
        std::fflush(stdout);
    }
    return 0;
}

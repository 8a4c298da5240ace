#include "FormulaArguments.h"

namespace wendrel::cli {

namespace {

bool looksLikeOption(const QString &argument)
{
    return argument.size() > 1 && argument[0] == u'-' && (argument[1].isLetter() || argument[1] == u'-');
}

} // namespace

FormulaCommand parseFormulaArguments(const QStringList &arguments)
{
    FormulaCommand command;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && (argument == QLatin1String("--help") || argument == QLatin1String("-h"))) {
            return {{Verdict::Action::ShowHelp, {}}, {}};
        } else if (!optionsEnded && (argument == QLatin1String("--version") || argument == QLatin1String("-v"))) {
            return {{Verdict::Action::ShowVersion, {}}, {}};
        } else if (!optionsEnded && looksLikeOption(argument)) {
            return {{Verdict::Action::Refuse, QStringLiteral("unknown option '%1'").arg(argument)}, {}};
        } else {
            command.formulas << argument;
        }
    }
    return command;
}

QString formulaUsage()
{
    return QStringLiteral(
        "Usage: wendrel-formula [FORMULA]...\n"
        "Evaluates formulas as Wendrel's Fn + \"=\" key does: numbers, + - * / ^ and brackets.\n"
        "With formulas as arguments, prints each result on a line of its own. Without, reads a\n"
        "formula a line from standard input and prints \"formula<TAB>result\" a line.\n"
        "A result is a number, \"Error\" or \"Overflow\".\n"
        "\n"
        "  -h, --help       show this help and exit\n"
        "  -v, --version    show the version and exit\n"
        "  --               take every later argument as a formula\n"
        "\n"
        "Example: wendrel-formula \"2+3*4\" prints 14. See wendrel-formula(1).\n");
}

} // namespace wendrel::cli

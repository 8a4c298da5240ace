// wendrel-formula: evaluates formulas given as arguments (one result a line), or one formula a
// line from standard input ("formula<TAB>result" a line), for checking results in bulk.
#include "FormulaArguments.h"
#include "FormulaEvaluator.h"
#include "StandardStreams.h"

#include <QStringList>
#include <cstdlib>

namespace {

const QString program = QStringLiteral("wendrel-formula");

QString evaluate(const QString &formula)
{
    wendrel::FormulaEvaluator evaluator(formula);
    evaluator.Evaluate();
    return evaluator.result;
}

int failedWrite()
{
    wendrel::cli::complain(program, QStringLiteral("cannot write to standard output: ") + wendrel::cli::errorText());
    return EXIT_FAILURE;
}

} // namespace

int main(int argc, char **argv)
{
    namespace cli = wendrel::cli;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const cli::FormulaCommand command = cli::parseFormulaArguments(arguments);
    if (command.verdict.action != cli::Verdict::Action::Run)
        return cli::actOn(program, command.verdict, cli::formulaUsage());

    if (!command.formulas.isEmpty()) {
        QString results;
        for (const QString &formula : command.formulas)
            results += evaluate(formula) + u'\n';
        return cli::writeOut(results) ? EXIT_SUCCESS : failedWrite();
    }
    // Each answer is flushed as soon as it is known, so another program can ask a line at a time.
    while (const auto line = cli::readLine()) {
        if (!cli::writeOut(*line + u'\t' + evaluate(*line) + u'\n'))
            return failedWrite();
    }
    if (cli::readFailed()) {
        cli::complain(program, QStringLiteral("cannot read standard input: ") + cli::errorText());
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}

// wendrel-formula: evaluates one formula a line from standard input and prints
// "formula<TAB>result" a line, for checking results in bulk.
#include "FormulaEvaluator.h"

#include <QTextStream>

int main()
{
    QTextStream in(stdin);
    QTextStream out(stdout);
    in.setEncoding(QStringConverter::Utf8);
    out.setEncoding(QStringConverter::Utf8);
    QString line;
    while (in.readLineInto(&line)) {
        wendrel::FormulaEvaluator evaluator(line);
        evaluator.Evaluate();
        out << line << '\t' << evaluator.result << '\n';
    }
    return 0;
}

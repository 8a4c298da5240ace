// Benchmarks of the engines: the formula evaluator on its worst inputs, program discovery
// against find(1), and Load and Save of large texts.
#include "FormulaEvaluator.h"
#include "ProgramScanner.h"
#include "TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>

using namespace wendrel;

namespace {

// "1.5+2.25*3-4/1.5+..." of the given length.
QString manyOperators(int length)
{
    static const QStringList parts{QStringLiteral("1.5+"), QStringLiteral("2.25*"), QStringLiteral("3-"),
                                   QStringLiteral("4/"), QStringLiteral("1.5^")};
    QString formula;
    for (int i = 0; formula.size() < length - 1; ++i)
        formula += parts[i % parts.size()];
    formula.truncate(length - 1);
    while (!formula.isEmpty() && !formula.back().isDigit())
        formula.chop(1);
    return formula + QStringLiteral("7").left(length - formula.size());
}

void evaluateManyOperators(benchmark::State &state)
{
    const QString formula = manyOperators(int(state.range(0)));
    for (auto _ : state) {
        FormulaEvaluator evaluator(formula);
        evaluator.Evaluate();
        benchmark::DoNotOptimize(evaluator.result);
    }
    state.SetLabel(std::to_string(formula.size()) + " chars");
}
BENCHMARK(evaluateManyOperators)->Arg(16)->Arg(32)->Arg(64)->Arg(128)->Arg(255)->Unit(benchmark::kMicrosecond);

void evaluateNested(benchmark::State &state)
{
    const QString formula = QStringLiteral("1+") + QString(99, u'(') + u'2' + QString(99, u')');
    for (auto _ : state) {
        FormulaEvaluator evaluator(formula);
        evaluator.Evaluate();
        benchmark::DoNotOptimize(evaluator.result);
    }
}
BENCHMARK(evaluateNested)->Unit(benchmark::kMicrosecond);

void evaluateLongOperands(benchmark::State &state)
{
    const QString operand = QStringLiteral("0.") + QString(120, u'3');
    const QString formula = operand + u'*' + operand + u'+' + operand;
    for (auto _ : state) {
        FormulaEvaluator evaluator(formula);
        evaluator.Evaluate();
        benchmark::DoNotOptimize(evaluator.result);
    }
}
BENCHMARK(evaluateLongOperands)->Unit(benchmark::kMicrosecond);

// A Start Menu of 10 000 files, 500 of them shortcuts, in 8 levels of folders.
QString startMenuTree()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        made = true;
        int files = 0;
        for (int top = 0; top < 10; ++top) {
            QString folder = dir.path();
            for (int level = 0; level < 8; ++level) {
                folder += QStringLiteral("/level%1-%2").arg(level).arg(top);
                QDir().mkpath(folder);
                for (int i = 0; i < 125; ++i, ++files) {
                    const bool lnk = files % 20 == 0;
                    QFile file(folder + QStringLiteral("/file%1%2").arg(files).arg(lnk ? ".lnk" : ".txt"));
                    file.open(QIODevice::WriteOnly);
                }
            }
        }
    }
    return dir.path();
}

void discoverPrograms(benchmark::State &state)
{
    const QString root = startMenuTree();
    QList<Program> programs;
    for (auto _ : state) {
        ProgramScanner scanner(programs);
        scanner.scanFolder(root);
    }
    state.SetLabel(std::to_string(programs.size()) + " programs");
}
BENCHMARK(discoverPrograms)->Unit(benchmark::kMillisecond);

void findLnkFiles(benchmark::State &state)
{
    const QByteArray command = "find '" + startMenuTree().toLocal8Bit() + "' -name '*.lnk*' > /dev/null";
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system(command.constData()));
}
BENCHMARK(findLnkFiles)->Unit(benchmark::kMillisecond);

QString largeText(qsizetype bytes)
{
    QString line = QStringLiteral("The quick brown fox jumps over the lazy dog, über alles. 12345\r\n");
    QString text;
    text.reserve(bytes / 2);
    while (text.size() * 2 < bytes)
        text += line;
    return text;
}

void saveText(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString text = largeText(state.range(0));
    for (auto _ : state)
        writeTextFile(dir.path() + QStringLiteral("/t.txt"), text);
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(saveText)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

void loadText(benchmark::State &state)
{
    QTemporaryDir dir;
    writeTextFile(dir.path() + QStringLiteral("/t.txt"), largeText(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(readTextFile(dir.path() + QStringLiteral("/t.txt")));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(loadText)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

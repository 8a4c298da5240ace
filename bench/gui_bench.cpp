// Benchmarks of the real window on the offscreen platform: a tap to its character in the
// text area, and a full repaint of the keyboard through the colour rule.
#include "KeyButton.h"
#include "KeyboardDialog.h"
#include "QtPlatform.h"
#include "TextArea.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <benchmark/benchmark.h>

using namespace wendrel;

namespace {

struct Window {
    Window()
    {
        dialog.OnInitDialog();
        QTest::qWait(20);
    }
    QtPlatform platform;
    KeyboardDialog dialog{platform.services()};
};

// From the click on a key to the character in the text area, painted.
void tapToCharacter(benchmark::State &state)
{
    Window window;
    // A text of the given length in lines of 64 characters, as typed notes are.
    QString start;
    while (start.size() < state.range(0))
        start += QString(62, u'x') + QStringLiteral("\r\n");
    start.truncate(state.range(0));
    window.dialog.textArea().pushText(start);
    KeyButton *key = window.dialog.key(1004); // "e"
    KeyButton *backSpace = window.dialog.key(1065);
    QWidget *edit = window.dialog.textArea().widget()->viewport();
    for (auto _ : state) {
        QTest::mouseClick(key, Qt::LeftButton);
        QCoreApplication::processEvents();
        edit->repaint();
        state.PauseTiming();
        QTest::mouseClick(backSpace, Qt::LeftButton); // keep the text's length
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(tapToCharacter)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond);

// A repaint of the whole keyboard: 66 keys asking the colour rule for their faces.
void repaintKeyboard(benchmark::State &state)
{
    Window window;
    for (auto _ : state)
        window.dialog.repaint();
}
BENCHMARK(repaintKeyboard)->Unit(benchmark::kMicrosecond);

// The colour rule alone, for every key.
void colourRule(benchmark::State &state)
{
    Window window;
    for (auto _ : state) {
        for (int i = 0; i < 66; ++i)
            benchmark::DoNotOptimize(window.dialog.onControlColour(i));
    }
}
BENCHMARK(colourRule);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

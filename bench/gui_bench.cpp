// Benchmarks of the real window on the offscreen platform: a tap to its character in the
// text area, and a full repaint of the keyboard through the colour rule.
#include "KeyboardView.h"
#include "KeyboardDialog.h"
#include "TypingSession.h"
#include "QtPlatform.h"
#include "TextArea.h"
#include "TextFile.h"

#include <QFile>
#include <QTemporaryDir>

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
    KeyboardView *keys = &window.dialog.keyboardView();
    const QPoint key = keys->keyRect(keyIndexById(1004)).center(); // "e"
    const QPoint backSpace = keys->keyRect(keyIndexById(1065)).center();
    QWidget *edit = window.dialog.textArea().widget()->viewport();
    for (auto _ : state) {
        QTest::mouseClick(keys, Qt::LeftButton, {}, key);
        QCoreApplication::processEvents();
        edit->repaint();
        state.PauseTiming();
        QTest::mouseClick(keys, Qt::LeftButton, {}, backSpace); // keep the text's length
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
            benchmark::DoNotOptimize(window.dialog.session().onControlColour(i));
    }
}
BENCHMARK(colourRule);

long peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

QString largeText(qsizetype bytes)
{
    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog, über alles. 12345\r\n");
    QString text;
    while (text.size() * 2 < bytes)
        text += line;
    return text;
}

// Load as the Load key does it: read the file, show it in the text area.
void loadIntoWindow(benchmark::State &state)
{
    Window window;
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/t.txt");
    writeTextFile(path, largeText(state.range(0)));
    for (auto _ : state) {
        window.dialog.textArea().pushText(QString());
        window.dialog.textArea().pushText(*readTextFile(path));
    }
    state.counters["peak_kB"] = double(peakResidentKb());
}
BENCHMARK(loadIntoWindow)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond)->Iterations(3);

// Save as the Save key does it: take the text area's text, write the file.
void saveFromWindow(benchmark::State &state)
{
    Window window;
    QTemporaryDir dir;
    window.dialog.textArea().pushText(largeText(state.range(0)));
    for (auto _ : state)
        writeTextFile(dir.path() + QStringLiteral("/t.txt"), window.dialog.textArea().pullText());
    state.counters["peak_kB"] = double(peakResidentKb());
}
BENCHMARK(saveFromWindow)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

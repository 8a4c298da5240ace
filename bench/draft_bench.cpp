// The draft's cost in the real window on the offscreen platform: the longest pause of the
// event loop while the draft of a long text is written, the keeper's share of a change, how
// much is written while typing into a long text, and a tap to its character with and without
// drafts being written.
#include "DraftKeeper.h"
#include "KeyboardView.h"
#include "KeyboardDialog.h"
#include "QtPlatform.h"
#include "TextArea.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <benchmark/benchmark.h>

using namespace wendrel;

namespace {

// The window as the application builds it, optionally with its draft keeper.
struct Window {
    explicit Window(bool withDraft)
    {
        const Platform real = platform.services();
        if (withDraft)
            keeper = std::make_unique<DraftKeeper>(folder.path(), real.programEnd);
        dialog = std::make_unique<KeyboardDialog>(Platform{real.executable, real.messages, real.sound,
                                                           keeper ? *keeper : real.programEnd,
                                                           real.fileDialogs, real.shell, real.startMenu});
        if (keeper)
            keeper->watch(dialog->textArea());
        dialog->OnInitDialog();
        if (keeper)
            keeper->restore();
        QTest::qWait(50); // the first paint; the draft is claimed after it
    }
    ~Window()
    {
        dialog.reset();
        keeper.reset();
    }
    QTemporaryDir folder;
    QtPlatform platform;
    std::unique_ptr<DraftKeeper> keeper;
    std::unique_ptr<KeyboardDialog> dialog;
};

QString notes(qsizetype length)
{
    QString text;
    while (text.size() < length)
        text += QString(62, u'x') + QStringLiteral("\r\n");
    text.truncate(length);
    return text;
}

// Runs the event loop until done() and returns the longest gap between ticks of a 1 ms timer:
// how long the loop could not answer a tap.
template <typename Done>
double longestPauseMs(Done done, int limitMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    ticker.start(1);
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QCoreApplication::processEvents();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return double(longest) / 1e6;
}

// One change of a long text, then the event loop until its draft is on disk: the longest
// pause of the loop from the end of the editor's own work on the change (its layout, 100 ms)
// until the draft is written. Without drafts, the same change and as long a wait: the floor
// of this loop on this machine.
void draftWritePause(benchmark::State &state)
{
    const bool drafts = state.range(1) == 1;
    Window window(drafts);
    window.dialog->textArea().pushText(notes(state.range(0)));
    QTest::qWait(DraftKeeper::writeDelayMs + 200);
    if (drafts)
        window.keeper->writer()->flush();
    QPlainTextEdit *edit = window.dialog->textArea().widget();
    double longest = 0;
    for (auto _ : state) {
        const int before = drafts ? window.keeper->writer()->writes() : 0;
        QElapsedTimer waited;
        waited.start();
        QTextCursor cursor(edit->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QStringLiteral("y"));
        longestPauseMs([&] { return waited.elapsed() > 100; });
        const double pause = longestPauseMs([&] {
            return drafts ? window.keeper->writer()->writes() > before : waited.elapsed() > DraftKeeper::writeDelayMs + 100;
        });
        longest = std::max(longest, pause);
        state.SetIterationTime(pause / 1000);
    }
    state.counters["longest_pause_ms"] = longest;
}
BENCHMARK(draftWritePause)
    ->ArgNames({"length", "drafts"})
    ->Args({1 << 20, 0})->Args({1 << 20, 1})->Args({10 << 20, 0})->Args({10 << 20, 1})
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// What the draft itself does on the event loop when its delay ends (taking the document's
// text and handing it to the writer's thread): the pause a tap could meet.
void draftHandOver(benchmark::State &state)
{
    Window window(true);
    window.dialog->textArea().pushText(notes(state.range(0)));
    QTest::qWait(DraftKeeper::writeDelayMs + 200);
    window.keeper->writer()->flush();
    auto *delay = window.keeper->findChild<QTimer *>(QStringLiteral("draftDelay"));
    QPlainTextEdit *edit = window.dialog->textArea().widget();
    double slowest = 0;
    QElapsedTimer clock;
    for (auto _ : state) {
        QTextCursor cursor(edit->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QStringLiteral("y"));
        QTest::qWait(100); // the editor's own layout of the change
        clock.start();
        QMetaObject::invokeMethod(delay, "timeout"); // as when the delay ends
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        slowest = std::max(slowest, seconds * 1000);
        state.SetIterationTime(seconds);
        window.keeper->writer()->flush();
    }
    state.counters["slowest_ms"] = slowest;
    state.counters["drafts_written"] = window.keeper->writer()->writes();
    state.counters["whole_writes"] = window.keeper->writer()->wholeWrites();
}
BENCHMARK(draftHandOver)->Arg(1 << 20)->Arg(10 << 20)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// What one change of a long text costs the event loop: a character inserted at the end, with
// everything the document's change signal runs (the editor's own work, and the draft keeper's
// when drafts are kept). The difference between drafts 1 and 0 is the keeper's share.
void draftChangeCost(benchmark::State &state)
{
    const bool drafts = state.range(1) == 1;
    Window window(drafts);
    window.dialog->textArea().pushText(notes(state.range(0)));
    QTest::qWait(DraftKeeper::writeDelayMs + 200);
    QPlainTextEdit *edit = window.dialog->textArea().widget();
    QTextCursor cursor(edit->document());
    QElapsedTimer clock;
    double slowest = 0;
    for (auto _ : state) {
        cursor.movePosition(QTextCursor::End);
        clock.start();
        cursor.insertText(QStringLiteral("y"));
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        slowest = std::max(slowest, seconds * 1000);
        state.SetIterationTime(seconds);
        QCoreApplication::processEvents();
    }
    state.counters["slowest_ms"] = slowest;
}
BENCHMARK(draftChangeCost)
    ->ArgNames({"length", "drafts"})
    ->Args({10 << 20, 0})->Args({10 << 20, 1})
    ->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);

// Typing into a long text for 20 s, ten characters a second: how much the draft writes (whole
// texts at most once a second per megabyte of the draft, the changes in between appended to
// its journal), and the longest pause of the event loop meanwhile.
void draftTypingVolume(benchmark::State &state)
{
    Window window(true);
    window.dialog->textArea().pushText(notes(state.range(0)));
    QTest::qWait(DraftKeeper::writeDelayMs + 200);
    window.keeper->writer()->flush();
    QPlainTextEdit *edit = window.dialog->textArea().widget();
    QTextCursor cursor(edit->document());
    constexpr int seconds = 20;
    for (auto _ : state) {
        const qint64 bytesBefore = window.keeper->writer()->bytesWritten();
        const int wholeBefore = window.keeper->writer()->wholeWrites();
        const int writesBefore = window.keeper->writer()->writes();
        QElapsedTimer typing;
        typing.start();
        int typed = 0;
        const double pause = longestPauseMs([&] {
            if (typing.elapsed() >= typed * 100) {
                cursor.movePosition(QTextCursor::End);
                cursor.insertText(QStringLiteral("y"));
                ++typed;
            }
            return typing.elapsed() > seconds * 1000;
        }, seconds * 1000 + 1000);
        window.keeper->writer()->flush();
        const double megabytes = double(window.keeper->writer()->bytesWritten() - bytesBefore) / (1 << 20);
        state.counters["MB_per_s"] = megabytes / seconds;
        state.counters["whole_writes"] = window.keeper->writer()->wholeWrites() - wholeBefore;
        state.counters["writes"] = window.keeper->writer()->writes() - writesBefore;
        state.counters["longest_pause_ms"] = pause;
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(draftTypingVolume)->Arg(1 << 20)->Arg(5 << 20)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

// From the click on a key to the character in the text area, painted; the slowest tap too.
// With drafts, the text is written every half second while the taps go on.
void tapToCharacter(benchmark::State &state)
{
    Window window(state.range(1) == 1);
    window.dialog->textArea().pushText(notes(state.range(0)));
    KeyboardView *keys = &window.dialog->keyboardView();
    const QPoint key = keys->keyRect(keyIndexById(1004)).center(); // "e"
    const QPoint backSpace = keys->keyRect(keyIndexById(1065)).center();
    QWidget *edit = window.dialog->textArea().widget()->viewport();
    QElapsedTimer clock;
    double slowest = 0;
    for (auto _ : state) {
        clock.start();
        QTest::mouseClick(keys, Qt::LeftButton, {}, key);
        QCoreApplication::processEvents();
        edit->repaint();
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        slowest = std::max(slowest, seconds * 1000);
        state.SetIterationTime(seconds);
        QTest::mouseClick(keys, Qt::LeftButton, {}, backSpace); // keep the text's length
        QCoreApplication::processEvents();
    }
    state.counters["slowest_ms"] = slowest;
    if (window.keeper)
        state.counters["drafts_written"] = window.keeper->writer()->writes();
}
BENCHMARK(tapToCharacter)
    ->ArgNames({"length", "drafts"})
    ->Args({0, 0})->Args({0, 1})->Args({100000, 0})->Args({100000, 1})->Args({1 << 20, 0})->Args({1 << 20, 1})
    ->UseManualTime()->MinTime(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// The typing engine alone: what one tap costs with a long text, on the session's own clock
// (no window, no painting). The goal is well under 20 microseconds a tap with 100,000
// characters; the window's own costs are measured by bench_window. Keyboard mode's taps into
// another program are measured beside them.
#include "Clipboard.h"
#include "CompletionEngine.h"
#include "RecordingOutput.h"
#include "TypingSession.h"

#include <QTextDocument>
#include <benchmark/benchmark.h>

using namespace wendrel;

namespace {

// Prose-like text of the given length: words, sentences and a line break every few lines.
QString longText(int length, bool lineBreaks)
{
    static const QStringList words{QStringLiteral("the"), QStringLiteral("keyboard"), QStringLiteral("was"),
                                   QStringLiteral("tapped"), QStringLiteral("with"), QStringLiteral("a"),
                                   QStringLiteral("stylus."), QStringLiteral("It")};
    QString text;
    text.reserve(length);
    for (int i = 0; text.size() < length; ++i) {
        text += words[i % words.size()];
        text += lineBreaks && i % 40 == 39 ? u'\n' : u' ';
    }
    text.truncate(length);
    return text;
}

struct Session {
    explicit Session(int length, bool lineBreaks) : session(clock, clipboard)
    {
        session.insertText(longText(length, lineBreaks));
    }
    ManualClock clock;
    MemoryClipboard clipboard;
    TypingSession session;
};

// A letter and a BackSpace, alternately, at the end of the text or in its middle.
void tapWithLongText(benchmark::State &state)
{
    Session s(int(state.range(0)), state.range(1) != 0);
    if (state.range(2) != 0)
        s.session.setSelection(int(state.range(0) / 2), int(state.range(0) / 2));
    const int letter = keyIndexById(1012);   // "l"
    const int backSpace = keyIndexById(1065);
    bool typeLetter = true;
    for (auto _ : state) {
        s.session.tapKey(typeLetter ? letter : backSpace);
        typeLetter = !typeLetter;
        s.clock.advance(40);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(tapWithLongText)
    ->ArgNames({"chars", "lines", "middle"})
    ->Args({100000, 0, 0})
    ->Args({100000, 1, 0})
    ->Args({100000, 1, 1})
    ->Args({1000000, 1, 0})
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

// The same with word completion on: the candidates are computed after every tap.
void tapWithCompletion(benchmark::State &state)
{
    Session s(100000, true);
    CompletionEngine completion(std::make_shared<const Dictionary>(Dictionary::builtIn()));
    s.session.setCompletion(&completion);
    const int letter = keyIndexById(1012);
    const int backSpace = keyIndexById(1065);
    bool typeLetter = true;
    for (auto _ : state) {
        s.session.tapKey(typeLetter ? letter : backSpace);
        typeLetter = !typeLetter;
        s.clock.advance(40);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(tapWithCompletion)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// Keyboard mode: a letter and a BackSpace typed into another program whose text before the
// caret is known (typed since the focus changed, or reported by an input method) for the
// given length. Each tap compares what is known with what was sent to find what to send.
void tapIntoOtherProgram(benchmark::State &state)
{
    ManualClock clock;
    MemoryClipboard clipboard;
    TypingSession session(clock, clipboard);
    RecordingOutput output;
    session.typeInto(&output);
    session.setFieldKind(FieldKind::Text);
    session.setTextBeforeCaret(longText(int(state.range(0)), true));
    const int letter = keyIndexById(1012);
    const int backSpace = keyIndexById(1065);
    bool typeLetter = true;
    for (auto _ : state) {
        session.tapKey(typeLetter ? letter : backSpace);
        typeLetter = !typeLetter;
        clock.advance(40);
        output.clearLog();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(tapIntoOtherProgram)->ArgName("chars")->Arg(0)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The state a view reads to paint all 66 keys.
void readKeysForAPaint(benchmark::State &state)
{
    Session s(100000, true);
    for (auto _ : state) {
        for (int i = 0; i < TypingSession::keyCount; ++i) {
            benchmark::DoNotOptimize(s.session.onControlColour(i));
            benchmark::DoNotOptimize(s.session.caption(i));
        }
    }
}
BENCHMARK(readKeysForAPaint)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

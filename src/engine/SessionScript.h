#pragma once
// wendrel-type's protocol: one event or query a line, run on a typing session with its own
// clock and clipboard. Kept apart from main() so that tests can run lines without a process.
#include "Clipboard.h"
#include "RecordingOutput.h"
#include "SessionClock.h"
#include "TypingSession.h"

#include <QJsonObject>
#include <QString>
#include <memory>
#include <optional>

namespace wendrel {

class SessionScript {
public:
    // A key tap is a press and, this long after it, a release at the same point.
    static constexpr int tapMs = 40;
    // Longer waits are refused: the session's clock would leave the range of its numbers.
    static constexpr qint64 maxWaitMs = qint64(1) << 50;

    SessionScript();

    TypingSession &session() { return typing; }

    // Keyboard mode: the session types into a program that is not there. What it would send
    // is recorded and played on a text field of the script's own; "state" reports both
    // ("sent": the sends since the last state, "field": the field's text), and the events
    // "focus", "caret-moved", "field KIND" and "before TEXT" stand for what the window system
    // reports of the program.
    void typeIntoRecorder();
    RecordingOutput *recorder() { return recording.get(); }
    ManualClock &clock() { return manualClock; }

    struct Result {
        std::optional<QString> answer; // one line without its line break (for "state")
        QString error;                  // what is wrong with the line; empty when it was understood
    };
    Result run(QStringView line);

    // The answer to "state".
    QJsonObject state();
    // The key a "key" event names, as an index of keyTable(); -1 for an unknown name.
    static int keyByName(QStringView name);

private:
    Result runEvent(QStringView word, QStringView rest);
    void tapAt(QPointF point);

    ManualClock manualClock;
    MemoryClipboard memoryClipboard;
    TypingSession typing;
    std::optional<QString> pendingCommand;
    std::unique_ptr<RecordingOutput> recording;
};

} // namespace wendrel

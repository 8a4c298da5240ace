#pragma once
// Keeps the text area's draft on disk while the program runs and ends it at the program's end.
// The application owns it; the keyboard window sees it only as the program's end (ProgramEnd),
// which the keeper passes on after the draft is dealt with:
// - Exit and a close request are the user's deliberate end: the text is kept in last-exit.txt
//   (earlier exits in last-exit.1.txt, ...) and the draft is removed, so the next start is empty;
// - an end asked for by a signal (keepDraftAtEnd first) writes the draft at once and keeps it,
//   so the next start restores the text.
#include "DraftStore.h"
#include "DraftWriter.h"
#include "Platform.h"
#include "TextMirror.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

class QTextDocument;

namespace wendrel {

class TextArea;

class DraftKeeper : public QObject, public ProgramEnd {
    Q_OBJECT
public:
    // At most this long after a change the draft is handed to the writer, also while the user
    // keeps typing.
    static constexpr int writeDelayMs = 500;
    // A long text is written whole at most once a second per this many bytes of its draft
    // file; the changes in between go to the draft's journal (DraftJournal.h).
    static constexpr qint64 wholeBytesPerSecond = 1 << 20;
    // How long after the last whole write the next one may come, for a text of that many
    // 16-bit units (as the draft file holds it).
    static qint64 wholeIntervalMs(qint64 units);

    DraftKeeper(const QString &folder, ProgramEnd &next, QObject *parent = nullptr);
    ~DraftKeeper() override;

    // The text area whose text is kept; changes of its document are written from restore() on.
    void watch(TextArea &text);
    // Before the first paint: shows the text left by earlier runs, caret at its end. When
    // there is no draft on disk (one look at the folder) the draft is claimed after the first
    // paint, so a plain start does no more work before it.
    void restore();
    // Writes the text now and waits until it is on disk (a session's "save your work").
    void writeNow();
    // The next end keeps the draft (an end asked for by a signal).
    void keepDraftAtEnd() { keepDraft = true; }

    // ProgramEnd: deals with the draft, then passes the end on (once).
    void keepOnClipboard(const QString &text) override { next.keepOnClipboard(text); }
    void exit(int status) override;

    const DraftStore &store() const { return drafts; }
    DraftWriter *writer() const { return draftWriter.get(); }

signals:
    // Once: the text is not kept on disk (the draft folder cannot be made or locked, or the
    // draft cannot be written); standard error has said why. The window shows it.
    void notKept();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void claimAndRestore();
    void onContentsChange(int position, int removed, int added);
    void takeWholeText();
    void handOver();
    void reportNotKept(const QString &why);

    DraftStore drafts;
    ProgramEnd &next;
    TextArea *text = nullptr;
    QPointer<QTextDocument> document; // the text area's, destroyed before the text area
    std::unique_ptr<DraftWriter> draftWriter;
    QTimer delay;
    // The document's text as changes come (no copy or comparison of a long text at a change),
    // and the changes not handed over yet, as edits of the draft file's text.
    TextMirror mirror;
    QList<DraftEdit> edits;
    bool wholeDue = true;
    QElapsedTimer sinceWhole;
    bool claimFailed = false;
    bool notKeptReported = false;
    bool restoring = false;
    bool keepDraft = false;
    bool ended = false;
};

} // namespace wendrel

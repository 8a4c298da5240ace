#include "DraftKeeper.h"

#include "TextArea.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace wendrel {

namespace {
// The text as the text area presents it, from the document's raw text.
QString presented(QString raw)
{
    return raw.replace(QChar(0x2029), QStringLiteral("\r\n"));
}
} // namespace

qint64 DraftKeeper::wholeIntervalMs(qint64 units)
{
    return std::max<qint64>(writeDelayMs, 2 * units * 1000 / wholeBytesPerSecond);
}

DraftKeeper::DraftKeeper(const QString &folder, ProgramEnd &next, QObject *parent)
    : QObject(parent), drafts(folder), next(next)
{
    delay.setParent(this);
    delay.setObjectName(QStringLiteral("draftDelay"));
    delay.setSingleShot(true);
    delay.setInterval(writeDelayMs);
    connect(&delay, &QTimer::timeout, this, &DraftKeeper::handOver);
    // An end that passed neither Exit nor a signal: what is typed still reaches the disk.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (!ended && delay.isActive())
            handOver();
    });
}

DraftKeeper::~DraftKeeper()
{
    if (!ended && delay.isActive())
        handOver();
}

void DraftKeeper::watch(TextArea &area)
{
    text = &area;
    document = area.widget()->document();
    connect(document, &QTextDocument::contentsChange, this, &DraftKeeper::onContentsChange);
}

void DraftKeeper::restore()
{
    if (drafts.anyDraftExists()) {
        claimAndRestore();
    } else if (text) {
        text->widget()->window()->installEventFilter(this);
    }
}

bool DraftKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint) {
        watched->removeEventFilter(this);
        QTimer::singleShot(0, this, &DraftKeeper::claimAndRestore);
    }
    return false;
}

void DraftKeeper::reportNotKept(const QString &why)
{
    if (notKeptReported)
        return;
    notKeptReported = true;
    qWarning("wendrel: %s; the text is not kept on disk", qUtf8Printable(why));
    emit notKept();
}

void DraftKeeper::claimAndRestore()
{
    // A folder that failed once is not tried again at every change.
    if (drafts.claimed() || claimFailed || ended || !text)
        return;
    const std::optional<QString> restored = drafts.claim();
    if (!restored) {
        claimFailed = true;
        reportNotKept(QStringLiteral("no draft can be kept in %1").arg(drafts.folder()));
        return;
    }
    for (const QString &aside : drafts.movedAside())
        qWarning("wendrel: a damaged draft was moved aside to %s", qPrintable(aside));
    const QString path = drafts.draftPath();
    draftWriter = std::make_unique<DraftWriter>(path, presented, [this, path] {
        // On the writer's thread: the report goes through the event loop.
        QMetaObject::invokeMethod(this, [this, path] { reportNotKept(QStringLiteral("cannot write the draft %1").arg(path)); },
                                  Qt::QueuedConnection);
    });
    const bool typedBefore = !document->isEmpty();
    if (!restored->isEmpty()) {
        restoring = true;
        // Something typed before a late claim stays, after the restored text.
        const QString typed = text->pullText();
        text->pushText(typed.isEmpty() ? *restored : *restored + QStringLiteral("\r\n\r\n") + typed);
        const qsizetype end = text->length();
        text->setSelection(end, end);
        text->scrollCaret();
        restoring = false;
    }
    takeWholeText();
    // The draft on disk holds the restored text: it is written (whole) at the first change, or
    // now when something typed before the claim joined it.
    if (!restored->isEmpty() && typedBefore)
        handOver();
}

// The whole text is taken once (at the claim, or when a change does not fit the copy); the
// next hand-over writes it whole.
void DraftKeeper::takeWholeText()
{
    mirror.reset(document->toRawText());
    edits.clear();
    wholeDue = true;
}

void DraftKeeper::onContentsChange(int position, int removed, int added)
{
    if (restoring || ended || !document)
        return;
    if (!drafts.claimed()) {
        claimAndRestore(); // takes the whole text, this change too
    } else if (draftWriter) {
        // QTextDocument counts the separator after its last paragraph in some changes (a
        // whole new text); that one is not part of the text.
        const qsizetype length = document->characterCount() - 1;
        const qsizetype from = std::clamp<qsizetype>(position, 0, mirror.size());
        const qsizetype gone = std::clamp<qsizetype>(removed, 0, mirror.size() - from);
        const qsizetype come = std::clamp<qsizetype>(added, 0, length - from);
        DraftEdit edit;
        if (mirror.size() - gone + come != length) {
            takeWholeText();
        } else {
            QTextCursor range(document);
            range.setPosition(int(from));
            range.setPosition(int(from + come), QTextCursor::KeepAnchor);
            mirror.replace(from, gone, range.selectedText(), &edit);
            if (edit.removed > 0 || !edit.added.isEmpty())
                edits.append(std::move(edit));
        }
    }
    if (draftWriter && !delay.isActive())
        delay.start(); // not restarted by later changes: written at least once a delay
}

void DraftKeeper::handOver()
{
    delay.stop();
    if (!draftWriter)
        return;
    if (!wholeDue && draftWriter->needsWhole())
        wholeDue = true;
    // A text of up to half a megabyte is written whole at every hand-over; a longer one only
    // when its interval has passed, its changes in between going to the journal.
    const qint64 interval = wholeIntervalMs(mirror.presentedSize());
    if (wholeDue || (!edits.isEmpty() && (interval <= writeDelayMs || sinceWhole.hasExpired(interval)))) {
        // The pieces are shared with the writer: this costs no copy of the text.
        draftWriter->submit(mirror.pieces());
        edits.clear();
        wholeDue = false;
        sinceWhole.start();
    } else if (!edits.isEmpty()) {
        draftWriter->submitEdits(edits);
        edits.clear();
    }
}

void DraftKeeper::writeNow()
{
    if (!drafts.claimed())
        claimAndRestore();
    handOver();
    if (draftWriter)
        draftWriter->flush();
}

void DraftKeeper::exit(int status)
{
    if (ended)
        return;
    if (keepDraft || !text) {
        writeNow();
    } else {
        delay.stop();
        if (draftWriter)
            draftWriter->flush();
        // If the text cannot be kept in last-exit.txt the draft stays, so the text is still restored.
        if (!drafts.endDraft(text->pullText()))
            writeNow();
        draftWriter.reset();
    }
    ended = true;
    next.exit(status);
}

} // namespace wendrel

#include "DraftKeeper.h"

#include "TextArea.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace wendrel {

namespace {
// The text as the text area presents it, from the document's raw text.
QString presented(QString raw)
{
    return raw.replace(QChar(0x2029), QStringLiteral("\r\n"));
}
} // namespace

QString DraftKeeper::rawText() const
{
    return text->widget()->document()->toRawText();
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
    if (!ended && delay.isActive() && editor)
        handOver();
}

void DraftKeeper::watch(TextArea &area)
{
    text = &area;
    editor = area.widget();
    connect(area.widget()->document(), &QTextDocument::contentsChanged, this, &DraftKeeper::onTextChanged);
}

void DraftKeeper::restore()
{
    if (drafts.firstDraftExists()) {
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

void DraftKeeper::claimAndRestore()
{
    if (drafts.claimed() || ended || !text)
        return;
    const std::optional<QString> restored = drafts.claim();
    if (!restored) {
        qWarning("wendrel: no draft can be kept in %s", qPrintable(drafts.folder()));
        return;
    }
    for (const QString &aside : drafts.movedAside())
        qWarning("wendrel: a damaged draft was moved aside to %s", qPrintable(aside));
    draftWriter = std::make_unique<DraftWriter>(drafts.draftPath(), presented);
    lastHandedOver.reset(); // the first change is written whatever it is
    if (restored->isEmpty())
        return;
    restoring = true;
    // Something typed before a late claim stays, after the restored text.
    const QString typed = text->pullText();
    text->pushText(typed.isEmpty() ? *restored : *restored + QStringLiteral("\r\n\r\n") + typed);
    const qsizetype end = text->length();
    text->setSelection(end, end);
    text->scrollCaret();
    // The restored text is where this run starts, not an edit: an Undo must not take it away
    // (the emptied text would become the draft).
    text->widget()->document()->clearUndoRedoStacks();
    restoring = false;
    lastHandedOver = rawText();
    if (!typed.isEmpty())
        handOver();
}

void DraftKeeper::onTextChanged()
{
    if (restoring || ended)
        return;
    if (!drafts.claimed())
        claimAndRestore();
    if (!delay.isActive())
        delay.start(); // not restarted by later changes: written at least once a delay
}

void DraftKeeper::handOver()
{
    delay.stop();
    if (!draftWriter || !text)
        return;
    // The document's own text is quick to take; making line breaks 13, 10 of a long text is
    // not, so the writer's thread does that.
    const QString current = rawText();
    if (lastHandedOver && current == *lastHandedOver)
        return;
    lastHandedOver = current;
    draftWriter->submit(current);
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
        // If last-exit.txt cannot be written the draft stays, so the text is still restored.
        if (!drafts.endDraft(text->pullText()))
            writeNow();
        draftWriter.reset();
    }
    ended = true;
    next.exit(status);
}

} // namespace wendrel

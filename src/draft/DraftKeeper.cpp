#include "DraftKeeper.h"

#include "TextArea.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace wendrel {

DraftKeeper::DraftKeeper(const QString &folder, ProgramEnd &next, QObject *parent)
    : QObject(parent), drafts(folder), next(next)
{
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
    draftWriter = std::make_unique<DraftWriter>(drafts.draftPath());
    lastHandedOver = *restored;
    if (restored->isEmpty())
        return;
    restoring = true;
    // Something typed before a late claim stays, after the restored text.
    const QString typed = text->pullText();
    text->pushText(typed.isEmpty() ? *restored : *restored + QStringLiteral("\r\n\r\n") + typed);
    const qsizetype end = text->length();
    text->setSelection(end, end);
    text->scrollCaret();
    restoring = false;
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
    const QString current = text->pullText();
    if (current == lastHandedOver)
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

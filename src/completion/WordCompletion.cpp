#include "WordCompletion.h"

#include "CandidateStrip.h"
#include "CompletionEngine.h"
#include "TextArea.h"
#include "TypingSession.h"
#include "SwipeTyping.h"
#include "WordCorrection.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>

namespace wendrel {

WordCompletion::WordCompletion(QWidget &window, TextArea &text, TypingSession &session)
    : WordCompletion(window, session)
{
    this->text = &text;
}

WordCompletion::WordCompletion(QWidget &window, TypingSession &session) : window(window), session(session)
{
    saveTimer.setSingleShot(true);
    connect(&saveTimer, &QTimer::timeout, this, &WordCompletion::save);
    connect(&session, &TypingSession::candidatesChanged, this, &WordCompletion::showCandidates);
    connect(&session, &TypingSession::wordsLearned, this, &WordCompletion::noteLearned);
    connect(&session, &TypingSession::candidatePicked, this, [this](int cell) {
        if (candidateStrip && this->session.lightFlag())
            candidateStrip->light(cell);
    });
}

WordCompletion::~WordCompletion()
{
    saveNow(); // usually done already, before the program's end began
    if (correctionBuilder)
        correctionBuilder->wait();
    if (swipeBuilder)
        swipeBuilder->wait();
    if (session.completion() == completion.get())
        session.setCompletion(nullptr);
    if (wordCorrection && session.correction() == wordCorrection.get())
        session.setCorrection(nullptr);
    if (swipeTyping && session.swipe() == swipeTyping.get())
        session.setSwipe(nullptr);
}

QString WordCompletion::learnedWordsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/wendrel/learned-words.txt");
}

void WordCompletion::setOn(bool value)
{
    if (value == on)
        return;
    on = value;
    createStrip();
    layOut();
    if (candidateStrip)
        candidateStrip->setVisible(stripWanted() && textShown());
    // Switching on does not load the words: the strip's first paint does.
    session.setCompletion(on && completion ? completion.get() : nullptr);
    if (on && swipeOn && painted)
        ensureSwipe();
    giveSwipe();
    showCandidates();
}

void WordCompletion::setSwipeOn(bool value)
{
    if (value == swipeOn)
        return;
    swipeOn = value;
    if (on && swipeOn && painted)
        ensureSwipe();
    giveSwipe();
}

// The session strokes words while completion and swipe typing are both on and the decoder is built.
void WordCompletion::giveSwipe()
{
    session.setSwipe(on && swipeOn && swipeTyping ? swipeTyping.get() : nullptr);
}

void WordCompletion::ensureSwipe()
{
    ensureLoaded();
    if (swipeTyping || swipeBuilder)
        return;
    CompletionEngine *engine = completion.get();
    swipeBuilder.reset(QThread::create([this, engine] {
        builtSwipe = std::make_unique<SwipeTyping>(*engine, std::make_shared<const Dictionary>(Dictionary::builtIn()));
    }));
    connect(swipeBuilder.get(), &QThread::finished, this, &WordCompletion::adoptSwipe);
    swipeBuilder->start(QThread::LowPriority);
}

void WordCompletion::adoptSwipe()
{
    if (!builtSwipe || !swipeBuilder || !swipeBuilder->isFinished() || !learnedAdopted)
        return;
    swipeTyping = std::move(builtSwipe);
    swipeTyping->addLearnedWords();
    giveSwipe();
}

void WordCompletion::setCorrectionOn(bool value)
{
    if (value == correctionOn)
        return;
    correctionOn = value;
    createStrip();
    layOut();
    if (candidateStrip)
        candidateStrip->setVisible(stripWanted() && textShown());
    if (correctionOn && painted)
        ensureCorrection();
    session.setCorrection(correctionOn && wordCorrection ? wordCorrection.get() : nullptr);
    showCandidates();
}

void WordCompletion::createStrip()
{
    if (!stripWanted() || candidateStrip)
        return;
    candidateStrip = new CandidateStrip(&window);
    connect(candidateStrip, &CandidateStrip::tapped, &session, &TypingSession::pick);
    connect(candidateStrip, &CandidateStrip::firstPainted, this, [this] {
        painted = true;
        QTimer::singleShot(0, this, &WordCompletion::afterFirstPaint);
    });
    // The strip is shown and hidden with the text area.
    if (text)
        text->widget()->installEventFilter(this);
}

// The words are loaded once the strip is on the screen, so that they never delay the window.
void WordCompletion::afterFirstPaint()
{
    if (on) {
        ensureLoaded();
        session.setCompletion(completion.get());
    }
    if (correctionOn)
        ensureCorrection();
    if (on && swipeOn)
        ensureSwipe();
}

bool WordCompletion::textShown() const
{
    return text ? text->widget()->isVisible() : true;
}

void WordCompletion::place()
{
    textRect = text->widget()->geometry();
    layOut();
}

void WordCompletion::placeStrip(const QRect &rect)
{
    stripRect = rect;
    layOut();
}

void WordCompletion::layOut()
{
    int height = 0;
    if (!text) {
        if (stripRect.isNull() || !candidateStrip)
            return;
        height = stripRect.height();
        candidateStrip->setGeometry(stripRect);
    } else {
        QPlainTextEdit *edit = text->widget();
        if (textRect.isNull())
            return; // not placed yet
        if (!stripWanted() || !candidateStrip) {
            edit->setGeometry(textRect);
            return;
        }
        // The strip scales with the text area, whose height is 76 pixels at scale 1.
        height = qRound(CandidateStrip::layoutHeight * textRect.height() / 76.0);
        edit->setGeometry(textRect.adjusted(0, 0, 0, -height));
        candidateStrip->setGeometry(textRect.left(), textRect.bottom() + 1 - height, textRect.width(), height);
    }
    QFont font = window.font();
    font.setPixelSize(std::max(8, height * 3 / 5));
    candidateStrip->setFont(font);
}

bool WordCompletion::eventFilter(QObject *watched, QEvent *event)
{
    if (candidateStrip && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        candidateStrip->setVisible(stripWanted() && textShown());
    return QObject::eventFilter(watched, event);
}

void WordCompletion::ensureLoaded()
{
    if (completion)
        return;
    completion = CompletionEngine::create();
    if (!completion->isAvailable()) {
        // Completion goes on from the built-in word list rather than not at all.
        qWarning("wendrel: the language model is unavailable (%s); word completion uses the word list alone",
                 qPrintable(completion->unavailableReason()));
        completion = std::make_unique<CompletionEngine>(std::make_shared<const Dictionary>(Dictionary::builtIn()));
    }
    // A full learned-words file takes tens of milliseconds to read (more on a handheld): it is
    // read on a thread of its own, and what is learned meanwhile is kept on top of it.
    const std::function<LearnedWords::Loaded()> read = completion->learned().reader(learnedWordsPath());
    learnedReader.reset(QThread::create([this, read] { pendingLearned = read(); }));
    connect(learnedReader.get(), &QThread::finished, this, &WordCompletion::adoptLearned);
    learnedReader->start(QThread::LowPriority);
}

void WordCompletion::adoptLearned()
{
    if (!pendingLearned)
        return;
    const QString message = LearnedWords::describe(*pendingLearned, learnedWordsPath());
    if (!message.isEmpty())
        qWarning("wendrel: %s", qPrintable(message));
    // What cannot be read, or is not a file, is not replaced by what is learned from now on.
    const LearnedWords::LoadResult result = completion->learned().adopt(std::move(*pendingLearned));
    keepLearned = result != LearnedWords::LoadResult::Unreadable && result != LearnedWords::LoadResult::NotAFile;
    pendingLearned.reset();
    learnedAdopted = true;
    // The candidates shown may now rank otherwise.
    if (session.completion() == completion.get())
        session.setCompletion(completion.get());
    adoptCorrection();
    adoptSwipe();
    if (completion->learned().isDirty())
        scheduleSave();
}

// The decoder's lexicon reads only the model and the dictionary, never the learned words that
// the reader thread is filling: it is built beside them.
void WordCompletion::ensureCorrection()
{
    ensureLoaded();
    if (wordCorrection || correctionBuilder)
        return;
    CompletionEngine *engine = completion.get();
    correctionBuilder.reset(QThread::create([this, engine] {
        builtCorrection = std::make_unique<WordCorrection>(*engine, std::make_shared<const Dictionary>(Dictionary::builtIn()));
    }));
    connect(correctionBuilder.get(), &QThread::finished, this, &WordCompletion::adoptCorrection);
    correctionBuilder->start(QThread::LowPriority);
}

// Takes the built decoder once both it and the learned words are in: the words the user
// taught join its lexicon.
void WordCompletion::adoptCorrection()
{
    if (!builtCorrection || !correctionBuilder || !correctionBuilder->isFinished() || !learnedAdopted)
        return;
    wordCorrection = std::move(builtCorrection);
    wordCorrection->addLearnedWords();
    if (correctionOn)
        session.setCorrection(wordCorrection.get());
}

void WordCompletion::showCandidates()
{
    if (candidateStrip)
        candidateStrip->setCandidates(stripWanted() ? session.candidates() : QStringList());
}

void WordCompletion::setSaveDelays(int quiet, int atMost)
{
    quietMs = quiet;
    atMostMs = atMost;
}

void WordCompletion::noteLearned()
{
    if (!firstUnsaved.isValid())
        firstUnsaved.start();
    scheduleSave();
}

// quietMs after the last word, but no later than atMostMs after the first word not saved.
void WordCompletion::scheduleSave()
{
    if (!firstUnsaved.isValid())
        firstUnsaved.start();
    const qint64 left = atMostMs - firstUnsaved.elapsed();
    saveTimer.start(int(std::clamp<qint64>(left, 0, quietMs)));
}

// The file is read, added to and written on a thread of its own: a full store takes a good part
// of a second, and longer while another copy of the program holds the lock.
void WordCompletion::save()
{
    if (!completion || !learnedAdopted || !keepLearned || !completion->learned().isDirty())
        return;
    if (learnedSaver)
        return; // the save under way schedules the next one when it ends
    saveTimer.stop();
    firstUnsaved.invalidate(); // words learned from now on wait for the next save
    const QString path = learnedWordsPath();
    QDir().mkpath(QFileInfo(path).path());
    const std::function<LearnedWords::Saved()> work = completion->learned().saver(path);
    learnedSaver.reset(QThread::create([this, work] { pendingSaved = work(); }));
    connect(learnedSaver.get(), &QThread::finished, this, &WordCompletion::adoptSaved);
    learnedSaver->start(QThread::LowPriority);
}

void WordCompletion::adoptSaved()
{
    if (!learnedSaver || !learnedSaver->isFinished() || !pendingSaved)
        return;
    learnedSaver.reset();
    LearnedWords::Saved saved = std::move(*pendingSaved);
    pendingSaved.reset();
    const QString error = saved.error;
    // A file found damaged when saving was moved aside: said as at the start.
    if (saved.read.result == LearnedWords::LoadResult::Damaged)
        qWarning("wendrel: %s", qPrintable(LearnedWords::describe(saved.read, learnedWordsPath())));
    if (completion->learned().adoptSaved(std::move(saved))) {
        lastSaveError.clear();
        if (completion->learned().isDirty())
            scheduleSave();
        return;
    }
    if (error != lastSaveError) {
        qWarning("wendrel: learned words not saved: %s; they are kept for a later save", qPrintable(error));
        lastSaveError = error;
    }
    if (!firstUnsaved.isValid())
        firstUnsaved.start();
    saveTimer.start(saveRetryMs);
}

void WordCompletion::waitForSave()
{
    if (learnedSaver) {
        learnedSaver->wait();
        adoptSaved();
    }
}

void WordCompletion::saveNow()
{
    // What the reader found is taken before the last save, so the save cannot go over a file
    // that could not be read.
    if (learnedReader) {
        learnedReader->wait();
        adoptLearned();
    }
    waitForSave();
    save();
    waitForSave();
    saveTimer.stop();
}

} // namespace wendrel

#include "WordCompletion.h"

#include "CandidateStrip.h"
#include "CompletionEngine.h"
#include "TextArea.h"
#include "TypingSession.h"
#include "WordCorrection.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QThread>

namespace wendrel {

namespace {
// Learned words are written this long after the last change, not at every word.
constexpr int saveDelayMs = 3000;
} // namespace

WordCompletion::WordCompletion(QWidget &window, TextArea &text, TypingSession &session)
    : WordCompletion(window, session)
{
    this->text = &text;
}

WordCompletion::WordCompletion(QWidget &window, TypingSession &session) : window(window), session(session)
{
    saveTimer.setSingleShot(true);
    saveTimer.setInterval(saveDelayMs);
    connect(&saveTimer, &QTimer::timeout, this, &WordCompletion::save);
    connect(&session, &TypingSession::candidatesChanged, this, &WordCompletion::showCandidates);
    connect(&session, &TypingSession::wordsLearned, this, [this] { saveTimer.start(); });
    connect(&session, &TypingSession::candidatePicked, this, [this](int cell) {
        if (candidateStrip && this->session.lightFlag())
            candidateStrip->light(cell);
    });
}

WordCompletion::~WordCompletion()
{
    // What the reader found is taken before the last save, so the save cannot go over a file
    // that could not be read.
    if (learnedReader) {
        learnedReader->wait();
        adoptLearned();
    }
    if (correctionBuilder)
        correctionBuilder->wait();
    save();
    if (session.completion() == completion.get())
        session.setCompletion(nullptr);
    if (wordCorrection && session.correction() == wordCorrection.get())
        session.setCorrection(nullptr);
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
    showCandidates();
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
    // What cannot be read is not replaced by what is learned from now on.
    keepLearned = completion->learned().adopt(std::move(*pendingLearned)) != LearnedWords::LoadResult::Unreadable;
    pendingLearned.reset();
    learnedAdopted = true;
    // The candidates shown may now rank otherwise.
    if (session.completion() == completion.get())
        session.setCompletion(completion.get());
    adoptCorrection();
    if (completion->learned().isDirty())
        saveTimer.start();
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

void WordCompletion::save()
{
    if (!completion || !learnedAdopted || !keepLearned || !completion->learned().isDirty())
        return;
    const QString path = learnedWordsPath();
    QDir().mkpath(QFileInfo(path).path());
    completion->learned().save(path);
}

} // namespace wendrel

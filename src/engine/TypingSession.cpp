#include "TypingSession.h"

#include "Alternates.h"
#include "Clipboard.h"
#include "CompletionEngine.h"
#include "FormulaEvaluator.h"
#include "SwipeTyping.h"
#include "WordBounds.h"
#include "WordCorrection.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <cstdlib>

namespace wendrel {

namespace {

constexpr char16_t backSpace = 8;
constexpr char16_t lineFeed = 10;
constexpr char16_t carriageReturn = 13;
constexpr char16_t paragraphSeparator = 0x2029;

// A formula that starts at the beginning of the text is taken only when it is short: a long
// text without a space or line break is not a formula.
constexpr int maxHeadWithoutBreak = 256;

// Enough text before the caret for the word being typed and the one before it.
constexpr int completionContextLength = 2 * LearnedWords::maxWordLength + 16;

bool endsWord(QChar ch)
{
    return !ch.isLetterOrNumber() && !ch.isMark() && ch != u'\'' && ch != QChar(0x2019);
}

int backSpaceKey()
{
    static const int index = [] {
        const auto table = keyTable();
        for (size_t i = 0; i < table.size(); ++i) {
            if (table[i].typed == backSpace)
                return int(i);
        }
        return -1;
    }();
    return index;
}

} // namespace

// Every public entry point that may change the text, the caret or the keys runs as one
// operation: the caret's and the candidates' notifications go out once, at its end.
class TypingSession::Operation {
public:
    explicit Operation(TypingSession &session) : session(session)
    {
        if (session.depth++ == 0) {
            session.textEdited = false;
            session.caretAtStart = session.cursor.position();
            session.anchorAtStart = session.cursor.anchor();
        }
    }
    ~Operation()
    {
        if (--session.depth == 0)
            session.endOperation();
    }
    Operation(const Operation &) = delete;
    Operation &operator=(const Operation &) = delete;

private:
    TypingSession &session;
};

// The session as the touch gestures see it.
class TypingSession::GestureHost : public KeyGestureHost {
public:
    explicit GestureHost(TypingSession &session) : session(session) {}

    int keyAt(QPointF point) const override { return TypingSession::keyAt(point); }
    TouchKind touchKind(int key) const override { return session.touchKind(key); }
    QStringList alternates(int key) const override
    {
        return keyAlternates(keyTable()[size_t(key)], session.shift, session.caps, session.fn);
    }
    void tap(QPointF, QPointF releasePoint) override { session.tapAt(releasePoint); }
    void tapKey(int key) override { session.onKeyTapped(key); }
    void typeAlternate(int key, const QString &text) override { session.typeAlternate(key, text); }
    bool deleteBackward(DeleteStep step) override { return session.deleteBackward(step); }
    void deletionEnded() override { session.recorder->interrupt(); }
    void slideCaret(int characters) override { session.slideCaret(characters); }
    void caretSlideEnded() override { session.endCaretSlide(); }
    void popupChanged() override { emit session.popupChanged(); }

private:
    TypingSession &session;
};

TypingSession::TypingSession(SessionClock &clock, Clipboard &clipboard, QObject *parent)
    : QObject(parent), clock(clock), clipboard(clipboard), doc(std::make_unique<QTextDocument>())
{
    doc->setUndoRedoEnabled(true);
    cursor = QTextCursor(doc.get());
    recorder = std::make_unique<UndoRecorder>(*doc);
    gestureHost = std::make_unique<GestureHost>(*this);
    gestures = std::make_unique<KeyGestures>(clock, *gestureHost);
    // Edits made by others (the window's text area typed on with a physical keyboard) are
    // noticed here: completion learns from them too.
    connect(doc.get(), &QTextDocument::contentsChange, this, &TypingSession::onContentsChange);
    const auto table = keyTable();
    for (size_t i = 0; i < table.size(); ++i)
        captions[i] = keyCaption(table[i], false, false, false);
}

TypingSession::~TypingSession()
{
    gestures.reset(); // its timers first
    if (litTimer)
        clock.cancel(litTimer);
    disconnect(doc.get(), nullptr, this, nullptr);
}

void TypingSession::endOperation()
{
    const bool caretMoved = cursor.position() != caretAtStart || cursor.anchor() != anchorAtStart;
    if (caretMoved || textEdited)
        refreshCandidates();
    const bool edited = textEdited;
    textEdited = false;
    if (caretMoved || edited)
        emit caretChanged();
}

// --- Options ---------------------------------------------------------------------------------

void TypingSession::setCompletion(CompletionEngine *engine)
{
    completionEngine = engine;
    refreshCandidates();
}

void TypingSession::setSwipe(SwipeTyping *swipe)
{
    if (swipeTyping && swipeTyping != swipe)
        swipeTyping->forget();
    swipeTyping = swipe;
    refreshCandidates();
}

void TypingSession::setCorrection(WordCorrection *correction)
{
    wordCorrection = correction;
    if (wordCorrection)
        wordCorrection->newText(); // taps of a word begun before are not known
    refreshCandidates();
}

// --- Touches ---------------------------------------------------------------------------------

int TypingSession::keyAt(QPointF point)
{
    const auto table = keyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const KeyRect &r = table[i].rect;
        if (point.x() >= r.x && point.x() < r.x + r.width && point.y() >= r.y && point.y() < r.y + r.height)
            return int(i);
    }
    return -1;
}

QPointF TypingSession::keyCentre(int keyIndex)
{
    const KeyRect &r = keyTable()[size_t(keyIndex)].rect;
    // The Enter key reaches past the layout's right edge: its centre is still inside.
    return QPointF(r.x + r.width / 2.0, r.y + r.height / 2.0);
}

int TypingSession::pressedKey() const
{
    return touch.down && pressShown ? touch.pressKey : -1;
}

void TypingSession::press(QPointF point)
{
    Operation operation(*this);
    gestures->abandon(); // a touch still down ends without a tap
    if (touch.down && pressShown && touch.pressKey >= 0)
        changeKey(touch.pressKey);
    touch = Touch{point, clock.now(), keyAt(point), point, clock.now(), true};
    pressShown = touch.pressKey >= 0;
    if (touch.pressKey >= 0) {
        // A pressed push button becomes the default button, as on the handheld.
        defaultLook[size_t(touch.pressKey)] = true;
        changeKey(touch.pressKey);
    }
    const bool hadStroke = stroke.isStroke();
    stroke.press(point, touch.time, touch.pressKey,
                 swipeTyping && !fn && field != FieldKind::Password && touch.pressKey >= 0
                     && keyTable()[size_t(touch.pressKey)].role == KeyRole::Letter);
    if (hadStroke)
        emit strokeChanged();
    gestures->press(point);
}

void TypingSession::move(QPointF point)
{
    if (!touch.down)
        return;
    Operation operation(*this);
    touch.point = point;
    touch.time = clock.now();
    // Like a push button, the key shows pressed only while the touch is on it.
    const bool onKey = touch.pressKey >= 0 && keyAt(point) == touch.pressKey;
    if (onKey != pressShown) {
        pressShown = onKey;
        changeKey(touch.pressKey);
    }
    gestures->move(point);
    // A touch whose key's popup opened is no stroke; one that reached another letter is.
    const int under = keyAt(point);
    if (gestures->popupKey() >= 0)
        stroke.cancel();
    else if (stroke.move(point, touch.time, under, under >= 0 && keyTable()[size_t(under)].role == KeyRole::Letter))
        emit strokeChanged();
}

void TypingSession::release(QPointF point)
{
    if (!touch.down)
        return;
    Operation operation(*this);
    touch.point = point;
    touch.time = clock.now();
    touch.down = false;
    const int key = touch.pressKey;
    if (key >= 0 && pressShown)
        changeKey(key);
    pressShown = false;
    if (stroke.isStroke()) {
        stroke.release(point, touch.time);
        gestures->cancel();
        typeStroke();
        stroke.clear();
        emit strokeChanged();
        return;
    }
    stroke.clear();
    // A touch that was no hold, popup or slide ends in tapAt().
    gestures->release(point);
}

void TypingSession::cancelTouch()
{
    if (!touch.down)
        return;
    Operation operation(*this);
    touch.down = false;
    if (touch.pressKey >= 0 && pressShown)
        changeKey(touch.pressKey);
    pressShown = false;
    const bool hadStroke = stroke.isStroke();
    stroke.clear();
    if (hadStroke)
        emit strokeChanged();
    gestures->abandon();
}

// An ordinary touch ended: a press and a release on the same key is a tap of that key.
void TypingSession::tapAt(QPointF releasePoint)
{
    const int key = touch.pressKey;
    if (key >= 0 && keyAt(releasePoint) == key) {
        tapped = touch;
        onKeyTapped(key);
    } else if (key < 0 && keyAt(releasePoint) < 0 && wordCorrection && !fn && !cursor.hasSelection()
               && WordCorrection::isNearLetters(touch.pressPoint)) {
        // Beside the letter keys: no key typed, but a letter was meant there.
        wordCorrection->noteTap(touch.pressPoint, textBefore(cursor.position()), false);
        refreshCandidates();
    }
}

void TypingSession::tapKey(int keyIndex)
{
    if (keyIndex < 0 || keyIndex >= keyCount)
        return;
    const QPointF centre = keyCentre(keyIndex);
    press(centre);
    release(centre);
}

// --- Holds, the long-press popup and slides on Space ---------------------------------------

TouchKind TypingSession::touchKind(int keyIndex) const
{
    const KeyDef &key = keyTable()[size_t(keyIndex)];
    if (key.typed == backSpace)
        return fn ? TouchKind::Plain : TouchKind::Repeating; // Undo and Redo do not repeat
    if (key.typed == u' ')
        return TouchKind::CaretSlide;
    return keyAlternates(key, shift, caps, fn).isEmpty() ? TouchKind::Plain : TouchKind::Alternates;
}

// A cell of the popup: its character is typed as the key's own would be (the assistant may
// capitalise it, Shift is released), with the key's sound and light.
void TypingSession::typeAlternate(int keyIndex, const QString &text)
{
    Operation operation(*this);
    tapped = touch;
    for (const QChar ch : text)
        typeChar(ch.unicode());
    afterTap(keyIndex);
}

bool TypingSession::deleteBackward(DeleteStep step)
{
    Operation operation(*this);
    const int key = backSpaceKey();
    if (step == DeleteStep::Word) {
        const int end = cursor.position();
        const int start = wordStartBefore(end);
        if (start < end) {
            UndoStep undoStep(*recorder, cursor, EditKind::DeletionRepeat);
            cursor.setPosition(start, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            textEdited = true;
        }
        // As after a BackSpace typed: no correction left to undo.
        typing.corrected = false;
        typing.iRestored = false;
        emit soundRequested();
        afterTap(key);
    } else {
        // The first deletion is a tapped BackSpace (it may undo the assistant's correction);
        // each further one joins the run's undo step.
        deletionKind = step == DeleteStep::First ? EditKind::Deletion : EditKind::DeletionRepeat;
        characterKey(keyTable()[size_t(key)], key);
        deletionKind = EditKind::Deletion;
    }
    return cursor.position() > 0;
}

// Where a word-wise deletion from position stops: a little of the text before it is read, more
// only when a word reaches back past it.
int TypingSession::wordStartBefore(int position) const
{
    for (int reach = 64;; reach *= 4) {
        const int from = std::max(0, position - reach);
        QTextCursor range(doc.get());
        range.setPosition(from);
        range.setPosition(position, QTextCursor::KeepAnchor);
        const QString before = range.selectedText(); // a line break reads as U+2029, a space
        const qsizetype start = previousWordStart(before, before.size());
        if (start > 0 || from == 0)
            return from + int(start);
    }
}

// A slide on Space: the caret goes some characters (a line break is one, a letter with its
// accents one) from where the slide began, not past the text's ends; with Shift on the
// selection runs from where it was anchored.
void TypingSession::slideCaret(int characters)
{
    Operation operation(*this);
    if (slideStart < 0)
        slideStart = cursor.position();
    QTextCursor target(doc.get());
    target.setPosition(slideStart);
    target.movePosition(characters < 0 ? QTextCursor::PreviousCharacter : QTextCursor::NextCharacter,
                        QTextCursor::MoveAnchor, std::abs(characters));
    cursor.setPosition(target.position(), shift ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
}

void TypingSession::endCaretSlide()
{
    Operation operation(*this);
    slideStart = -1;
    // The slide typed nothing; the Space key loses its pressed look, and a Shift used to
    // select is released, as a typed character would release it.
    clearDefaultStyle(touch.pressKey);
    if (shift)
        onShift();
    emit focusRequested();
}

// BackSpace in Fn mode: "Undo", with Shift too "Redo"; Fn and Shift are released after it, as
// after every Fn key.
void TypingSession::undoKey(int keyIndex)
{
    const bool redoing = shift;
    if (redoing)
        redo();
    else
        undo();
    emit soundRequested();
    emit focusRequested();
    if (fn)
        onFn();
    if (shift)
        onShift();
    afterTap(keyIndex);
}

// --- Key dispatch ----------------------------------------------------------------------------

void TypingSession::onKeyTapped(int keyIndex)
{
    Operation operation(*this);
    const KeyDef &key = keyTable()[size_t(keyIndex)];
    switch (key.role) {
    case KeyRole::Letter: letterKey(key, keyIndex); break;
    case KeyRole::ShiftKey:
    case KeyRole::Character: characterKey(key, keyIndex); break;
    case KeyRole::Equals: onEqualsKey(); break;
    case KeyRole::Shift: onShift(); break;
    case KeyRole::Caps: onCaps(); break;
    case KeyRole::Fn: onFn(); break;
    case KeyRole::Load:
        if (fn) {
            pasteClipboard();
        } else {
            command(SessionCommand::Kind::Load, keyIndex);
        }
        break;
    case KeyRole::Save:
        if (fn) {
            copyAllText();
            emit soundRequested();
            onFn();
            emit focusRequested();
            afterTap(keyIndex);
        } else {
            command(SessionCommand::Kind::Save, keyIndex);
        }
        break;
    case KeyRole::Shortcut: command(SessionCommand::Kind::Shortcut, keyIndex); break;
    case KeyRole::Options: command(SessionCommand::Kind::Options, keyIndex); break;
    case KeyRole::Exit: command(SessionCommand::Kind::Exit, keyIndex); break;
    case KeyRole::Help: command(SessionCommand::Kind::Help, keyIndex); break;
    }
}

void TypingSession::command(SessionCommand::Kind kind, int keyIndex, const QString &keyName, const QString &caption)
{
    emit commandRequested(SessionCommand{kind, keyIndex, keyName, caption.isEmpty() ? captions[size_t(keyIndex)] : caption});
}

void TypingSession::letterKey(const KeyDef &key, int keyIndex)
{
    if (!fn) {
        typeChar(shift == caps ? key.typed : key.shifted);
        noteLetterTap(keyIndex);
    } else {
        // In Fn mode a letter starts the program bound to it; Caps plays no part.
        const bool withShift = shift;
        const QString letter(QChar(key.shifted));
        command(SessionCommand::Kind::Program, keyIndex, (withShift ? u'1' : u'0') + letter,
                (withShift ? QStringLiteral("Fn+Shift+") : QStringLiteral("Fn+")) + letter);
        onFn();
        if (withShift)
            onShift();
    }
    afterTap(keyIndex);
}

void TypingSession::characterKey(const KeyDef &key, int keyIndex)
{
    if (key.typed == backSpace && fn) {
        undoKey(keyIndex);
        return;
    }
    const bool shifted = key.role == KeyRole::ShiftKey && shift;
    typeChar(shifted ? key.shifted : key.typed);
    if (!shifted && key.typed == u'\'')
        noteLetterTap(keyIndex); // the apostrophe belongs to words ("don't")
    afterTap(keyIndex);
}

// What the typing assistant sees: the text as the handheld's edit control held it, a line
// break being the two characters 13, 10. Only the characters next to the caret are read.
TypingContext TypingSession::typingContext() const
{
    TypingContext context;
    context.hasSelection = cursor.hasSelection();
    context.length = doc->characterCount() - 1 + doc->blockCount() - 1;
    const int position = cursor.selectionStart();
    const QTextBlock block = doc->findBlock(position);
    const int offset = position - block.position();
    const bool firstBlock = !block.previous().isValid();
    context.caret = position + block.blockNumber();
    auto at = [&](int blockOffset) { return doc->characterAt(block.position() + blockOffset).unicode(); };
    if (offset >= 2) {
        context.before1 = at(offset - 1);
        context.before2 = at(offset - 2);
    } else if (offset == 1) {
        context.before1 = at(0);
        context.before2 = firstBlock ? 0 : lineFeed;
    } else if (!firstBlock) {
        context.before1 = lineFeed;
        context.before2 = carriageReturn;
    }
    return context;
}

void TypingSession::postChar(char16_t ch)
{
    if (ch == backSpace) {
        if (cursor.hasSelection())
            cursor.removeSelectedText();
        else
            cursor.deletePreviousChar();
    } else if (ch == lineFeed) {
        cursor.insertBlock();
    } else {
        cursor.insertText(QString(QChar(ch)));
    }
    textEdited = true;
    if (ch != backSpace)
        learnAfter(cursor.position());
}

void TypingSession::typeChar(char16_t ch)
{
    Operation operation(*this);
    if (swipeTakesBack(ch) || correctionTakesBack(ch))
        return;
    const bool endsAWord = wordCorrection && !cursor.hasSelection() && ch != backSpace && endsWord(QChar(ch));
    {
        // What the assistant posts, and a correction of the word the key ends, belong to the
        // key's own undo step.
        UndoStep step(*recorder, cursor, ch == backSpace ? deletionKind : EditKind::Typing, ch);
        // A word's end may correct the word first; the typing assistant then sees the word as it stands.
        if (endsAWord && wordCorrection->correctAtWordEnd(cursor, textBefore(cursor.position())))
            textEdited = true;
        const TypingDecision decision = decideTyping(typingContext(), typing, ch);
        typing = decision.state;
        if (decision.handled) {
            for (char16_t posted : decision.posts)
                postChar(posted);
        }
        emit soundRequested();
        if (!decision.handled)
            postChar(ch);
    }
    if (endsAWord)
        wordCorrection->afterWordEnd(cursor, textBefore(cursor.position()));
    emit focusRequested();
    if (shift)
        onShift();
    if (fn)
        onFn();
}

void TypingSession::relabelKeys()
{
    QList<int> changed;
    const auto table = keyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        QString next = keyCaption(table[i], upperLabels, shift, fn);
        if (next != captions[i]) {
            captions[i] = std::move(next);
            changed.append(int(i));
        }
    }
    if (!changed.isEmpty())
        emit keysChanged(changed);
}

void TypingSession::showLowerCaseLabels()
{
    upperLabels = false;
    relabelKeys();
}

void TypingSession::showUpperCaseLabels()
{
    upperLabels = true;
    relabelKeys();
}

void TypingSession::onShift()
{
    Operation operation(*this);
    shift = !shift;
    // Letters read capitals when exactly one of Shift and Caps is on; relabelling also gives
    // the twenty Shift keys their captions for the new state.
    if (shift == caps)
        showLowerCaseLabels();
    else
        showUpperCaseLabels();
    const int key = keyIndexByRole(KeyRole::Shift);
    changeKey(key); // its mode colour
    afterTap(key);
}

void TypingSession::onCaps()
{
    Operation operation(*this);
    caps = !caps;
    if (caps)
        showUpperCaseLabels();
    else
        showLowerCaseLabels();
    const int key = keyIndexByRole(KeyRole::Caps);
    changeKey(key);
    afterTap(key);
}

void TypingSession::onFn()
{
    Operation operation(*this);
    fn = !fn;
    relabelKeys(); // "Save"/"Load" read "Copy"/"Paste" in Fn mode
    emit focusRequested();
    const int key = keyIndexByRole(KeyRole::Fn);
    changeKey(key);
    afterTap(key);
}

void TypingSession::onEqualsKey()
{
    Operation operation(*this);
    const int equalsKey = keyIndexByRole(KeyRole::Equals);
    if (!fn) {
        typeChar(u'=');
        afterTap(equalsKey);
        return;
    }
    // The formula ends at the selection's start and begins after the last space or line
    // break, so it lies within the caret's line: only that line is read.
    const int start = cursor.selectionStart();
    const QTextBlock block = doc->findBlock(start);
    const QString head = block.text().left(start - block.position());
    const qsizetype space = head.lastIndexOf(u' ');
    const bool atTextStart = space < 0 && !block.previous().isValid();
    if (!(atTextStart && head.size() >= maxHeadWithoutBreak)) {
        QString formula = head.mid(space + 1);
        const bool typedEquals = formula.endsWith(u'=');
        if (typedEquals)
            formula.chop(1);
        FormulaEvaluator evaluator(formula);
        evaluator.Evaluate();
        if (evaluator.result != QLatin1String("Error")) {
            // The result goes in as typed characters but past the typing assistant.
            UndoStep step(*recorder, cursor, EditKind::Formula);
            if (!typedEquals)
                postChar(u'=');
            for (QChar ch : std::as_const(evaluator.result))
                postChar(ch.unicode());
        }
    }
    onFn();
    emit focusRequested();
    afterTap(equalsKey);
}

void TypingSession::copyAllText()
{
    Operation operation(*this);
    if (doc->isEmpty())
        return;
    const int start = cursor.selectionStart();
    clipboard.setText(plainText());
    cursor.setPosition(start);
}

void TypingSession::pasteClipboard()
{
    Operation operation(*this);
    const QString pasted = clipboard.text();
    if (!pasted.isEmpty()) {
        UndoStep step(*recorder, cursor, EditKind::Paste);
        cursor.insertText(pasted); // a "\n", "\r\n" or "\r" becomes a line break
        textEdited = true;
    }
    emit soundRequested();
    onFn();
    emit focusRequested();
    clearDefaultStyle(keyIndexByRole(KeyRole::Load)); // Paste never lights
}

// --- Looks -----------------------------------------------------------------------------------

void TypingSession::changeKey(int keyIndex)
{
    emit keysChanged({keyIndex});
}

void TypingSession::clearDefaultStyle(int keyIndex)
{
    if (keyIndex < 0 || keyIndex >= keyCount || !defaultLook[size_t(keyIndex)])
        return;
    defaultLook[size_t(keyIndex)] = false;
    changeKey(keyIndex);
}

void TypingSession::afterTap(int keyIndex)
{
    clearDefaultStyle(keyIndex);
    if (lightOn && keyTable()[size_t(keyIndex)].lights) {
        lit[size_t(keyIndex)] = true;
        // Timer 1 restarts: all keys lit together go dark together, after the last of them.
        if (litTimer)
            clock.cancel(litTimer);
        litTimer = clock.callAfter(litMs, [this] { onLitTimer(); });
        changeKey(keyIndex);
    }
}

void TypingSession::onLitTimer()
{
    litTimer = 0;
    QList<int> changed;
    for (int i = 0; i < keyCount; ++i) {
        if (lit[size_t(i)]) {
            lit[size_t(i)] = false;
            defaultLook[size_t(i)] = false;
            changed.append(i);
        }
    }
    if (!changed.isEmpty())
        emit keysChanged(changed);
}

Rgb TypingSession::keyColour(int keyIndex) const
{
    const KeyDef &key = keyTable()[size_t(keyIndex)];
    if (lit[size_t(keyIndex)])
        return litColour;
    const bool modeOn = (key.role == KeyRole::Fn && fn) || (key.role == KeyRole::Caps && caps)
        || (key.role == KeyRole::Shift && shift);
    return modeOn ? modeColour : key.face;
}

Rgb TypingSession::onControlColour(int keyIndex)
{
    // A lit key drawn again (the window uncovered) stays lit 65 ms from this drawing.
    if (lit[size_t(keyIndex)]) {
        if (litTimer)
            clock.cancel(litTimer);
        litTimer = clock.callAfter(litMs, [this] { onLitTimer(); });
    }
    return keyColour(keyIndex);
}

// --- Word completion ---------------------------------------------------------------------------

// The text before a position, enough of it for completion; a line break reads as 10.
QString TypingSession::textBefore(int position) const
{
    const QTextBlock block = doc->findBlock(position);
    QString before = block.text().left(position - block.position());
    if (before.size() < completionContextLength && block.previous().isValid())
        before = block.previous().text().right(completionContextLength) + u'\n' + before;
    return before.right(completionContextLength);
}

void TypingSession::refreshCandidates()
{
    QStringList next;
    if (swipedWordLast()) {
        next = swipeTyping->stripWords(candidateCount);
    } else if (!cursor.hasSelection()) {
        const QString before = textBefore(cursor.position());
        if (completionEngine)
            next = completionEngine->candidates(before, caps);
        if (wordCorrection)
            next = wordCorrection->candidates(before, next, candidateCount);
    }
    if (next != shownCandidates) {
        shownCandidates = next;
        emit candidatesChanged();
    }
}

// The character before position was just typed: if it ends a word, that word is learned.
void TypingSession::learnAfter(int position)
{
    if (!completionEngine || position <= 0)
        return;
    QChar typed = doc->characterAt(position - 1);
    if (typed == QChar(paragraphSeparator))
        typed = QChar(lineFeed);
    if (!endsWord(typed))
        return;
    const quint64 before = completionEngine->learned().total();
    completionEngine->learnFinishedWord(textBefore(position));
    if (swipeTyping)
        swipeTyping->wordLearned(textBefore(position));
    if (completionEngine->learned().total() != before)
        emit wordsLearned();
}

void TypingSession::onContentsChange(int position, int removed, int added)
{
    if (depth > 0)
        return; // the session's own edits learn as they are made
    // Typed in the text area itself: one character that ends a word teaches it, as a key does.
    if (removed == 0 && added == 1)
        learnAfter(position + 1);
    refreshCandidates();
}

void TypingSession::pick(int cell)
{
    Operation operation(*this);
    const QString word = shownCandidates.value(cell);
    if (!word.isEmpty() && swipedWordLast()) {
        replaceSwipedWord(cell, word);
        return;
    }
    if (word.isEmpty() || (!completionEngine && !wordCorrection) || cursor.hasSelection())
        return;
    emit soundRequested();
    emit candidatePicked(cell);
    if (wordCorrection)
        wordCorrection->forgetLastCorrection();
    std::optional<CompletionEngine::Replacement> replacement;
    if (completionEngine) {
        replacement = completionEngine->accept(textBefore(cursor.position()), word);
    } else if (const CompletionContext context = completionContext(textBefore(cursor.position())); context.offer) {
        replacement = CompletionEngine::Replacement{context.typed.size(), word + u' '}; // a correction's cell
    }
    if (!replacement)
        return;
    // One edit: the typed letters give way to the word and a space (one undo step too).
    {
        UndoStep step(*recorder, cursor, EditKind::Candidate);
        cursor.setPosition(cursor.position() - int(replacement->removeCount), QTextCursor::KeepAnchor);
        cursor.insertText(replacement->text);
    }
    textEdited = true;
    emit wordsLearned();
    // As after a word and a space typed by hand: no correction to undo, Shift and Fn released.
    typing.corrected = false;
    typing.iRestored = false;
    emit focusRequested();
    if (shift)
        onShift();
    if (fn)
        onFn();
}

// --- Swipe typing ----------------------------------------------------------------------------

// A stroke ended: its best word goes in at the caret (in place of the selection), with a space
// before it where the text before asks for one and the typing assistant's capitals, as one
// undo step.
void TypingSession::typeStroke()
{
    Operation operation(*this);
    clearDefaultStyle(touch.pressKey);
    if (!swipeTyping)
        return;
    const SwipeTyping::Reading reading
        = swipeTyping->read(stroke.pointsOnly(), textBefore(cursor.selectionStart()), candidateCount);
    if (reading.word.isEmpty())
        return;
    if (wordCorrection)
        wordCorrection->forgetLastCorrection();
    SwipeTyping::Swiped swiped;
    {
        UndoStep step(*recorder, cursor, EditKind::Candidate);
        if (cursor.hasSelection())
            cursor.removeSelectedText();
        swiped.start = cursor.position();
        if (SwipeTyping::wantsSpaceBefore(textBefore(cursor.position()))) {
            cursor.insertText(QStringLiteral(" "));
            learnAfter(cursor.position()); // the word before is finished
        }
        swiped.wordStart = cursor.position();
        // Caps writes capitals, Shift a first capital, and so does the typing assistant where
        // it would capitalise the word's first letter typed here.
        swiped.letterCase = caps ? SwipeTyping::Case::All : shift ? SwipeTyping::Case::First : SwipeTyping::Case::AsSpelled;
        const QChar first = reading.word.front();
        if (swiped.letterCase == SwipeTyping::Case::AsSpelled && first.isLower()) {
            const TypingDecision decision = decideTyping(typingContext(), typing, first.unicode());
            if (decision.handled && decision.posts.size() == 1 && QChar(decision.posts.front()).isUpper())
                swiped.letterCase = SwipeTyping::Case::First;
        }
        swiped.word = SwipeTyping::withCase(reading.word, swiped.letterCase);
        cursor.insertText(swiped.word);
    }
    textEdited = true;
    typing.corrected = false;
    typing.iRestored = false;
    swiped.end = cursor.position();
    swiped.revision = doc->revision();
    swiped.words = QStringList{reading.word} + reading.others;
    swipeTyping->remember(std::move(swiped));
    emit soundRequested();
    emit focusRequested();
    if (shift)
        onShift();
}

// The swiped word stands right before the caret, and nothing happened since.
bool TypingSession::swipedWordLast() const
{
    if (!swipeTyping || !swipeTyping->lastSwiped() || cursor.hasSelection())
        return false;
    const SwipeTyping::Swiped &swiped = *swipeTyping->lastSwiped();
    return cursor.position() == swiped.end && doc->revision() == swiped.revision;
}

// A BackSpace right after a swiped word takes the whole word away, with the space it brought.
bool TypingSession::swipeTakesBack(char16_t ch)
{
    if (ch != backSpace || !swipedWordLast())
        return false;
    const SwipeTyping::Swiped swiped = *swipeTyping->lastSwiped();
    swipeTyping->forget();
    {
        UndoStep step(*recorder, cursor, deletionKind);
        cursor.setPosition(swiped.start);
        cursor.setPosition(swiped.end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    textEdited = true;
    typing.corrected = false;
    typing.iRestored = false;
    emit soundRequested();
    emit focusRequested();
    if (shift)
        onShift();
    if (fn)
        onFn();
    return true;
}

// A candidate tapped right after a swiped word takes its place (one undo step); the strip then
// offers the stroke's other words, the one replaced among them.
void TypingSession::replaceSwipedWord(int cell, const QString &word)
{
    SwipeTyping::Swiped swiped = *swipeTyping->lastSwiped();
    emit soundRequested();
    emit candidatePicked(cell);
    {
        UndoStep step(*recorder, cursor, EditKind::Candidate);
        cursor.setPosition(swiped.wordStart);
        cursor.setPosition(swiped.end, QTextCursor::KeepAnchor);
        cursor.insertText(word);
    }
    textEdited = true;
    swiped.word = word;
    swiped.end = cursor.position();
    swiped.revision = doc->revision();
    swipeTyping->remember(std::move(swiped));
    emit focusRequested();
    if (shift)
        onShift();
    if (fn)
        onFn();
}

// --- Correction of typing errors ------------------------------------------------------------

// The press point of a letter's tap goes with the word being typed (the key's centre when the
// key was tapped without a touch).
void TypingSession::noteLetterTap(int keyIndex)
{
    if (!wordCorrection)
        return;
    const QPointF point = tapped.pressKey == keyIndex ? tapped.pressPoint : keyCentre(keyIndex);
    wordCorrection->noteTap(point, textBefore(cursor.position()), true);
}

// A BackSpace right after a correction takes it back, in one tap, as the typing assistant's
// corrections are; anything else typed makes the correction final.
bool TypingSession::correctionTakesBack(char16_t ch)
{
    if (!wordCorrection)
        return false;
    if (ch != backSpace || !wordCorrection->undoCorrection(cursor)) {
        if (ch != backSpace)
            wordCorrection->forgetLastCorrection();
        return false;
    }
    textEdited = true;
    typing.corrected = false;
    typing.iRestored = false;
    emit soundRequested();
    emit wordsLearned(); // a word taken back twice is learned
    emit focusRequested();
    if (shift)
        onShift();
    if (fn)
        onFn();
    return true;
}

// --- The text --------------------------------------------------------------------------------

void TypingSession::setSelection(int anchor, int caret)
{
    Operation operation(*this);
    if (wordCorrection && (anchor != cursor.anchor() || caret != cursor.position()))
        wordCorrection->forgetLastCorrection(); // the caret went elsewhere: the correction stands
    if (swipeTyping && (anchor != cursor.anchor() || caret != cursor.position()))
        swipeTyping->forget(); // and the swiped word is no longer the last thing done
    const int end = doc->characterCount() - 1;
    cursor.setPosition(std::clamp(anchor, 0, end));
    cursor.setPosition(std::clamp(caret, 0, end), QTextCursor::KeepAnchor);
}

QString TypingSession::plainText() const
{
    QString text = doc->toRawText();
    text.replace(QChar(paragraphSeparator), QChar(lineFeed));
    return text;
}

void TypingSession::replaceAll(const QString &text)
{
    Operation operation(*this);
    {
        UndoStep step(*recorder, cursor, EditKind::Load);
        cursor.select(QTextCursor::Document);
        cursor.insertText(text);
    }
    cursor.setPosition(0);
    textEdited = true;
    if (wordCorrection)
        wordCorrection->newText();
}

void TypingSession::insertText(const QString &text)
{
    Operation operation(*this);
    UndoStep step(*recorder, cursor, EditKind::Paste);
    cursor.insertText(text);
    textEdited = true;
}

void TypingSession::undo()
{
    Operation operation(*this);
    doc->undo(&cursor);
    // The last key's correction is no longer what stands before the caret.
    typing.corrected = false;
    typing.iRestored = false;
    recorder->interrupt();
    textEdited = true;
}

void TypingSession::redo()
{
    Operation operation(*this);
    doc->redo(&cursor);
    typing.corrected = false;
    typing.iRestored = false;
    recorder->interrupt();
    textEdited = true;
}

void TypingSession::typeInto(KeyOutput *output)
{
    keyOutput = output;
}

void TypingSession::otherProgramFocusChanged()
{
}

void TypingSession::setFieldKind(FieldKind kind)
{
    field = kind;
}

void TypingSession::setTextBeforeCaret(const QString &text)
{
    Q_UNUSED(text);
}

void TypingSession::reset()
{
    Operation operation(*this);
    gestures->cancel();
    slideStart = -1;
    doc->clear();
    doc->clearUndoRedoStacks();
    recorder->interrupt();
    cursor = QTextCursor(doc.get());
    textEdited = true;
    if (wordCorrection)
        wordCorrection->newText();
    if (litTimer) {
        clock.cancel(litTimer);
        litTimer = 0;
    }
    typing = TypingState{};
    shift = caps = fn = false;
    lit.fill(false);
    defaultLook.fill(false);
    touch = tapped = Touch{};
    pressShown = false;
    stroke.clear();
    if (swipeTyping)
        swipeTyping->forget();
    upperLabels = false;
    relabelKeys();
    QList<int> all;
    for (int i = 0; i < keyCount; ++i)
        all.append(i);
    emit keysChanged(all);
}

} // namespace wendrel

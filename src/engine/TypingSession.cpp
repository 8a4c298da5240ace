#include "TypingSession.h"

#include "PanelGeometry.h"

#include "Alternates.h"
#include "Clipboard.h"
#include "CompletionEngine.h"
#include "FormulaEvaluator.h"
#include "PanelGeometry.h"
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
    : QObject(parent), clock(clock), clipboard(clipboard), cursor(target.cursor()),
      faces(clock, [this](const QList<int> &keys) { emit keysChanged(keys); })
{
    recorder = std::make_unique<UndoRecorder>(target.document());
    gestureHost = std::make_unique<GestureHost>(*this);
    gestures = std::make_unique<KeyGestures>(clock, *gestureHost);
    // Edits made by others (the window's text area typed on with a physical keyboard) are
    // noticed here: completion learns from them too.
    connect(&target.document(), &QTextDocument::contentsChange, this, &TypingSession::onContentsChange);
}

TypingSession::~TypingSession()
{
    gestures.reset(); // its timers first
    disconnect(&target.document(), nullptr, this, nullptr);
}

void TypingSession::endOperation()
{
    target.flush(); // another program gets what the operation typed
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
    if (wordCorrection) {
        wordCorrection->newText(); // taps of a word begun before are not known
        wordCorrection->setLearning(rules().learns);
    }
    refreshCandidates();
}

// --- Touches ---------------------------------------------------------------------------------

int TypingSession::keyAt(QPointF point)
{
    return KeyTouches::keyAt(point);
}

QPointF TypingSession::keyCentre(int keyIndex)
{
    return KeyTouches::keyCentre(keyIndex);
}

void TypingSession::press(QPointF point)
{
    Operation operation(*this);
    gestures->abandon(); // a touch still down ends without a tap
    const bool hadStroke = stroke.isStroke();
    touches.press(point);
    const Touch &touch = touches.current();
    stroke.press(point, touch.time, touch.pressKey,
                 swipeTyping && !fn && rules().candidates && touch.pressKey >= 0
                     && keyTable()[size_t(touch.pressKey)].role == KeyRole::Letter);
    if (hadStroke)
        emit strokeChanged();
    gestures->press(point);
}

void TypingSession::move(QPointF point)
{
    if (!touches.isDown())
        return;
    Operation operation(*this);
    touches.move(point);
    gestures->move(point);
    // A touch whose key's popup opened is no stroke; one that reached another letter is.
    const int under = keyAt(point);
    if (gestures->popupKey() >= 0)
        stroke.cancel();
    else if (stroke.move(point, touches.current().time, under, under >= 0 && keyTable()[size_t(under)].role == KeyRole::Letter))
        emit strokeChanged();
}

void TypingSession::release(QPointF point)
{
    if (!touches.isDown())
        return;
    Operation operation(*this);
    touches.release(point);
    if (stroke.isStroke()) {
        stroke.release(point, touches.current().time);
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
    if (!touches.isDown())
        return;
    Operation operation(*this);
    touches.cancel();
    const bool hadStroke = stroke.isStroke();
    stroke.clear();
    if (hadStroke)
        emit strokeChanged();
    gestures->abandon();
}

// An ordinary touch ended: a press and a release on the same key is a tap of that key.
void TypingSession::tapAt(QPointF releasePoint)
{
    const Touch &touch = touches.current();
    const int key = touch.pressKey;
    if (key >= 0 && keyAt(releasePoint) == key) {
        touches.tapped();
        onKeyTapped(key);
    } else if (key < 0 && keyAt(releasePoint) < 0 && corrector() && !fn && !cursor.hasSelection()
               && WordCorrection::isNearLetters(touch.pressPoint)) {
        // Beside the letter keys: no key typed, but a letter was meant there.
        corrector()->noteTap(touch.pressPoint, textBefore(cursor.position()), false);
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
    if (ctrl)
        return TouchKind::Plain; // the next key goes out with Ctrl, once
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
    touches.tapped();
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
        if (start == end && target.isOtherProgram()) {
            // Nothing known before the caret: the other program's characters go one at a time.
            target.deleteBeyondStart();
            otherProgramTextLost();
        } else if (start < end) {
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
    // Another program may hold more text than is known here.
    return cursor.position() > 0 || target.isOtherProgram();
}

// Where a word-wise deletion from position stops: a little of the text before it is read, more
// only when a word reaches back past it.
int TypingSession::wordStartBefore(int position) const
{
    for (int reach = 64;; reach *= 4) {
        const int from = std::max(0, position - reach);
        QTextCursor range(&target.document());
        range.setPosition(from);
        range.setPosition(position, QTextCursor::KeepAnchor);
        const QString before = range.selectedText(); // a line break reads as U+2029, a space
        const qsizetype start = previousWordStart(before, before.size());
        if (start == 0 && from == 0 && !target.startKnown())
            return position; // the word may go on before what is known of it
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
    if (target.isOtherProgram()) {
        // The other program's caret goes by arrow keys; where it lands is not known.
        for (; slideSent != characters; slideSent += slideSent < characters ? 1 : -1)
            target.sendKey(slideSent < characters ? SentKey::Right : SentKey::Left, SentModifiers{false, shift, false});
        otherProgramTextLost();
        return;
    }
    if (slideStart < 0)
        slideStart = cursor.position();
    QTextCursor destination(&target.document());
    destination.setPosition(slideStart);
    destination.movePosition(characters < 0 ? QTextCursor::PreviousCharacter : QTextCursor::NextCharacter,
                             QTextCursor::MoveAnchor, std::abs(characters));
    cursor.setPosition(destination.position(), shift ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
}

void TypingSession::endCaretSlide()
{
    Operation operation(*this);
    slideStart = -1;
    slideSent = 0;
    // The slide typed nothing; the Space key loses its pressed look, and a Shift used to
    // select is released, as a typed character would release it.
    clearDefaultStyle(touches.current().pressKey);
    if (shift)
        onShift();
    emit focusRequested();
}

// BackSpace in Fn mode: "Undo", with Shift too "Redo"; Fn and Shift are released after it, as
// after every Fn key.
void TypingSession::undoKey(int keyIndex)
{
    const bool redoing = shift;
    if (target.isOtherProgram()) {
        // The other program undoes its own edits: Ctrl+Z, Ctrl+Shift+Z.
        target.sendShortcut(u'z', SentModifiers{true, redoing, false});
        otherProgramTextLost();
    } else if (redoing)
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
    const bool typingKey = key.role == KeyRole::Letter || key.role == KeyRole::ShiftKey
        || key.role == KeyRole::Character || key.role == KeyRole::Equals;
    if (ctrl && !fn && typingKey && ctrlKey(key, keyIndex))
        return;
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
        } else if (target.isOtherProgram()) {
            target.sendKey(SentKey::Escape);
            keySent(keyIndex);
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
        } else if (target.isOtherProgram()) {
            target.sendKey(SentKey::Tab);
            keySent(keyIndex);
        } else {
            command(SessionCommand::Kind::Save, keyIndex);
        }
        break;
    case KeyRole::Shortcut:
        if (target.isOtherProgram() && !fn) {
            onCtrl(keyIndex);
        } else {
            if (fn && target.isOtherProgram())
                onFn();
            command(SessionCommand::Kind::Shortcut, keyIndex);
        }
        break;
    case KeyRole::Options: command(SessionCommand::Kind::Options, keyIndex); break;
    case KeyRole::Exit: command(SessionCommand::Kind::Exit, keyIndex); break;
    case KeyRole::Help: command(SessionCommand::Kind::Help, keyIndex); break;
    }
}

void TypingSession::command(SessionCommand::Kind kind, int keyIndex, const QString &keyName, const QString &caption)
{
    emit commandRequested(SessionCommand{kind, keyIndex, keyName, caption.isEmpty() ? faces.caption(keyIndex) : caption});
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

TypingContext TypingSession::typingContext() const
{
    return target.typingContext();
}

void TypingSession::postChar(char16_t ch)
{
    if (ch == backSpace && !cursor.hasSelection() && cursor.position() == 0 && target.isOtherProgram()) {
        // Nothing known before the other program's caret: its own text is deleted, and what
        // stands before the caret there is no longer known.
        target.deleteBeyondStart();
        otherProgramTextLost();
        return;
    }
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
    WordCorrection *const wordCorrection = corrector();
    const bool endsAWord = wordCorrection && !cursor.hasSelection() && ch != backSpace && endsWord(QChar(ch));
    {
        // What the assistant posts, and a correction of the word the key ends, belong to the
        // key's own undo step.
        UndoStep step(*recorder, cursor, ch == backSpace ? deletionKind : EditKind::Typing, ch);
        // A word's end may correct the word first; the typing assistant then sees the word as it stands.
        if (endsAWord && wordCorrection->correctAtWordEnd(cursor, textBefore(cursor.position())))
            textEdited = true;
        // Where the field wants no capitals the assistant stays out, and so does its "I".
        const TypingDecision decision = rules().capitals ? decideTyping(typingContext(), typing, ch)
                                                         : TypingDecision{{}, false, TypingState{}};
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

KeyModes TypingSession::keyModes() const
{
    return KeyModes{upperLabels, shift, caps, fn, ctrl, target.isOtherProgram()};
}

void TypingSession::relabelKeys()
{
    faces.relabel(keyModes());
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
    const QTextBlock block = target.document().findBlock(start);
    const QString head = block.text().left(start - block.position());
    const qsizetype space = head.lastIndexOf(u' ');
    const bool atTextStart = space < 0 && !block.previous().isValid();
    // A formula that may go on before what is known of another program's text is not taken.
    const bool headKnown = !(atTextStart && !target.startKnown());
    if (headKnown && !(atTextStart && head.size() >= maxHeadWithoutBreak)) {
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
    if (target.isOtherProgram()) {
        // The other program copies its selection; its text stays as it was.
        target.flush();
        target.output()->sendShortcut(u'c', SentModifiers{true, false, false});
        return;
    }
    if (target.document().isEmpty())
        return;
    const int start = cursor.selectionStart();
    clipboard.setText(plainText());
    cursor.setPosition(start);
}

void TypingSession::pasteClipboard()
{
    Operation operation(*this);
    const QString pasted = target.isOtherProgram() ? QString() : clipboard.text();
    if (target.isOtherProgram()) {
        // The other program pastes its clipboard: what it pastes there is not known here.
        target.sendShortcut(u'v', SentModifiers{true, false, false});
        otherProgramTextLost();
    } else if (!pasted.isEmpty()) {
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

void TypingSession::clearDefaultStyle(int keyIndex)
{
    faces.clearDefaultLook(keyIndex);
}

void TypingSession::afterTap(int keyIndex)
{
    faces.clearDefaultLook(keyIndex);
    faces.light(keyIndex);
}

Rgb TypingSession::keyColour(int keyIndex) const
{
    return faces.colour(keyIndex, keyModes());
}

Rgb TypingSession::onControlColour(int keyIndex)
{
    return faces.colourAsPainted(keyIndex, keyModes());
}

// --- Word completion ---------------------------------------------------------------------------

// The text before a position, enough of it for completion; a line break reads as 10. Where the
// text before another program's caret is not known, a marker stands for it (TextTarget).
QString TypingSession::textBefore(int position) const
{
    return target.textBefore(position, completionContextLength);
}

void TypingSession::refreshCandidates()
{
    QStringList next;
    if (swipedWordLast()) {
        next = swipeTyping->stripWords(candidateCount);
    } else if (!cursor.hasSelection() && rules().candidates) {
        const QString before = textBefore(cursor.position());
        if (completionEngine)
            next = completionEngine->candidates(before, caps);
        if (WordCorrection *const wordCorrection = corrector())
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
    if (!completionEngine || position <= 0 || !rules().learns)
        return;
    QChar typed = target.document().characterAt(position - 1);
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
    const QString before = textBefore(cursor.position());
    const CompletionContext context = completionContext(before);
    // The typed letters are replaced only where they are known to stand before the caret.
    if (!context.offer || !target.mayReplace(int(context.typed.size())))
        return;
    emit soundRequested();
    emit candidatePicked(cell);
    if (wordCorrection)
        wordCorrection->forgetLastCorrection();
    const FieldRules fieldRules = rules();
    std::optional<CompletionEngine::Replacement> replacement;
    if (completionEngine && fieldRules.learns) {
        replacement = completionEngine->accept(before, word);
    } else {
        // A correction's cell, or a field where nothing is learned.
        replacement = CompletionEngine::Replacement{context.typed.size(), word + u' '};
    }
    if (!replacement)
        return;
    if (!fieldRules.spaceAfterCandidate && replacement->text.endsWith(u' '))
        replacement->text.chop(1);
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
    clearDefaultStyle(touches.current().pressKey);
    if (!swipeTyping)
        return;
    const SwipeTyping::Reading reading
        = swipeTyping->read(stroke.pointsOnly(), textBefore(cursor.selectionStart()), candidateCount);
    if (reading.word.isEmpty())
        return;
    if (WordCorrection *const wordCorrection = corrector())
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
        if (swiped.letterCase == SwipeTyping::Case::AsSpelled && first.isLower() && rules().capitals) {
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
    swiped.revision = target.document().revision();
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
    return cursor.position() == swiped.end && target.document().revision() == swiped.revision;
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
    swiped.revision = target.document().revision();
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
    WordCorrection *const wordCorrection = corrector();
    if (!wordCorrection)
        return;
    const Touch &tapped = touches.lastTap();
    const QPointF point = tapped.pressKey == keyIndex ? tapped.pressPoint : keyCentre(keyIndex);
    wordCorrection->noteTap(point, textBefore(cursor.position()), true);
}

// A BackSpace right after a correction takes it back, in one tap, as the typing assistant's
// corrections are; anything else typed makes the correction final.
bool TypingSession::correctionTakesBack(char16_t ch)
{
    WordCorrection *const wordCorrection = corrector();
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
    if (target.isOtherProgram())
        return; // another program's caret stays at the end of what is known of its text
    if (wordCorrection && (anchor != cursor.anchor() || caret != cursor.position()))
        wordCorrection->forgetLastCorrection(); // the caret went elsewhere: the correction stands
    if (swipeTyping && (anchor != cursor.anchor() || caret != cursor.position()))
        swipeTyping->forget(); // and the swiped word is no longer the last thing done
    const int end = target.document().characterCount() - 1;
    cursor.setPosition(std::clamp(anchor, 0, end));
    cursor.setPosition(std::clamp(caret, 0, end), QTextCursor::KeepAnchor);
}

QString TypingSession::plainText() const
{
    return target.plainText();
}

void TypingSession::replaceAll(const QString &text)
{
    Operation operation(*this);
    {
        UndoStep step(*recorder, cursor, EditKind::Load);
        cursor.select(QTextCursor::Document);
        cursor.insertText(text);
    }
    if (!target.isOtherProgram())
        cursor.setPosition(0); // another program's caret stays behind what it was sent
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
    if (target.isOtherProgram()) {
        target.sendShortcut(u'z', SentModifiers{true, false, false});
        otherProgramTextLost();
        return;
    }
    target.document().undo(&cursor);
    // The last key's correction is no longer what stands before the caret.
    typing.corrected = false;
    typing.iRestored = false;
    recorder->interrupt();
    textEdited = true;
}

void TypingSession::redo()
{
    Operation operation(*this);
    if (target.isOtherProgram()) {
        target.sendShortcut(u'z', SentModifiers{true, true, false});
        otherProgramTextLost();
        return;
    }
    target.document().redo(&cursor);
    typing.corrected = false;
    typing.iRestored = false;
    recorder->interrupt();
    textEdited = true;
}

// --- Keyboard mode ---------------------------------------------------------------------------

void TypingSession::typeInto(KeyOutput *output)
{
    Operation operation(*this);
    target.typeInto(output);
    gestures->setPopupBounds(output ? panelLayoutBounds : layoutBounds);
    if (wordCorrection)
        wordCorrection->setLearning(rules().learns);
    otherProgramTextLost();
    relabelKeys(); // Esc, Tab and Ctrl in keyboard mode
}

void TypingSession::otherProgramFocusChanged()
{
    if (!target.isOtherProgram())
        return;
    Operation operation(*this);
    target.flush();
    target.startText(true);
    otherProgramTextLost();
}

void TypingSession::otherProgramCaretMoved()
{
    if (!target.isOtherProgram())
        return;
    Operation operation(*this);
    target.flush();
    target.startText(false);
    otherProgramTextLost();
}

void TypingSession::otherProgramTextLost()
{
    typing = TypingState{};
    recorder->interrupt();
    if (wordCorrection)
        wordCorrection->newText();
    textEdited = true;
}

FieldRules TypingSession::rules() const
{
    FieldRules allowed = fieldRules(field, target.isOtherProgram());
    if (noAutoCapitals && target.isOtherProgram())
        allowed.capitals = false;
    return allowed;
}

void TypingSession::setFieldKind(FieldKind kind)
{
    if (kind == field)
        return;
    Operation operation(*this);
    field = kind;
    if (wordCorrection)
        wordCorrection->setLearning(rules().learns);
    textEdited = true; // the candidates are shown again as the field allows
}

void TypingSession::setTextBeforeCaret(const QString &text)
{
    if (!target.isOtherProgram())
        return;
    Operation operation(*this);
    target.flush();
    if (target.setTextBeforeCaret(text)) {
        typing = TypingState{};
        recorder->interrupt();
        textEdited = true;
    }
}

void TypingSession::onCtrl(int keyIndex)
{
    Operation operation(*this);
    ctrl = !ctrl;
    changeKey(keyIndex); // its mode colour
    emit soundRequested();
    afterTap(keyIndex);
}

// A key tapped with Ctrl on: a letter or a digit goes out as Ctrl+key, BackSpace and Enter as
// Ctrl+BackSpace and Ctrl+Return; Ctrl is released. False for the keys Ctrl does not apply to
// (they type as usual, and Ctrl is released after them).
bool TypingSession::ctrlKey(const KeyDef &key, int keyIndex)
{
    const SentModifiers modifiers{true, shift, false};
    if (key.role == KeyRole::Letter || (key.typed >= u'0' && key.typed <= u'9')) {
        target.sendShortcut(key.typed, modifiers);
    } else if (key.typed == backSpace) {
        target.sendKey(SentKey::BackSpace, modifiers);
    } else if (key.typed == lineFeed) {
        target.sendKey(SentKey::Return, modifiers);
    } else {
        ctrl = false;
        changeKey(keyIndexByRole(KeyRole::Shortcut));
        return false;
    }
    keySent(keyIndex);
    return true;
}

void TypingSession::keySent(int keyIndex)
{
    otherProgramTextLost(); // the target no longer knows the text before the caret
    emit soundRequested();
    if (ctrl) {
        ctrl = false;
        changeKey(keyIndexByRole(KeyRole::Shortcut));
    }
    if (shift)
        onShift();
    if (fn)
        onFn();
    afterTap(keyIndex);
}

WordCorrection *TypingSession::corrector() const
{
    return rules().corrects ? wordCorrection : nullptr;
}

void TypingSession::reset()
{
    Operation operation(*this);
    gestures->cancel();
    slideStart = -1;
    slideSent = 0;
    target.startText(true);
    recorder->interrupt();
    textEdited = true;
    if (wordCorrection)
        wordCorrection->newText();
    typing = TypingState{};
    shift = caps = fn = ctrl = false;
    touches.reset();
    stroke.clear();
    if (swipeTyping)
        swipeTyping->forget();
    upperLabels = false;
    faces.reset(keyModes());
}

} // namespace wendrel

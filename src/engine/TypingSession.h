#pragma once
// The typing engine: key dispatch for one typing session (the modifiers, the typing
// assistant, the formula key, Copy and Paste, word completion's and correction's hooks, and
// keyboard mode's keys), without a widget. The keyboard window, the keyboard panel,
// wendrel-type and the tests drive it with touches and taps in the 240 x 320 layout and show
// what it tells them. Around it: KeyFaces (captions, lit keys, colours), KeyTouches (the touch
// on the keys), KeyGestures (holds, popups, slides) and the TextTarget it types into.
//
// The text lives in a QTextDocument (the note pad's text area shows the same document; for
// another program it is the mirror of the text before its caret) and is edited only through
// QTextCursor, so that the document's undo stack sees every edit and no edit copies the whole
// text. Positions are the document's: a line break counts one.
#include "KeyFaces.h"
#include "KeyGestures.h"
#include "KeyTouches.h"
#include "KeyOutput.h"
#include "KeyTable.h"
#include "PopupLayout.h"
#include "SessionClock.h"
#include "TextTarget.h"
#include "TypingAssistant.h"
#include "UndoGrouping.h"
#include "WordStroke.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QStringList>
#include <QTextCursor>
#include <memory>

class QTextDocument;

namespace wendrel {

class Clipboard;
class CompletionEngine;
class SwipeTyping;
class WordCorrection;

// A key whose action lies outside the text: a dialog, the help page, the end, a program.
struct SessionCommand {
    enum class Kind { Load, Save, Shortcut, Options, Exit, Help, Program };
    Kind kind = Kind::Load;
    int keyIndex = -1; // the tapped key, in keyTable()
    QString keyName;   // Program: "0A" to "0Z" (Fn + letter), "1A" to "1Z" (Fn + Shift + letter)
    QString caption;   // the key's caption when tapped; "Fn+A" or "Fn+Shift+A" for a program key
};

class TypingSession : public QObject {
    Q_OBJECT
public:
    static constexpr int keyCount = 66;
    static constexpr int litMs = KeyFaces::litMs;
    static constexpr int candidateCount = 3;

    TypingSession(SessionClock &clock, Clipboard &clipboard, QObject *parent = nullptr);
    ~TypingSession() override;

    // --- Options -------------------------------------------------------------------------
    // Visual response: a tapped key is lit for a moment (on at start, as in a fresh config).
    void setLightFlag(bool on) { faces.setLightFlag(on); }
    bool lightFlag() const { return faces.lightFlag(); }
    // Word completion's engine, or nullptr when completion is off. The session does not own
    // it; candidates are computed after each change while it is set.
    void setCompletion(CompletionEngine *engine);
    CompletionEngine *completion() const { return completionEngine; }
    // Correction of typing errors from the taps, or nullptr when it is off. The session does
    // not own it; it keeps the taps of the word being typed there.
    void setCorrection(WordCorrection *correction);
    WordCorrection *correction() const { return wordCorrection; }
    // Swipe typing (a word drawn in one stroke over the letter keys), or nullptr when it is
    // off. The session does not own it.
    void setSwipe(SwipeTyping *swipe);
    SwipeTyping *swipe() const { return swipeTyping; }

    // --- Keyboard mode: typing into another program ----------------------------------------
    // Types into the program that has the focus through `output` instead of the session's own
    // document (nullptr: the note pad, the default). Set before the first key; the session
    // does not own the output. The keys then act on that program: Load and Save read "Esc"
    // and "Tab" and send those keys, Shortcut reads "Ctrl" and is a latch like Shift (the
    // next letter goes out as Ctrl+letter; Fn + Ctrl opens the Shortcut dialog), Fn's Undo,
    // Redo, Copy and Paste send Ctrl+Z, Ctrl+Shift+Z, Ctrl+C and Ctrl+V, and a slide on Space
    // sends Left and Right (with Shift on, Shift+Left and Shift+Right).
    void typeInto(KeyOutput *output);
    bool typesIntoOtherProgram() const { return target.isOtherProgram(); }
    // The focus moved in the other program (another window or field, a click into it): what
    // Wendrel typed before is no longer before the caret, and a new text starts (its first
    // letter a capital, which a BackSpace right after takes back).
    void otherProgramFocusChanged();
    // The caret moved in the other program in a way Wendrel cannot follow (a click within the
    // same field): the text before it is unknown until the focus changes (no capital there,
    // no word replaced that may go on before what Wendrel typed).
    void otherProgramCaretMoved();
    // What the focused field is: see fieldRules() for what each kind allows.
    void setFieldKind(FieldKind kind);
    FieldKind fieldKind() const { return field; }
    // The text before the caret as the other program reports it (an input method's surrounding
    // text), which then replaces what the session kept of its own typing. Line breaks as "\n".
    void setTextBeforeCaret(const QString &text);
    // Whether the text before the other program's caret is known from the start of what the
    // session keeps (always true for the note pad).
    bool textBeforeCaretKnown() const { return target.startKnown(); }
    // What the current field allows (all for the note pad).
    FieldRules rules() const;
    // The field asks for its letters as typed (an input method's content hints: no automatic
    // capitals, or lower case preferred): the typing assistant capitalises nothing there.
    void setNoAutoCapitals(bool on) { noAutoCapitals = on; }

    // --- Input ---------------------------------------------------------------------------
    // One touch at points of the 240 x 320 layout, at the clock's time. A press and a release
    // on the same key is a tap of that key.
    void press(QPointF layoutPoint);
    void move(QPointF layoutPoint);
    void release(QPointF layoutPoint);
    // The touch was taken away (the window system cancelled it, the window was hidden or left
    // the front during a press): no release will come. It ends without a tap; a held
    // BackSpace stops and a popup closes choosing nothing.
    void cancelTouch();
    // A tap at the key's centre (also what a screen reader's press action does).
    void tapKey(int keyIndex);
    // A tap on candidate cell (0 to 2) of the strip; an empty cell does nothing.
    void pick(int cell);
    // The key under a layout point, as an index of keyTable(); -1 outside every key.
    static int keyAt(QPointF layoutPoint);
    static QPointF keyCentre(int keyIndex);
    const Touch &currentTouch() const { return touches.current(); }
    const Touch &lastTap() const { return touches.lastTap(); }
    // The touch as a word gesture: its points while it is one (a view draws them as a trail).
    const WordStroke &wordStroke() const { return stroke; }

    // --- Key dispatch and the handlers -----------------------------------------------------
    void onKeyTapped(int keyIndex);
    void typeChar(char16_t ch);
    void onShift();
    void onCaps();
    void onFn();
    void onEqualsKey();
    void showLowerCaseLabels();
    void showUpperCaseLabels();
    // Copy (Fn + Save): the whole text to the clipboard, the caret to the selection's start.
    void copyAllText();
    // Paste (Fn + Load): the clipboard's text replaces the selection or goes in at the caret.
    void pasteClipboard();
    // Takes the default-button look off a key.
    void clearDefaultStyle(int keyIndex);
    // The steps every key's handler ends with: no default look, and lit with visual response.
    void afterTap(int keyIndex);

    // --- What views show ----------------------------------------------------------------------
    QString caption(int keyIndex) const { return faces.caption(keyIndex); }
    // The colour rule: lit colour, the mode colour of an active modifier, else the face.
    // onControlColour is the rule as a paint asks for it: a lit key restarts the lit timer.
    Rgb keyColour(int keyIndex) const;
    Rgb onControlColour(int keyIndex);
    bool isLit(int keyIndex) const { return faces.isLit(keyIndex); }
    bool hasDefaultLook(int keyIndex) const { return faces.hasDefaultLook(keyIndex); }
    // The key drawn pressed: the touch is down and still on the key it went down on.
    int pressedKey() const { return touches.pressedKey(); }
    bool isLitTimerRunning() const { return faces.isLitTimerRunning(); }
    // The modes as the key faces follow them.
    KeyModes keyModes() const;
    bool shiftOn() const { return shift; }
    bool capsOn() const { return caps; }
    bool fnOn() const { return fn; }
    // Keyboard mode's Ctrl latch (the Shortcut key there).
    bool ctrlOn() const { return ctrl; }
    bool upperCaseLabels() const { return upperLabels; }
    const TypingState &typingState() const { return typing; }
    // Inside one of the session's own operations (its edits are not finished yet).
    bool isBusy() const { return depth > 0; }
    QStringList candidates() const { return shownCandidates; }
    // The cells of the long-press popup while one is open, and the cell under the finger (-1:
    // none, releasing then types the key's own character).
    QList<PopupCell> popup() const { return gestures->popup(); }
    int popupChosenCell() const { return gestures->chosenCell(); }
    int popupKey() const { return gestures->popupKey(); }
    // How the key answers a touch that lasts or moves, with the modifiers as they stand:
    // BackSpace repeats (but is Undo or Redo in Fn mode), Space slides the caret, a key with
    // alternates opens its popup when held.
    TouchKind touchKind(int keyIndex) const;

    // --- The text -----------------------------------------------------------------------------
    QTextDocument *document() const { return &target.document(); }
    const QTextCursor &textCursor() const { return cursor; }
    int caret() const { return cursor.position(); }
    int anchor() const { return cursor.anchor(); }
    // Positions are clamped to the text.
    void setSelection(int anchor, int caret);
    // The whole text, line breaks as "\n" (the document's raw text: no-break spaces stay).
    QString plainText() const;
    // Replaces the whole text as one undoable edit (Load); the caret goes to the start.
    void replaceAll(const QString &text);
    // Inserts at the caret, replacing the selection, as one undoable edit.
    void insertText(const QString &text);
    // One undo step back or forward (the letters of a word with its separator, a paste, a Load,
    // a candidate, a correction, a held BackSpace's run); the caret goes where the step was.
    void undo();
    void redo();
    // A new empty text without undo history; modifiers, lit keys and the typing assistant as
    // at start. Options and what completion has learned stay.
    void reset();

signals:
    // Captions or looks of these keys changed: a view repaints them.
    void keysChanged(const QList<int> &keyIndexes);
    void candidatesChanged();
    void popupChanged();
    // The caret or the selection moved, or the session edited the text: a view keeps its own
    // cursor in step and the caret in sight.
    void caretChanged();
    // Play the chosen key sound.
    void soundRequested();
    // The text area should have the input focus.
    void focusRequested();
    void commandRequested(const SessionCommand &command);
    // Candidate cell picked (a view lights it with visual response).
    void candidatePicked(int cell);
    // Completion learned a word: the learned words want saving.
    void wordsLearned();
    // The stroke's trail changed (it grew, or the stroke ended): a view redraws it.
    void strokeChanged();

private:
    class Operation;
    class GestureHost; // the session as the touch gestures see it

    void letterKey(const KeyDef &key, int keyIndex);
    void characterKey(const KeyDef &key, int keyIndex);
    void command(SessionCommand::Kind kind, int keyIndex, const QString &keyName = {}, const QString &caption = {});
    void relabelKeys();
    void postChar(char16_t ch);
    TypingContext typingContext() const;
    // Keyboard mode.
    void onCtrl(int keyIndex);
    bool ctrlKey(const KeyDef &key, int keyIndex);
    // A key or shortcut went to the other program (the target no longer knows the text before
    // the caret): the modifiers are released, as after a key.
    void keySent(int keyIndex);
    // The other program's text before the caret started again (TextTarget::startText): what
    // the session kept about it goes too.
    void otherProgramTextLost();
    // Correction as the field allows it (nullptr where it does not).
    WordCorrection *corrector() const;
    void changeKey(int keyIndex) { faces.changed(keyIndex); }
    void refreshCandidates();
    void noteLetterTap(int keyIndex);
    bool correctionTakesBack(char16_t ch);
    QString textBefore(int position) const;
    void learnAfter(int position);
    void onContentsChange(int position, int removed, int added);
    void endOperation();
    // What the touch gestures ask of the session.
    void tapAt(QPointF releasePoint);
    void typeAlternate(int keyIndex, const QString &text);
    bool deleteBackward(DeleteStep step);
    int wordStartBefore(int position) const;
    void slideCaret(int characters);
    void endCaretSlide();
    void undoKey(int keyIndex);
    // Swipe typing: the stroke's word typed, the swiped word taken back by a BackSpace or
    // replaced by a candidate, while it is the last thing done.
    void typeStroke();
    bool swipedWordLast() const;
    bool swipeTakesBack(char16_t ch);
    void replaceSwipedWord(int cell, const QString &word);

    SessionClock &clock;
    Clipboard &clipboard;
    FieldKind field = FieldKind::Unknown;
    bool noAutoCapitals = false;
    // The note pad's document or the mirror of another program's text; cursor is its cursor.
    TextTarget target;
    QTextCursor &cursor;
    TypingState typing;
    bool shift = false, caps = false, fn = false;
    bool ctrl = false; // keyboard mode's Ctrl latch
    bool upperLabels = false;
    WordCorrection *wordCorrection = nullptr;
    SwipeTyping *swipeTyping = nullptr;
    WordStroke stroke;
    // Captions, lit keys, default looks and colours.
    KeyFaces faces;
    // The touch now down and the last tap.
    KeyTouches touches{clock, faces};
    CompletionEngine *completionEngine = nullptr;
    QStringList shownCandidates;
    // Undo steps as a person thinks of them; the kind of the BackSpace being typed.
    std::unique_ptr<UndoRecorder> recorder;
    EditKind deletionKind = EditKind::Deletion;
    int slideStart = -1; // where the caret stood when the slide on Space began, -1: no slide
    int slideSent = 0;   // keyboard mode: arrows sent by the slide, Right positive
    // Holds, the long-press popup and slides on Space.
    std::unique_ptr<GestureHost> gestureHost;
    std::unique_ptr<KeyGestures> gestures;
    // Operation bookkeeping: notifications are sent once, when the outermost operation ends.
    int depth = 0;
    bool textEdited = false;
    int caretAtStart = 0, anchorAtStart = 0;
};

} // namespace wendrel

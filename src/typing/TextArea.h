#pragma once
// The text-area operations over a QPlainTextEdit. They present the text as the handheld's
// edit control held it: a line break is the two characters 13, 10, and every position counts
// the 16-bit units of that text, so positions, the typing assistant and saved files agree.
#include <QObject>
#include <QString>
#include <functional>
#include <utility>

class QPlainTextEdit;

namespace wendrel {

class TextArea : public QObject {
    Q_OBJECT
public:
    explicit TextArea(QPlainTextEdit *edit, QObject *parent = nullptr);

    QPlainTextEdit *widget() const { return edit; }

    // Selection start and end; equal (the caret) when nothing is selected.
    std::pair<qsizetype, qsizetype> readSelection() const;
    // (0, -1) selects the whole text; (p, p) puts the caret at p.
    void setSelection(qsizetype start, qsizetype end);
    void scrollCaret();
    void copySelection();
    void pasteClipboard();
    QString pullText() const;
    // Replaces the whole text; a text equal to the shown one leaves the area untouched.
    void pushText(const QString &text);
    // Queues one character, handled after the running handler returns, in posting order:
    // a printable character replaces the selection or is inserted, 8 deletes the selection or
    // the character before the caret, 10 inserts a line break.
    void postChar(char16_t ch);
    void focusTextArea();

    qsizetype length() const;
    // The character at a position of the presented text, 0 outside it.
    char16_t charAt(qsizetype position) const;

    // Called after each posted character has been handled.
    std::function<void()> onCharacterHandled;

    // Conversions between presented positions and the document's own.
    qsizetype toPresented(int documentPosition) const;
    int toDocument(qsizetype presentedPosition) const;

private:
    void applyChar(char16_t ch);

    QPlainTextEdit *edit;
};

} // namespace wendrel

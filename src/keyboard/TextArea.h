#pragma once
// The text-area operations over a QPlainTextEdit. They present the text as the handheld's
// edit control held it: a line break is the two characters 13, 10, and every position counts
// the 16-bit units of that text. The typing itself is the typing session's (src/engine), which
// edits the same document; these serve the draft keeper and the tests.
#include <QObject>
#include <QString>
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
    QString pullText() const;
    // Replaces the whole text as one undoable edit, the caret at the start; a text equal to the
    // shown one leaves the area untouched.
    void pushText(const QString &text);
    void focusTextArea();

    qsizetype length() const;
    // The character at a position of the presented text, 0 outside it.
    char16_t charAt(qsizetype position) const;

    // Conversions between presented positions and the document's own.
    qsizetype toPresented(int documentPosition) const;
    int toDocument(qsizetype presentedPosition) const;

private:
    QPlainTextEdit *edit;
};

} // namespace wendrel

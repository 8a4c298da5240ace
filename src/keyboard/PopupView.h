#pragma once
// The long-press popup on the screen: the session's cells drawn over the keys (and over the
// text area when the key lies near the top), the cell under the finger lit. It only shows: the
// touch stays with the key it went down on, which hands it to the session.
#include "ScaledLayout.h"

#include <QFont>
#include <QRect>
#include <QWidget>

namespace wendrel {

class TypingSession;

class PopupView : public QWidget {
    Q_OBJECT
public:
    PopupView(TypingSession &session, QWidget *parent);

    // Where the 240 x 320 layout lies in the parent, and the keys' caption font.
    void place(const ScaledLayout &layout, const QFont &captionFont);
    // A cell's rectangle in the parent's pixels.
    QRect cellRect(const QRectF &layoutRect) const;

    // The open popup's cells as screen readers see them: how many, what each types, where
    // each lies in this widget, and the one under the finger (-1: none).
    int cellCount() const;
    QString cellText(int cell) const;
    QRect cellArea(int cell) const;
    int chosenCell() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void follow();
    void tellScreenReaders(int previouslyChosen, int nowChosen);

    TypingSession &session;
    ScaledLayout layout;
    int shownChosen = -1; // the chosen cell screen readers were last told of
};

} // namespace wendrel

#pragma once
// One key of the keyboard window, a view of the typing session's key: it shows the session's
// caption, colour and looks, never takes the focus from the text area, and hands its touches
// to the session as points of the 240 x 320 layout. A screen reader's press is a tap.
#include <QPushButton>

namespace wendrel {

class TypingSession;

class KeyButton : public QPushButton {
    Q_OBJECT
public:
    KeyButton(int keyIndex, TypingSession &session, QWidget *parent);

    int keyIndex() const { return index; }
    QString caption() const;
    // The default-button look a press gives a key, as the handheld's dialogs did.
    bool hasDefaultLook() const;
    // The session changed this key: caption, colour or look.
    void refresh();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QPointF toLayout(QPointF point) const;

    int index;
    TypingSession &session;
};

} // namespace wendrel

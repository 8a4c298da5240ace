#include "KeyButton.h"

#include "TypingSession.h"

#include <QMouseEvent>
#include <QPainter>

namespace wendrel {

KeyButton::KeyButton(int keyIndex, TypingSession &session, QWidget *parent)
    : QPushButton(parent), index(keyIndex), session(session)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoDefault(false);
    setAccessibleName(caption());
    // Mouse and touch reach the session through the events below; this is what a screen
    // reader's press action (QAbstractButton::click) does.
    connect(this, &QPushButton::clicked, this, [this] { this->session.tapKey(index); });
}

QString KeyButton::caption() const
{
    return session.caption(index);
}

bool KeyButton::hasDefaultLook() const
{
    return session.hasDefaultLook(index);
}

void KeyButton::refresh()
{
    const QString shown = caption();
    if (accessibleName() != shown)
        setAccessibleName(shown);
    update();
}

// A point of this key in the layout: the key's widget is its layout rectangle, scaled.
QPointF KeyButton::toLayout(QPointF point) const
{
    const KeyRect &r = keyTable()[size_t(index)].rect;
    return QPointF(r.x + point.x() * r.width / std::max(width(), 1), r.y + point.y() * r.height / std::max(height(), 1));
}

void KeyButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    session.press(toLayout(event->position()));
}

void KeyButton::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        session.move(toLayout(event->position()));
}

void KeyButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    session.release(toLayout(event->position()));
}

void KeyButton::hideEvent(QHideEvent *event)
{
    // Hidden during its press, the key gets no release: a held BackSpace must not go on.
    const Touch &touch = session.currentTouch();
    if (touch.down && touch.pressKey == index)
        session.cancelTouch();
    QPushButton::hideEvent(event);
}

void KeyButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const Rgb rgb = session.onControlColour(index); // a lit key restarts the lit timer
    const QColor face(rgb.red, rgb.green, rgb.blue);
    const QRect area = rect();
    painter.fillRect(area, session.pressedKey() == index ? face.darker(115) : face);
    painter.setPen(face.darker(170));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    if (session.hasDefaultLook(index)) {
        painter.setPen(Qt::black);
        painter.drawRect(area.adjusted(1, 1, -2, -2));
    }
    painter.setPen(palette().buttonText().color());
    painter.setFont(font());
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, caption());
}

} // namespace wendrel

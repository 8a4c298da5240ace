#include "KeyButton.h"

#include <QPainter>

namespace wendrel {

KeyButton::KeyButton(int keyIndex, QWidget *parent) : QPushButton(parent), index(keyIndex)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoDefault(false);
}

void KeyButton::setCaption(const QString &caption)
{
    if (caption == captionText)
        return;
    captionText = caption;
    setAccessibleName(caption);
    update();
}

void KeyButton::setDefaultLook(bool on)
{
    if (on == defaultLook)
        return;
    defaultLook = on;
    update();
}

void KeyButton::mousePressEvent(QMouseEvent *event)
{
    setDefaultLook(true);
    QPushButton::mousePressEvent(event);
}

void KeyButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor face = faceColour ? faceColour(index) : palette().button().color();
    const QRect area = rect();
    painter.fillRect(area, isDown() ? face.darker(115) : face);
    painter.setPen(face.darker(170));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    if (defaultLook) {
        painter.setPen(Qt::black);
        painter.drawRect(area.adjusted(1, 1, -2, -2));
    }
    painter.setPen(palette().buttonText().color());
    painter.setFont(font());
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, captionText);
}

} // namespace wendrel

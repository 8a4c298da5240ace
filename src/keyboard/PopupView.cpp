#include "PopupView.h"

#include "PopupViewAccessible.h"
#include "TypingSession.h"

#include <QAccessible>
#include <QPainter>
#include <cmath>

namespace wendrel {

namespace {

constexpr int frameWidth = 1; // a dark line around the whole popup, outside its cells

QColor colourOf(Rgb rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

} // namespace

PopupView::PopupView(TypingSession &session, QWidget *parent) : QWidget(parent), session(session)
{
    setObjectName(QStringLiteral("popup"));
    // The touch that opened the popup belongs to its key; this widget never takes input.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    installPopupViewAccessibility();
    hide();
    connect(&session, &TypingSession::popupChanged, this, &PopupView::follow);
}

void PopupView::place(const ScaledLayout &scaled, const QFont &captionFont)
{
    layout = scaled;
    // One size larger than the keys' captions: a cell is larger than a letter key, and an
    // accent must be told from its neighbour's at a glance.
    QFont font = captionFont;
    if (font.pixelSize() > 0)
        font.setPixelSize(font.pixelSize() + layout.length(2));
    setFont(font);
    follow();
}

QRect PopupView::cellRect(const QRectF &r) const
{
    // The edges are rounded, not the sizes, so that neighbouring cells touch as keys do.
    const qreal s = layout.scale();
    const QPoint o = layout.origin();
    const int left = o.x() + int(std::lround(r.left() * s));
    const int top = o.y() + int(std::lround(r.top() * s));
    const int right = o.x() + int(std::lround(r.right() * s));
    const int bottom = o.y() + int(std::lround(r.bottom() * s));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

int PopupView::cellCount() const
{
    return int(session.popup().size());
}

QString PopupView::cellText(int cell) const
{
    const QList<PopupCell> cells = session.popup();
    return cell >= 0 && cell < cells.size() ? cells[cell].text : QString();
}

QRect PopupView::cellArea(int cell) const
{
    const QList<PopupCell> cells = session.popup();
    return cell >= 0 && cell < cells.size() ? cellRect(cells[cell].rect).translated(-pos()) : QRect();
}

int PopupView::chosenCell() const
{
    return session.popupChosenCell();
}

void PopupView::follow()
{
    const QList<PopupCell> cells = session.popup();
    const int chosen = session.popupChosenCell();
    if (chosen != shownChosen) {
        tellScreenReaders(shownChosen, chosen);
        shownChosen = chosen;
    }
    if (cells.isEmpty()) {
        hide();
        return;
    }
    QRect bounds;
    for (const PopupCell &cell : cells)
        bounds |= cellRect(cell.rect);
    setGeometry(bounds.adjusted(-frameWidth, -frameWidth, frameWidth, frameWidth));
    raise();
    show();
    update();
}

// The cell the finger moved to is selected, the one it left no longer is.
void PopupView::tellScreenReaders(int previouslyChosen, int nowChosen)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface *popup = QAccessible::queryAccessibleInterface(this);
    if (!popup)
        return;
    for (const int cell : {previouslyChosen, nowChosen}) {
        QAccessibleInterface *item = cell >= 0 ? popup->child(cell) : nullptr;
        if (!item)
            continue;
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent event(item, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void PopupView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QList<PopupCell> cells = session.popup();
    const int key = session.popupKey();
    const QColor face = key >= 0 ? colourOf(keyTable()[size_t(key)].face) : palette().button().color();
    painter.fillRect(rect(), face.darker(250));
    const int chosen = session.popupChosenCell();
    const QPoint offset = -pos();
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const QRect area = cellRect(cells[i].rect).translated(offset);
        const QColor fill = i == chosen ? colourOf(litColour) : face;
        painter.fillRect(area, fill);
        painter.setPen(fill.darker(170));
        painter.drawRect(area.adjusted(0, 0, -1, -1));
        painter.setPen(palette().buttonText().color());
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, cells[i].text);
    }
}

} // namespace wendrel

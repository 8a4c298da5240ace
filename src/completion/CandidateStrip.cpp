#include "CandidateStrip.h"

#include "KeyTable.h"

#include <QMouseEvent>
#include <QPainter>

namespace wendrel {

namespace {
constexpr QColor cellFace(250, 250, 242);
}

CandidateStrip::CandidateStrip(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("candidateStrip"));
    setFocusPolicy(Qt::NoFocus); // the focus stays in the text area
    litTimer.setSingleShot(true);
    litTimer.setInterval(65); // as long as a key stays lit
    connect(&litTimer, &QTimer::timeout, this, [this] {
        lit = -1;
        update();
    });
}

void CandidateStrip::setCandidates(const QStringList &candidates)
{
    if (candidates == words)
        return;
    words = candidates.mid(0, cellCount);
    update();
}

void CandidateStrip::light(int cell)
{
    lit = cell;
    litTimer.start();
    update();
}

QRect CandidateStrip::cellRect(int cell) const
{
    const int left = width() * cell / cellCount;
    const int right = width() * (cell + 1) / cellCount;
    return QRect(left, 0, right - left, height());
}

int CandidateStrip::cellAt(QPoint point) const
{
    for (int cell = 0; cell < cellCount; ++cell) {
        if (cellRect(cell).contains(point))
            return cell;
    }
    return -1;
}

void CandidateStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const Rgb back = backgroundColour;
    painter.fillRect(rect(), QColor(back.red, back.green, back.blue));
    for (int cell = 0; cell < cellCount; ++cell) {
        const QRect area = cellRect(cell).adjusted(0, 1, -1, 0);
        if (cell >= words.size() || words[cell].isEmpty())
            continue; // an empty cell shows nothing
        const QColor face = cell == lit ? QColor(litColour.red, litColour.green, litColour.blue) : cellFace;
        painter.fillRect(area, cell == pressed ? face.darker(115) : face);
        painter.setPen(face.darker(170));
        painter.drawRect(area.adjusted(0, 0, -1, -1));
        painter.setPen(Qt::black);
        const QString shown = fontMetrics().elidedText(words[cell], Qt::ElideRight, area.width() - 4);
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, shown);
    }
    if (!painted) {
        painted = true;
        emit firstPainted();
    }
}

void CandidateStrip::mousePressEvent(QMouseEvent *event)
{
    pressed = cellAt(event->position().toPoint());
    update();
}

// A tap counts when the stylus is lifted in the cell where it went down, as with a key.
void CandidateStrip::mouseReleaseEvent(QMouseEvent *event)
{
    const int cell = pressed;
    pressed = -1;
    update();
    if (cell >= 0 && cell == cellAt(event->position().toPoint()) && cell < words.size() && !words[cell].isEmpty())
        emit tapped(cell);
}

} // namespace wendrel

#pragma once
// The strip of three candidate cells under the text. It only shows words and reports taps;
// WordCompletion decides what they are and what a tap does.
#include <QStringList>
#include <QTimer>
#include <QWidget>

namespace wendrel {

class CandidateStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int cellCount = 3;
    static constexpr int layoutHeight = 20; // pixels at scale 1

    explicit CandidateStrip(QWidget *parent);

    QStringList candidates() const { return words; }
    void setCandidates(const QStringList &candidates);
    // The cell lights pale yellow for a moment, as a tapped key does.
    void light(int cell);
    int litCell() const { return lit; }
    QRect cellRect(int cell) const;

signals:
    // A cell that shows a word was tapped.
    void tapped(int cell);
    // Painted for the first time.
    void firstPainted();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int cellAt(QPoint point) const;

    QStringList words;
    QTimer litTimer;
    int lit = -1;
    int pressed = -1;
    bool painted = false;
};

} // namespace wendrel

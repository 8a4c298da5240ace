#pragma once
// One key of the keyboard window. It never takes the focus from the text area, and it paints
// its face in the colour the window's colour rule answers at paint time.
#include <QPushButton>
#include <functional>

namespace wendrel {

class KeyButton : public QPushButton {
    Q_OBJECT
public:
    KeyButton(int keyIndex, QWidget *parent);

    int keyIndex() const { return index; }
    QString caption() const { return captionText; }
    void setCaption(const QString &caption);

    // The default-button look a tap gives a key, as the handheld's dialogs did.
    bool hasDefaultLook() const { return defaultLook; }
    void setDefaultLook(bool on);

    std::function<QColor(int keyIndex)> faceColour;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    int index;
    QString captionText;
    bool defaultLook = false;
};

} // namespace wendrel

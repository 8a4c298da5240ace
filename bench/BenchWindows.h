#pragma once
// The two windows that the start-up, tap and memory benchmarks compare:
//  - the floor: a plain Qt Widgets window with a text edit and 66 push buttons at the keys'
//    rectangles, what the toolkit costs with a widget per key;
//  - the view window: the same text edit and one KeyboardView drawing the 66 keys, with a
//    small stand-in for the typing engine (a tap types its character into the text edit and
//    lights the key for 65 ms; Shift relabels), so a tap costs what it costs in the program.
#include "Fonts.h"
#include "KeyTable.h"
#include "KeyboardView.h"
#include "ScaledLayout.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <array>

namespace wendrel::bench {

inline QColor toColor(Rgb rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

// As the keyboard window does: full screen on a device's small screen or framebuffer, an
// ordinary 240 x 320 window on a desktop.
inline bool deviceScreen()
{
    const QString name = QGuiApplication::platformName();
    const QScreen *screen = QGuiApplication::primaryScreen();
    return name == QLatin1String("linuxfb") || name == QLatin1String("eglfs")
        || (screen && screen->size().width() <= layoutWidth && screen->size().height() <= layoutHeight);
}

inline void showAsKeyboard(QWidget &window)
{
    if (deviceScreen()) {
        window.showFullScreen();
    } else {
        window.setFixedSize(layoutWidth, layoutHeight);
        window.show();
    }
}

class FloorWindow : public QWidget {
public:
    FloorWindow()
    {
        setWindowTitle(QStringLiteral("Floor"));
        // The keyboard's background, so that a picture tells the window from the buttons.
        QPalette colours = palette();
        colours.setColor(QPalette::Window, toColor(backgroundColour));
        setPalette(colours);
        setAutoFillBackground(true);
        edit = new QPlainTextEdit(this);
        edit->setGeometry(textAreaRect.x, textAreaRect.y, textAreaRect.width, textAreaRect.height);
        for (const KeyDef &key : keyTable()) {
            auto *button = new QPushButton(keyCaption(key, false, false, false), this);
            button->setFocusPolicy(Qt::NoFocus);
            button->setGeometry(key.rect.x, key.rect.y, key.rect.width, key.rect.height);
            const QChar typed(key.typed);
            connect(button, &QPushButton::clicked, this, [this, typed] {
                if (typed.unicode() >= u' ')
                    edit->insertPlainText(QString(typed));
            });
            buttons.push_back(button);
        }
        edit->setFocus();
    }

    QPoint keyCentre(int keyIndex) const { return buttons[size_t(keyIndex)]->geometry().center(); }
    QPlainTextEdit *edit;
    std::vector<QPushButton *> buttons;
};

class ViewWindow : public QWidget {
public:
    ViewWindow()
    {
        setWindowTitle(QStringLiteral("View"));
        edit = new QPlainTextEdit(this);
        view = new KeyboardView(this);
        view->setLookSource([this](int key) { return look(key); });
        connect(view, &KeyboardView::pressed, this, [this](QPointF point) { pressedKey = keyAt(point); });
        connect(view, &KeyboardView::released, this, [this](QPointF point) {
            if (keyAt(point) == pressedKey && pressedKey >= 0)
                tap(pressedKey);
            pressedKey = -1;
        });
        connect(view, &KeyboardView::keyTapped, this, &ViewWindow::tap);
        litTimer.setSingleShot(true);
        connect(&litTimer, &QTimer::timeout, this, [this] {
            QList<int> keys;
            for (size_t i = 0; i < lit.size(); ++i) {
                if (lit[i])
                    keys.append(int(i));
            }
            lit.fill(false);
            view->updateKeys(keys);
        });
    }

    // Places the text edit and the keys at a scale of the 240 x 320 layout, as the keyboard
    // window does (the caption font fitted to the keys).
    void place(qreal scale)
    {
        const ScaledLayout layout(scale, QPoint());
        const QFont textFont = sansSerifWithCellHeight(layout.length(15), font());
        edit->setFont(textFont);
        edit->setGeometry(layout.rect(textAreaRect));
        view->setFont(captionFont(layout, textFont));
        view->setScaledLayout(layout);
        view->setGeometry(QRect(QPoint(), layout.size()));
        view->lower();
        edit->setFocus();
    }

    QPoint keyCentre(int keyIndex) const { return view->keyRect(keyIndex).center(); }
    QPlainTextEdit *edit;
    KeyboardView *view;

private:
    static int keyAt(QPointF layoutPoint)
    {
        const auto table = keyTable();
        for (size_t i = 0; i < table.size(); ++i) {
            const KeyRect &r = table[i].rect;
            if (QRectF(r.x, r.y, r.width, r.height).contains(layoutPoint))
                return int(i);
        }
        return -1;
    }

    KeyLook look(int key) const
    {
        const KeyDef &def = keyTable()[size_t(key)];
        const bool modeOn = def.role == KeyRole::Shift && shiftOn;
        if (lit[size_t(key)])
            litTimer.start(65);
        return KeyLook{keyCaption(def, shiftOn, shiftOn, false),
                       lit[size_t(key)] ? litColour : modeOn ? modeColour : def.face, false};
    }

    void tap(int key)
    {
        const KeyDef &def = keyTable()[size_t(key)];
        QList<int> changed{key};
        if (def.role == KeyRole::Shift) {
            shiftOn = !shiftOn;
            for (size_t i = 0; i < keyTable().size(); ++i)
                changed.append(int(i));
        } else if (def.typed >= u' ') {
            const char16_t ch = shiftOn && def.shifted ? def.shifted : def.typed;
            edit->insertPlainText(QString(QChar(ch)));
        }
        lit[size_t(key)] = def.lights;
        view->updateKeys(changed);
    }

    std::array<bool, 66> lit{};
    bool shiftOn = false;
    int pressedKey = -1;
    mutable QTimer litTimer;
};

} // namespace wendrel::bench

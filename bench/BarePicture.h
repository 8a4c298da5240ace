#pragma once
// The keyboard window's picture at its least: the background, a white text area with a short
// text document, and the keys' faces and captions from the key table, painted in one go. The
// two lower-bound windows (bare_gui_window, bare_widget_window) paint it, so that what they
// measure is the toolkit's start-up and nothing of the program.
#include "KeyTable.h"

#include <QFont>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTextDocument>
#include <QTimer>

namespace wendrel::bench {

class BarePicture {
public:
    BarePicture()
    {
        font.setPixelSize(12);
        text.setDefaultFont(font);
        text.setTextWidth(textAreaRect.width);
        text.setPlainText(QStringLiteral("Hi"));
    }

    void paint(QPainter &painter, const QRect &window)
    {
        painter.fillRect(window, colour(backgroundColour));
        painter.fillRect(QRect(textAreaRect.x, textAreaRect.y, textAreaRect.width, textAreaRect.height), Qt::white);
        painter.save();
        painter.translate(textAreaRect.x, textAreaRect.y);
        text.drawContents(&painter);
        painter.restore();
        painter.setFont(font);
        painter.setPen(Qt::black);
        for (const KeyDef &key : keyTable()) {
            const QRect face(key.rect.x, key.rect.y, key.rect.width, key.rect.height);
            painter.fillRect(face, colour(key.face));
            painter.drawText(face, Qt::AlignCenter, keyCaption(key, false, false, false));
        }
        if (quitAfterPaint) // the frame is handed over once this paint returns
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }

    // "quit": the program ends after its first frame (for counting instructions).
    bool quitAfterPaint = false;

private:
    static QColor colour(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

    QFont font;
    QTextDocument text;
};

// As the keyboard window: full screen on a device's screen or framebuffer, else the layout's size.
// Without a window manager a full-screen request alone leaves the window unsized, so the size is
// set first.
template <typename Window> void showAsKeyboardWindow(Window &window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QString platform = QGuiApplication::platformName();
    const bool device = platform == QLatin1String("linuxfb") || platform == QLatin1String("eglfs")
        || (screen && screen->size().width() <= layoutWidth && screen->size().height() <= layoutHeight);
    window.resize(layoutWidth, layoutHeight);
    if (device)
        window.showFullScreen();
    else
        window.show();
}

// A window of the toolkit's kind Base (QRasterWindow or QWidget) that paints the picture.
template <typename Base> class BareWindow : public Base {
public:
    BarePicture picture;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        picture.paint(painter, QRect(QPoint(), this->size()));
    }
};

// The whole program of a lower-bound window: "quit" as its argument ends it after its first frame.
template <typename Application, typename Base> int runBareWindow(int argc, char **argv)
{
    Application app(argc, argv);
    BareWindow<Base> window;
    window.picture.quitAfterPaint = argc > 1 && QByteArray(argv[1]) == "quit";
    showAsKeyboardWindow(window);
    return app.exec();
}

} // namespace wendrel::bench

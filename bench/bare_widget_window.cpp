// The leanest window that Qt Widgets can show with the keyboard window's picture: the
// application object of Qt Widgets and one widget that paints the keys and a text document,
// with no text editing and no other widget. Every window made of Qt Widgets pays at least this.
// Usage: bare_widget_window [quit]
#include "BarePicture.h"

#include <QApplication>
#include <QWidget>

namespace {

class BareWidget : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        picture.paint(painter, rect());
    }

public:
    wendrel::bench::BarePicture picture;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    BareWidget window;
    window.picture.quitAfterPaint = argc > 1 && QByteArray(argv[1]) == "quit";
    wendrel::bench::showAsKeyboardWindow(window);
    return app.exec();
}

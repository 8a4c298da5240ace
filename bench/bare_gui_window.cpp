// The toolkit's lower bound for the keyboard window's first frame: the same picture from Qt Gui
// alone. The Widgets library is never loaded; one raster window paints the keys and a text
// document, with no text editing, no focus, no screen-reader objects and no style.
// Usage: bare_gui_window [quit]
#include "BarePicture.h"

#include <QRasterWindow>

namespace {

class BareWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        picture.paint(painter, QRect(QPoint(), size()));
    }

public:
    wendrel::bench::BarePicture picture;
};

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    BareWindow window;
    window.picture.quitAfterPaint = argc > 1 && QByteArray(argv[1]) == "quit";
    wendrel::bench::showAsKeyboardWindow(window);
    return app.exec();
}

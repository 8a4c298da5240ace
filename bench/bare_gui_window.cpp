// The toolkit's lower bound for the keyboard window's first frame: the same picture from Qt Gui
// alone. The Widgets library is never loaded; one raster window paints the keys and a text
// document, with no text editing, no focus, no screen-reader objects and no style.
// Usage: bare_gui_window [quit]
#include "BarePicture.h"

#include <QRasterWindow>

int main(int argc, char **argv)
{
    return wendrel::bench::runBareWindow<QGuiApplication, QRasterWindow>(argc, argv);
}

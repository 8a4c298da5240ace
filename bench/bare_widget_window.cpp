// The leanest window that Qt Widgets can show with the keyboard window's picture: the
// application object of Qt Widgets and one widget that paints the keys and a text document,
// with no text editing and no other widget. Every window made of Qt Widgets pays at least this.
// Usage: bare_widget_window [quit]
#include "BarePicture.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    return wendrel::bench::runBareWindow<QApplication, QWidget>(argc, argv);
}

#pragma once
// The application object: runs the keyboard window until the program ends.
#include "WaylandKeyboard.h"

#include <QApplication>

namespace wendrel {

class KeyboardApp : public QApplication {
public:
    KeyboardApp(int &argc, char **argv);
    // Opens the keyboard window and runs the event loop; ends the process when the loop ends.
    int InitInstance();
    // Keyboard mode (--keyboard): the panel instead of the note pad; ends the process too.
    int runKeyboardPanel();
    // Keyboard mode under a Wayland compositor: the panel on a layer surface; ends the process.
    int runWaylandKeyboardPanel(const WaylandKeyboardOptions &options);
};

} // namespace wendrel

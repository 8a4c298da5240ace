#pragma once
// What the handlers of the command keys (files, shortcuts, settings) may ask of the keyboard
// window around a dialog, the help page or a launched program: its controls hidden or shown,
// full-screen mode, the focus in the text area, and a parent for their dialogs.
class QWidget;

namespace wendrel {

class KeyboardFrame {
public:
    virtual ~KeyboardFrame() = default;
    virtual void showControls(bool show) = 0;
    virtual void enterFullScreen() = 0;
    virtual void leaveFullScreen() = 0;
    virtual void focusTextArea() = 0;
    virtual QWidget *dialogParent() = 0;
};

} // namespace wendrel

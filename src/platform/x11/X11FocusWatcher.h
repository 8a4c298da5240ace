#pragma once
// Tells when the focus may have moved in other programs on X11: the active window changed
// (_NET_ACTIVE_WINDOW on the root window), or a mouse button or a finger went down outside the
// keyboard panel (XInput 2 raw button presses, which every client may see), which can move the
// caret inside the same window. A connection of its own, read when the event loop finds data on
// it.
#include <QObject>
#include <QRect>
#include <functional>

typedef struct _XDisplay Display;
class QSocketNotifier;

namespace wendrel {

class X11FocusWatcher : public QObject {
    Q_OBJECT
public:
    // panelRect: where the panel is now, in the root window's pixels (presses there are the
    // panel's own taps).
    explicit X11FocusWatcher(std::function<QRect()> panelRect, QObject *parent = nullptr);
    ~X11FocusWatcher() override;
    bool isWatching() const { return display != nullptr; }

signals:
    void focusChanged();

private:
    void readEvents();
    unsigned long currentActiveWindow();

    std::function<QRect()> panelRect;
    Display *display = nullptr;
    QSocketNotifier *notifier = nullptr;
    int xinputOpcode = -1;
    unsigned long activeWindowAtom = 0;
    unsigned long lastActive = 0;
};

} // namespace wendrel

// Tap to pixels: a press and a release on the key "e", handed in at the platform's input as the
// window system hands them in, until the frame that shows the key pressed, and then the frame
// that shows the typed character and the key's new look, have been painted and handed to the
// window system (on X11, until the server has them). "floor", "view" and "wendrel" are the
// windows of startup_probe. Between taps (not timed) the lit key goes dark and the text is
// cleared now and then.
// Usage: tap_probe floor|view|wendrel [taps]. Prints "<median µs> <90th percentile µs> <median
// processor µs of the user interface thread> <peak kB>".
#include "BenchWindows.h"
#include "KeyboardApp.h"
#include "KeyboardDialog.h"
#include "QtPlatform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QSet>
#include <QTest>
#include <QtGui/qguiapplication_platform.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

using namespace wendrel;

long peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Which widgets have painted since the last clear.
class PaintWatch : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted.insert(watched);
        return false;
    }
    QSet<QObject *> painted;
};

bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer limit;
    limit.start();
    while (!done()) {
        if (limit.elapsed() > 2000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// On X11, a round trip: the server has taken every image sent before it.
void handedToWindowSystem()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>(); x11 && x11->display())
        XSync(x11->display(), False);
}

struct Target {
    QWidget *window;
    QPoint keyCentre;          // in the window
    QPlainTextEdit *edit;
};

double threadCpuUs()
{
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    return double(cpu.tv_sec) * 1e6 + double(cpu.tv_nsec) / 1e3;
}

struct TapTime {
    double us = -1;  // on the clock
    double cpuUs = 0; // the user interface thread's processor time
};

// One tap, timed; -1 when it was not painted. Not inlined, so that a profiler can count the
// work of the taps alone (valgrind --tool=callgrind --toggle-collect='*timedTap*').
[[gnu::noinline]] TapTime timedTap(const Target &target, PaintWatch &watch, QObject *key, QObject *text)
{
    const double cpuStart = threadCpuUs();
    QWindow *handle = target.window->windowHandle();
    watch.painted.clear();
    QElapsedTimer clock;
    clock.start();
    QTest::mousePress(handle, Qt::LeftButton, {}, target.keyCentre);
    bool painted = waitFor([&] { return watch.painted.contains(key); });
    handedToWindowSystem();
    watch.painted.clear();
    QTest::mouseRelease(handle, Qt::LeftButton, {}, target.keyCentre);
    painted = waitFor([&] { return watch.painted.contains(key) && watch.painted.contains(text); }) && painted;
    handedToWindowSystem();
    const double us = double(clock.nsecsElapsed()) / 1e3;
    return painted ? TapTime{us, threadCpuUs() - cpuStart} : TapTime{};
}

} // namespace

int main(int argc, char **argv)
{
    const QByteArray kind = argc > 1 ? QByteArray(argv[1]) : QByteArray("view");
    const int taps = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 100;
    KeyboardApp app(argc, argv);
    const int e = keyIndexById(1004);

    std::unique_ptr<QWidget> window;
    QtPlatform platform;
    Target target{};
    if (kind == "floor") {
        auto *floor = new bench::FloorWindow;
        window.reset(floor);
        bench::showAsKeyboard(*floor);
        target = {floor, floor->keyCentre(e), floor->edit};
    } else if (kind == "view") {
        auto *view = new bench::ViewWindow;
        window.reset(view);
        view->place(1);
        bench::showAsKeyboard(*view);
        target = {view, view->keyCentre(e), view->edit};
    } else {
        auto *dialog = new KeyboardDialog(platform.services());
        window.reset(dialog);
        dialog->OnInitDialog();
        target = {dialog, dialog->scaledLayout().rect(keyTable()[size_t(e)].rect).center(),
                  dialog->findChild<QPlainTextEdit *>()};
    }
    if (!QTest::qWaitForWindowExposed(target.window) || !target.edit) {
        std::fputs("tap_probe: the window did not show\n", stderr);
        return 1;
    }
    QTest::qWait(300); // the work that follows the first frame
    QWidget *key = target.window->childAt(target.keyCentre);
    QWidget *text = target.edit->viewport();
    PaintWatch watch;
    app.installEventFilter(&watch);

    std::vector<double> micros, cpuMicros;
    for (int i = 0; i < taps; ++i) {
        if (i % 20 == 0) {
            target.edit->clear();
            QTest::qWait(20);
        }
        const TapTime tap = timedTap(target, watch, key, text);
        if (tap.us < 0) {
            std::fputs("tap_probe: a tap was not painted within 2 s\n", stderr);
            return 1;
        }
        micros.push_back(tap.us);
        cpuMicros.push_back(tap.cpuUs);
        QTest::qWait(80); // the lit key goes dark
    }
    std::sort(micros.begin(), micros.end());
    std::sort(cpuMicros.begin(), cpuMicros.end());
    std::printf("%.0f %.0f %.0f %ld\n", micros[micros.size() / 2], micros[micros.size() * 9 / 10],
                cpuMicros[cpuMicros.size() / 2], peakResidentKb());
    if (!target.edit->toPlainText().contains(QLatin1Char('e')))
        std::fputs("tap_probe: the taps typed nothing\n", stderr);
    return 0;
}

// One on-screen keyboard program measured on the X server of $DISPLAY, as keyboard_vs_onboard.sh
// runs it for Wendrel's panel and for Onboard alike:
//   first frame: the time from exec to the last change of the screen before it stays still for
//     two seconds (the keyboard's first complete picture; the screen is read every few ms);
//   tap to character: 20 taps (XTest pointer clicks) at a point of the program's largest
//     window, each timed from the button's release to the KeyPress that a receiving text field
//     writes, with its CLOCK_MONOTONIC time, into a file (tests/e2e/text_receiver.py);
//   memory: the program's peak resident set (VmHWM) after the taps.
// Prints "<first frame ms> <peak kB> <median tap-to-character ms from the release> <taps that
// arrived> <median from the press>" (the button is held 40 ms).
// Usage: keyboard_bench <x fraction> <y fraction> <receiver's keys file> <program> [arguments...]
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double monotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

unsigned long long screenHash(Display *display)
{
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    XImage *image = XGetImage(display, DefaultRootWindow(display), 0, 0, unsigned(width), unsigned(height), AllPlanes,
                              ZPixmap);
    if (!image)
        return 0;
    unsigned long long hash = 1469598103934665603ULL;
    const auto *bytes = reinterpret_cast<const unsigned char *>(image->data);
    const size_t size = size_t(image->bytes_per_line) * size_t(height);
    for (size_t i = 0; i < size; i += 8) {
        unsigned long long word = 0;
        std::memcpy(&word, bytes + i, std::min<size_t>(8, size - i));
        hash = (hash ^ word) * 1099511628211ULL;
    }
    XDestroyImage(image);
    return hash;
}

long peakResidentKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

long windowPid(Display *display, Window window)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                           &type, &format, &count, &after, &data) == Success
        && data && count == 1)
        pid = long(*reinterpret_cast<unsigned long *>(data));
    if (data)
        XFree(data);
    return pid;
}

// The program's largest viewable window: its position on the screen and size.
bool largestWindow(Display *display, Window window, long pid, XRectangle &best)
{
    bool found = false;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable
        && windowPid(display, window) == pid && attributes.width * attributes.height > best.width * best.height) {
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
        best = {short(x), short(y), (unsigned short)attributes.width, (unsigned short)attributes.height};
        found = true;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i)
            found = largestWindow(display, children[i], pid, best) || found;
        if (children)
            XFree(children);
    }
    return found;
}

// Times of the receiver's key presses of characters (modifiers left out).
std::vector<double> characterPresses(const char *path)
{
    std::vector<double> times;
    std::ifstream keys(path);
    double time = 0;
    std::string name;
    while (keys >> time >> name) {
        if (name.rfind("Shift", 0) == 0 || name.rfind("Control", 0) == 0 || name.rfind("ISO_", 0) == 0
            || name.rfind("Alt", 0) == 0 || name.rfind("Caps", 0) == 0)
            continue;
        times.push_back(time);
    }
    return times;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fputs("usage: keyboard_bench <x fraction> <y fraction> <receiver's keys file> <program> [arguments...]\n",
                   stderr);
        return 2;
    }
    const double fx = std::atof(argv[1]), fy = std::atof(argv[2]);
    const char *keysFile = argv[3];
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("keyboard_bench: cannot open the display\n", stderr);
        return 1;
    }
    const unsigned long long before = screenHash(display);
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[4], argv + 4);
        std::perror("keyboard_bench: exec");
        _exit(127);
    }
    // The screen is read until it has stayed the same for two seconds after a change.
    unsigned long long last = before;
    double lastChangeMs = -1;
    while (Clock::now() - start < std::chrono::seconds(30)) {
        const double now = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const unsigned long long hash = screenHash(display);
        if (hash != last) {
            last = hash;
            lastChangeMs = now;
        } else if (lastChangeMs >= 0 && now - lastChangeMs > 2000) {
            break;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            std::fputs("keyboard_bench: the program ended\n", stderr);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    XRectangle window{0, 0, 0, 0};
    if (lastChangeMs < 0 || !largestWindow(display, DefaultRootWindow(display), long(pid), window)) {
        stop(pid);
        std::fputs("keyboard_bench: no window of the program on the screen\n", stderr);
        return 1;
    }
    const int x = window.x + int(fx * window.width), y = window.y + int(fy * window.height);
    std::vector<double> latencies, fromPress;
    for (int tap = 0; tap < 20; ++tap) {
        const size_t seen = characterPresses(keysFile).size();
        XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XSync(display, False);
        const double pressed = monotonicSeconds();
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XSync(display, False);
        const double released = monotonicSeconds();
        for (int wait = 0; wait < 2000; ++wait) {
            const std::vector<double> presses = characterPresses(keysFile);
            if (presses.size() > seen) {
                latencies.push_back((presses[seen] - released) * 1000);
                fromPress.push_back((presses[seen] - pressed) * 1000);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    const long peak = peakResidentKb(pid);
    stop(pid);
    XCloseDisplay(display);
    const auto median = [](std::vector<double> values) {
        if (values.empty())
            return -1.0;
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::printf("%.1f %ld %.2f %zu %.2f\n", lastChangeMs, peak, median(latencies), latencies.size(), median(fromPress));
    return 0;
}

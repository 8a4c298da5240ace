// The first complete frame on X11, watched from outside the program: starts a program on the
// X server of $DISPLAY (a 240 x 320 screen with a black root, such as `Xvfb -screen 0 240x320x24
// -br`), reads the screen until the whole picture is there, and reads the program's peak resident
// memory a while later. Prints "<milliseconds from exec to the complete frame> <peak kB>
// <processor milliseconds of the program until then>"; on a busy machine the processor time is
// the steadier measure of the program's own work.
// With X11_FIRST_FRAME_TAPS=n in the environment, the key "e" is tapped n times (by xdotool,
// evenly spread) while the program settles, so that the peak includes what taps bring in (a key
// sound's player and its sound server's stream).
// Usage: x11_first_frame floor|keys <settle ms> <program> [arguments...]
//   keys:  every key shows its face colour (the keyboard window and the view window);
//   floor: every push button is drawn (neither the screen's black nor the window's background).
// In both the text area shows its white base. The window is expected full screen at scale 1.
#include "KeyTable.h"

#include <X11/Xlib.h>
#include <algorithm>
#include <X11/Xutil.h>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using wendrel::Rgb;

struct Expected {
    int x, y;
    std::function<bool(Rgb)> holds;
};

bool near(Rgb a, Rgb b, int tolerance = 3)
{
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance
        && std::abs(a.blue - b.blue) <= tolerance;
}

std::vector<Expected> expectations(bool floor)
{
    std::vector<Expected> points;
    for (const wendrel::KeyDef &key : wendrel::keyTable()) {
        const int right = std::min(key.rect.x + key.rect.width, wendrel::layoutWidth);
        const int x = (key.rect.x + right) / 2;
        if (floor) {
            points.push_back({x, key.rect.y + 2, [](Rgb c) {
                                  return !near(c, Rgb{0, 0, 0}, 0) && !near(c, wendrel::backgroundColour);
                              }});
        } else {
            points.push_back({x, key.rect.y + 3, [face = key.face](Rgb c) { return near(c, face); }});
        }
    }
    const wendrel::KeyRect text = wendrel::textAreaRect;
    points.push_back({text.x + text.width / 3, text.y + text.height / 2, [](Rgb c) { return near(c, Rgb{255, 255, 255}); }});
    return points;
}

bool pictureComplete(Display *display, const std::vector<Expected> &points)
{
    XImage *image = XGetImage(display, DefaultRootWindow(display), 0, 0, wendrel::layoutWidth,
                              wendrel::layoutHeight, AllPlanes, ZPixmap);
    if (!image)
        return false;
    bool complete = true;
    for (const Expected &point : points) {
        const unsigned long pixel = XGetPixel(image, point.x, point.y);
        const Rgb colour{int((pixel >> 16) & 0xff), int((pixel >> 8) & 0xff), int(pixel & 0xff)};
        if (!point.holds(colour)) {
            complete = false;
            break;
        }
    }
    XDestroyImage(image);
    return complete;
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

// The processor time of all the program's threads so far (the scheduler's count, in ns).
double processorMs(pid_t pid)
{
    double ns = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR *folder = opendir(tasks.c_str())) {
        while (const dirent *entry = readdir(folder)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream schedstat(tasks + "/" + entry->d_name + "/schedstat");
            double onCpu = 0;
            if (schedstat >> onCpu)
                ns += onCpu;
        }
        closedir(folder);
    }
    return ns / 1e6;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 500; ++i) {
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
    if (argc < 4 || (std::strcmp(argv[1], "floor") != 0 && std::strcmp(argv[1], "keys") != 0)) {
        std::fputs("usage: x11_first_frame floor|keys <settle ms> <program> [arguments...]\n", stderr);
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("x11_first_frame: cannot open the display\n", stderr);
        return 1;
    }
    const std::vector<Expected> points = expectations(std::strcmp(argv[1], "floor") == 0);
    const int settleMs = std::atoi(argv[2]);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[3], argv + 3);
        std::perror("x11_first_frame: exec");
        _exit(127);
    }
    double ms = -1, cpuMs = -1;
    while (Clock::now() - start < std::chrono::seconds(30)) {
        if (pictureComplete(display, points)) {
            ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            cpuMs = processorMs(pid);
            break;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            std::fputs("x11_first_frame: the program ended before its picture was complete\n", stderr);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (ms < 0) {
        stop(pid);
        std::fputs("x11_first_frame: no complete picture within 30 s\n", stderr);
        return 1;
    }
    const int taps = std::getenv("X11_FIRST_FRAME_TAPS") ? std::atoi(std::getenv("X11_FIRST_FRAME_TAPS")) : 0;
    const auto keyE = std::find_if(wendrel::keyTable().begin(), wendrel::keyTable().end(),
                                   [](const wendrel::KeyDef &key) { return key.typed == u'e'; });
    const std::string tap = "xdotool mousemove " + std::to_string(keyE->rect.x + keyE->rect.width / 2) + " "
        + std::to_string(keyE->rect.y + keyE->rect.height / 2) + " click 1";
    for (int i = 0; i < taps; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs / (taps + 1)));
        if (std::system(tap.c_str()) != 0)
            std::fputs("x11_first_frame: xdotool could not tap\n", stderr);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs - taps * (settleMs / (taps + 1))));
    const long peak = peakResidentKb(pid);
    stop(pid);
    // The next run starts from a black screen again.
    const std::vector<Expected> black{{points.front().x, points.front().y, [](Rgb c) { return near(c, Rgb{0, 0, 0}, 0); }},
                                      {points.back().x, points.back().y, [](Rgb c) { return near(c, Rgb{0, 0, 0}, 0); }}};
    for (int i = 0; i < 200 && !pictureComplete(display, black); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    XCloseDisplay(display);
    std::printf("%.1f %ld %.1f\n", ms, peak, cpuMs);
    return 0;
}

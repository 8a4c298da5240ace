#include "EndSignals.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace wendrel {

namespace {

int socketPair[2] = {-1, -1}; // [0] written by the handler, [1] read by the event loop
volatile sig_atomic_t seen[65] = {};

extern "C" void onEndSignal(int number)
{
    const int savedErrno = errno;
    if (number > 0 && number < 65) {
        if (seen[number]) {
            // Still not ended after the first one: end now, the default way.
            std::signal(number, SIG_DFL);
            std::raise(number);
        }
        seen[number] = 1;
    }
    const char byte = char(number);
    [[maybe_unused]] const ssize_t ignored = ::write(socketPair[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

EndSignals::EndSignals(std::initializer_list<int> signalNumbers, QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, socketPair) != 0) {
        qWarning("wendrel: no socket pair for signals; they end the program the default way");
        return;
    }
    notifier = new QSocketNotifier(socketPair[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &EndSignals::readPending);
    for (int number : signalNumbers) {
        // A signal the program was started to ignore (nohup) stays ignored.
        struct sigaction earlier {};
        if (::sigaction(number, nullptr, &earlier) == 0 && earlier.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = onEndSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (::sigaction(number, &action, nullptr) == 0)
            handled.push_back(number);
    }
}

EndSignals::~EndSignals()
{
    for (int number : handled) {
        std::signal(number, SIG_DFL);
        if (number > 0 && number < 65)
            seen[number] = 0;
    }
    delete notifier;
    for (int &fd : socketPair) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void EndSignals::readPending()
{
    std::array<char, 16> bytes{};
    ssize_t count = 0;
    while ((count = ::read(socketPair[1], bytes.data(), bytes.size())) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            emit received(int(uchar(bytes[size_t(i)])));
    }
}

} // namespace wendrel

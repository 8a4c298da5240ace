#pragma once
// Turns the signals that ask a program to end (SIGTERM, SIGHUP, SIGINT) into a Qt signal
// delivered by the event loop. The handler only writes the signal's number to a socket pair;
// everything else runs on the event loop, where it is safe. A second signal of the same kind
// while the first is still being handled ends the program at once, as it would have without
// this class (so a stuck end can still be interrupted). Signals the program was started to
// ignore (nohup) stay ignored.
#include <QObject>
#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace wendrel {

class EndSignals : public QObject {
    Q_OBJECT
public:
    // One object at a time per process.
    explicit EndSignals(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~EndSignals() override; // the signals end the program the default way again

signals:
    void received(int signalNumber);

private:
    void readPending();

    std::vector<int> handled;
    QSocketNotifier *notifier = nullptr;
};

} // namespace wendrel

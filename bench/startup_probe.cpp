// Start-up probe: the time from the start of main to the end of the window's first paint (the
// first frame handed to the window system), and the peak resident memory then. "floor" opens the toolkit's floor: a plain Qt Widgets window with
// a text edit and 66 push buttons at the keys' rectangles; "view" opens the same text edit with
// the keys drawn by one KeyboardView; "wendrel" opens the keyboard window; "program" runs the
// whole program as main() does (the window with its draft and end signals).
// Prints "<milliseconds> <peak kB> <processor milliseconds> <file-backed resident kB>". A second argument waits that many milliseconds after the
// first paint before the memory is read, so that work done after the first paint counts too;
// "stay" keeps the window open after printing (for a probe that watches the screen from outside);
// "quit" leaves at once, without taking the window down, so that a profiler counts the start alone.
// "table" prints what such a probe looks for: the keys' rectangles and face colours as JSON.
#include "BenchWindows.h"
#include "CompletionEngine.h"
#include "KeyboardApp.h"
#include "KeyboardDialog.h"
#include "QtPlatform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace {

QElapsedTimer sinceStart;

long peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const auto match = QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+)")).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const auto match = QRegularExpression(QString::fromLatin1(field) + QStringLiteral(":\\s+(\\d+)"))
                           .match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

// With WENDREL_PROBE_MODEL=1 the language model of word completion is opened right after the
// first paint and asked for the candidates of every position of a sentence, as the window does
// once completion is on (its mapped pages are file-backed and shared: the fourth column).
std::unique_ptr<wendrel::CompletionEngine> completion;

void useTheModel()
{
    completion = wendrel::CompletionEngine::create();
    const QString text = QStringLiteral("It is a truth universally acknowledged, that a single man in possession of a "
                                        "good fortune, must be in want of a wife. I would like to see you tomorrow. ");
    for (qsizetype end = 0; end <= text.size(); ++end)
        completion->candidates(QStringView(text).first(end));
}

// The processor time of all the program's threads since it started: on a busy machine a
// steadier measure of the work than the time on the clock.
double processCpuMs()
{
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return double(cpu.tv_sec) * 1e3 + double(cpu.tv_nsec) / 1e6;
}

// Reports once the window's first paint is done and ends the program (unless it is to stay).
// A window whose children cover it gets no paint event of its own, so the first paint of any
// widget starts the frame; the event posted then runs after the whole frame is painted and flushed.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() && !reported) {
            reported = true;
            QMetaObject::invokeMethod(this, [this] { frameDone(); }, Qt::QueuedConnection);
        }
        return false;
    }
    void frameDone()
    {
        const double ms = double(sinceStart.nsecsElapsed()) / 1e6;
        const double cpuMs = processCpuMs();
        if (qEnvironmentVariableIntValue("WENDREL_PROBE_MODEL") == 1)
            QTimer::singleShot(0, useTheModel);
        if (quit) {
            std::printf("%.3f %ld %.3f %ld\n", ms, peakResidentKb(), cpuMs, statusKb("RssFile"));
            std::fflush(stdout);
            std::_Exit(0);
        }
        QTimer::singleShot(settleMs, [this, ms, cpuMs] {
            std::printf("%.3f %ld %.3f %ld\n", ms, peakResidentKb(), cpuMs, statusKb("RssFile"));
            std::fflush(stdout);
            if (!stay)
                QCoreApplication::exit(0);
        });
    }
    bool reported = false;
    bool stay = false;
    bool quit = false;
    int settleMs = 0;
};

int printKeyTable()
{
    QJsonArray keys;
    for (const wendrel::KeyDef &key : wendrel::keyTable()) {
        keys.append(QJsonObject{
            {QStringLiteral("id"), key.id},
            {QStringLiteral("rect"), QJsonArray{key.rect.x, key.rect.y, key.rect.width, key.rect.height}},
            {QStringLiteral("face"), QJsonArray{key.face.red, key.face.green, key.face.blue}},
        });
    }
    const wendrel::Rgb background = wendrel::backgroundColour;
    const QJsonObject table{{QStringLiteral("keys"), keys},
                            {QStringLiteral("background"), QJsonArray{background.red, background.green, background.blue}}};
    std::fputs(QJsonDocument(table).toJson(QJsonDocument::Compact).constData(), stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    sinceStart.start();
    const QByteArray kind = argc > 1 ? QByteArray(argv[1]) : QByteArray("wendrel");
    if (kind == "table")
        return printKeyTable();
    const QByteArray settle = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    wendrel::KeyboardApp app(argc, argv);
    FirstPaint probe;
    probe.stay = settle == "stay";
    probe.quit = settle == "quit";
    probe.settleMs = probe.stay ? 0 : settle.toInt();
    app.installEventFilter(&probe);
    if (kind == "floor") {
        wendrel::bench::FloorWindow window;
        wendrel::bench::showAsKeyboard(window);
        return app.exec();
    }
    if (kind == "view") {
        wendrel::bench::ViewWindow window;
        window.place(1);
        wendrel::bench::showAsKeyboard(window);
        return app.exec();
    }
    if (kind == "program")
        return app.InitInstance();
    wendrel::QtPlatform platform;
    wendrel::KeyboardDialog dialog(platform.services());
    dialog.OnInitDialog();
    return app.exec();
}

// Start-up probe: the time from the start of main to the first paint of the window, and the
// peak resident memory then. "wendrel" opens the keyboard window; "floor" opens a bare Qt
// Widgets window with a text edit and 66 push buttons, the toolkit's floor; "program" runs
// the whole program as main() does (the window with its draft and end signals).
// Prints "<milliseconds> <peak kB> <file-backed resident kB>". A second argument waits that many
// milliseconds after the first paint before the memory is read, so that work done after the
// first paint counts too. With WENDREL_PROBE_MODEL=1 the language model of word completion is
// opened right after the first paint and asked for the candidates of every position of a
// sentence, as the window does once completion is on (its mapped pages are file-backed and
// shared, so they count apart too).
#include "CompletionEngine.h"
#include "KeyboardApp.h"
#include "KeyboardDialog.h"
#include "QtPlatform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>

namespace {

QElapsedTimer sinceStart;

long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const auto match = QRegularExpression(QString::fromLatin1(field) + QStringLiteral(":\\s+(\\d+)"))
                           .match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

std::unique_ptr<wendrel::CompletionEngine> completion;

void useTheModel()
{
    completion = wendrel::CompletionEngine::create();
    const QString text = QStringLiteral("It is a truth universally acknowledged, that a single man in possession of a "
                                        "good fortune, must be in want of a wife. I would like to see you tomorrow. ");
    for (qsizetype end = 0; end <= text.size(); ++end)
        completion->candidates(QStringView(text).first(end));
}

// Reports at the window's first paint and ends the program.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->isWindow() && !reported) {
            reported = true;
            const double ms = double(sinceStart.nsecsElapsed()) / 1e6;
            if (qEnvironmentVariableIntValue("WENDREL_PROBE_MODEL") == 1)
                QTimer::singleShot(0, useTheModel);
            QTimer::singleShot(settleMs, [ms] {
                std::printf("%.3f %ld %ld\n", ms, statusKb("VmHWM"), statusKb("RssFile"));
                QCoreApplication::exit(0);
            });
        }
        return false;
    }
    bool reported = false;
    int settleMs = 0;
};

} // namespace

int main(int argc, char **argv)
{
    sinceStart.start();
    const bool floor = argc > 1 && QByteArray(argv[1]) == "floor";
    wendrel::KeyboardApp app(argc, argv);
    FirstPaint probe;
    probe.settleMs = argc > 2 ? QByteArray(argv[2]).toInt() : 0;
    app.installEventFilter(&probe);
    if (floor) {
        QWidget window;
        window.setFixedSize(240, 320);
        auto *edit = new QPlainTextEdit(&window);
        edit->setGeometry(5, 1, 230, 76);
        for (int i = 0; i < 66; ++i) {
            auto *button = new QPushButton(QString::number(i), &window);
            button->setGeometry((i % 10) * 24, 80 + (i / 10) * 30, 24, 27);
        }
        window.show();
        return app.exec();
    }
    if (QByteArray(argv[1]) == "program")
        return app.InitInstance();
    wendrel::QtPlatform platform;
    wendrel::KeyboardDialog dialog(platform.services());
    dialog.OnInitDialog();
    return app.exec();
}

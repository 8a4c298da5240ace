// Start-up probe: the time from the start of main to the first paint of the window, and the
// peak resident memory then. "wendrel" opens the keyboard window; "floor" opens a bare Qt
// Widgets window with a text edit and 66 push buttons, the toolkit's floor; "program" runs
// the whole program as main() does (the window with its draft and end signals).
// Prints "<milliseconds> <peak kB>". A second argument waits that many milliseconds after the
// first paint before the memory is read, so that work done after the first paint counts too.
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

long peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const auto match = QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+)")).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
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
            QTimer::singleShot(settleMs, [ms] {
                std::printf("%.3f %ld\n", ms, peakResidentKb());
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

// wendrel-snapshot: renders the keyboard window to a PNG without a display.
//   wendrel-snapshot out.png [key ID ...]
// The given keys are tapped in order (as clicks) before the picture is taken; an ID of 0
// waits 100 ms so that lit keys go dark.
#include "KeyboardView.h"
#include "KeyboardApp.h"
#include "KeyboardArguments.h"
#include "KeyboardDialog.h"
#include "QtPlatform.h"

#include <QTest>
#include <cstdio>

namespace {

const QString program = QStringLiteral("wendrel-snapshot");
const QString usage = QStringLiteral(
    "Usage: wendrel-snapshot OUT.png [KEY-ID]...\n"
    "Renders Wendrel's keyboard window to the PNG file OUT.png, without a display (on Qt's\n"
    "offscreen platform unless QT_QPA_PLATFORM names another). The keys with the IDs given\n"
    "(1000 a, 1001 b, ...) are tapped in order first; an ID of 0 waits 100 ms, so that lit\n"
    "keys go dark.\n"
    "  -h, --help     show this help and exit\n"
    "  -v, --version  show the version and exit\n");

} // namespace

int main(int argc, char **argv)
{
    namespace cli = wendrel::cli;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // --help and --version are answered before Qt looks for a display.
    cli::Verdict verdict = cli::checkBeforeToolkit(arguments);
    if (verdict.action == cli::Verdict::Action::Run && arguments.size() < 2)
        verdict = {cli::Verdict::Action::Refuse, QStringLiteral("no output file given")};
    if (verdict.action != cli::Verdict::Action::Run)
        return cli::actOn(program, verdict, usage);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    wendrel::KeyboardApp app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        return cli::actOn(program, {cli::Verdict::Action::Refuse, QStringLiteral("no output file given")}, usage);
    wendrel::QtPlatform platform;
    wendrel::KeyboardDialog dialog(platform.services());
    dialog.OnInitDialog();
    QTest::qWait(50);
    for (qsizetype i = 2; i < args.size(); ++i) {
        const int id = args[i].toInt();
        if (id == 0) {
            QTest::qWait(100);
            continue;
        }
        if (const int index = wendrel::keyIndexById(id); index >= 0) {
            wendrel::KeyboardView &keys = dialog.keyboardView();
            QTest::mouseClick(&keys, Qt::LeftButton, {}, keys.keyRect(index).center());
            QCoreApplication::processEvents();
        } else {
            std::fprintf(stderr, "no key %d\n", id);
            return 2;
        }
    }
    QCoreApplication::processEvents();
    return dialog.grab().save(args[1]) ? 0 : 1;
}

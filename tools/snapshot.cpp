// wendrel-snapshot: renders the keyboard window to a PNG without a display.
//   QT_QPA_PLATFORM=offscreen wendrel-snapshot out.png [key ID ...]
// The given keys are tapped in order (as clicks) before the picture is taken; an ID of 0
// waits 100 ms so that lit keys go dark.
#include "KeyboardView.h"
#include "KeyboardApp.h"
#include "KeyboardDialog.h"
#include "QtPlatform.h"

#include <QTest>
#include <cstdio>

int main(int argc, char **argv)
{
    wendrel::KeyboardApp app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: wendrel-snapshot OUT.png [key ID ...]\n");
        return 2;
    }
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

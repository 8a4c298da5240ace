// Types its arguments into the window that has the focus through keyboard mode's X11 sender,
// waits a moment for the receivers to read the keys, and gives the spare keycodes back.
// Arguments: text to type, or
// "key:NAME" (BackSpace, Return, Tab, Escape, Left, Right, Home, End, Delete; "key:ctrl+a"
// for a shortcut), or "keymap?" (prints how many spare keycodes hold a character).
#include "X11KeyOutput.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

using namespace wendrel;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    X11KeyOutput output;
    if (!output.isValid())
        return 1;
    const QHash<QString, SentKey> keys{{"BackSpace", SentKey::BackSpace}, {"Return", SentKey::Return},
                                       {"Tab", SentKey::Tab}, {"Escape", SentKey::Escape}, {"Left", SentKey::Left},
                                       {"Right", SentKey::Right}, {"Home", SentKey::Home}, {"End", SentKey::End},
                                       {"Delete", SentKey::Delete}};
    for (const QString &argument : app.arguments().mid(1)) {
        if (argument.startsWith(QLatin1String("key:ctrl+")) && argument.size() == 10) {
            output.sendShortcut(argument.back().unicode(), SentModifiers{true, false, false});
        } else if (argument.startsWith(QLatin1String("key:"))) {
            const QString name = argument.mid(4);
            if (!keys.contains(name)) {
                std::fprintf(stderr, "unknown key %s\n", qPrintable(name));
                return 2;
            }
            output.sendKey(keys[name]);
        } else {
            output.sendText(argument);
        }
    }
    // The spare keycodes are given back as the sender ends: the receivers read the keys first.
    QTimer::singleShot(1500, &app, [&] {
        std::printf("borrowed after: %d\n", output.borrowedKeycodes());
        app.quit();
    });
    return app.exec();
}

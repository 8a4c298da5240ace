// Opens the real keyboard window on the current display, puts a text in it, and ends the
// program through Exit or through a close request, as a user would. The message box is
// answered at once. Used by clipboard_after_exit.sh.
//   wendrel-clipboard-helper exit|close TEXT
#include "KeyboardApp.h"
#include "DocumentCommands.h"
#include "KeyboardDialog.h"
#include "QtPlatform.h"
#include "TextArea.h"

#include <QTimer>

namespace {
class AnsweredMessages final : public wendrel::MessageBoxes {
public:
    void show(QWidget *, const QString &, const QString &, wendrel::MessageType) override {}
};
} // namespace

int main(int argc, char **argv)
{
    wendrel::KeyboardApp app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    wendrel::QtPlatform real;
    const wendrel::Platform services = real.services();
    AnsweredMessages messages;
    wendrel::KeyboardDialog dialog(wendrel::Platform{services.executable, messages, services.sound,
                                                     services.programEnd, services.fileDialogs, services.shell,
                                                     services.startMenu});
    dialog.OnInitDialog();
    QString text = args[2];
    text.replace(QStringLiteral("\\n"), QStringLiteral("\r\n"));
    const bool viaExit = args[1] == QLatin1String("exit");
    QTimer::singleShot(200, &dialog, [&] {
        dialog.textArea().pushText(text);
        if (viaExit)
            dialog.document().onExitButton();
        else
            dialog.close();
    });
    return app.exec();
}

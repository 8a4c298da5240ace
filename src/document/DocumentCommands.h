#pragma once
// The Load, Save and Exit keys: text files through the file dialogs, and the program's end
// with the text left on the clipboard. (Copy and Paste, the same keys in Fn mode, are the
// typing session's own.)
#include "Platform.h"

#include <QObject>

namespace wendrel {

class KeyboardFrame;
class TypingSession;
struct SessionCommand;

class DocumentCommands : public QObject {
    Q_OBJECT
public:
    DocumentCommands(KeyboardFrame &frame, TypingSession &session, Platform platform);

    void onLoadButton();
    void onSaveButton();
    void onExitButton();
    // The window is asked to close (the close box, the window manager, the session's end):
    // the text goes to the clipboard and the program ends, as with Exit but without a message.
    void onCloseRequest();

private:
    void onCommand(const SessionCommand &command);
    void afterCancelledFileDialog(int keyIndex);
    void keepTextAndEnd(bool tellUser);

    KeyboardFrame &frame;
    TypingSession &session;
    Platform platform;
    bool ending = false;
};

} // namespace wendrel

#pragma once
// Test doubles of the platform services: they record what the program asked for and answer
// as the test says.
#include "Platform.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>

namespace wendrel::test {

struct ShownMessage {
    QString text;
    QString caption;
    MessageType type;
};

struct ShellRequest {
    QString verb, file, workingFolder;
};

class FakePlatform : public ExecutablePath, public MessageBoxes, public SoundPlayer, public ProgramEnd,
                     public FileDialogs, public Shell, public StartMenu {
public:
    FakePlatform()
    {
        executablePath = home.path() + QStringLiteral("/wendrel");
        startMenuFolder = home.path() + QStringLiteral("/Start Menu");
    }

    Platform services() { return Platform{*this, *this, *this, *this, *this, *this, *this}; }

    QString path() const override { return executablePath; }
    void show(QWidget *, const QString &text, const QString &caption, MessageType type) override
    {
        messages.append({text, caption, type});
    }
    void play(const QString &soundPath) override { sounds.append(soundPath); }
    void keepOnClipboard(const QString &text) override { keptTexts.append(text); }
    void preload(const QStringList &paths) override { preloaded += paths; }
    void exit(int status) override
    {
        if (onExit)
            onExit(status); // what a test checks at the moment the end begins
        exitStatuses.append(status);
    }
    std::optional<QString> openFile(QWidget *, const QString &filter) override { return answer(filter); }
    std::optional<QString> saveFile(QWidget *, const QString &filter) override { return answer(filter); }
    bool execute(const QString &verb, const QString &file, const QString &workingFolder) override
    {
        shellRequests.append({verb, file, workingFolder});
        return shellSucceeds;
    }
    QString folder() override { return startMenuFolder; }

    QTemporaryDir home;
    QString executablePath;
    QString startMenuFolder;
    QList<ShownMessage> messages;
    QStringList sounds;
    QStringList keptTexts;
    QStringList preloaded;
    QList<int> exitStatuses;
    std::function<void(int)> onExit;
    std::deque<std::optional<QString>> fileAnswers; // nothing = the user cancels
    QStringList fileFilters;
    QList<ShellRequest> shellRequests;
    bool shellSucceeds = true;

private:
    std::optional<QString> answer(const QString &filter)
    {
        fileFilters.append(filter);
        if (fileAnswers.empty())
            return std::nullopt;
        auto next = fileAnswers.front();
        fileAnswers.pop_front();
        return next;
    }
};

} // namespace wendrel::test

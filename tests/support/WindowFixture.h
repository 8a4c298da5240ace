#pragma once
// A keyboard window opened on the offscreen platform with fake platform services, in a
// temporary folder that stands for the executable's folder.
#include "FakePlatform.h"
#include "KeyboardView.h"
#include "DocumentCommands.h"
#include "KeyboardDialog.h"
#include "SettingsCommands.h"
#include "ShortcutCommands.h"
#include "TextArea.h"
#include "TypingSession.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace wendrel::test {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(fake.startMenuFolder);
        prepare();
        window = std::make_unique<KeyboardDialog>(fake.services());
        window->OnInitDialog();
        settle();
    }
    void TearDown() override { window.reset(); }

    // Runs before the window opens: write files the start-up should find.
    virtual void prepare() {}

    QString appFolder() const { return fake.home.path(); }
    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(appFolder() + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // Handles posted characters and repaints.
    static void settle() { QCoreApplication::processEvents(); QCoreApplication::processEvents(); }

    void tap(int id)
    {
        ASSERT_GE(keyIndexById(id), 0) << id;
        QTest::mouseClick(&window->keyboardView(), Qt::LeftButton, {}, keyCentre(id));
        settle();
    }
    // The centre of a key in the keyboard view's coordinates.
    QPoint keyCentre(int id) const { return window->keyboardView().keyRect(keyIndexById(id)).center(); }
    QString caption(int id) const { return window->session().caption(keyIndexById(id)); }
    // What a screen reader reads as the key's name.
    QString spokenName(int id) const
    {
        QAccessibleInterface *keys = QAccessible::queryAccessibleInterface(&window->keyboardView());
        QAccessibleInterface *key = keys ? keys->child(keyIndexById(id)) : nullptr;
        return key ? key->text(QAccessible::Name) : QString();
    }
    // Taps the letter and symbol keys that type the given text (small letters, ".", " ").
    void type(const QString &keysText)
    {
        for (QChar ch : keysText)
            tap(idForChar(ch));
    }
    static int idForChar(QChar ch);

    QString text() const { return window->textArea().pullText(); }
    void setText(const QString &value, qsizetype caret)
    {
        window->textArea().pushText(value);
        window->textArea().setSelection(caret, caret);
    }

    FakePlatform fake;
    std::unique_ptr<KeyboardDialog> window;
};

inline int WindowTest::idForChar(QChar ch)
{
    for (const KeyDef &key : keyTable()) {
        if ((key.role == KeyRole::Letter || key.role == KeyRole::Character || key.role == KeyRole::ShiftKey
             || key.role == KeyRole::Equals)
            && key.typed == ch.unicode())
            return key.id;
    }
    ADD_FAILURE() << "no key types " << QString(ch).toStdString();
    return 0;
}

} // namespace wendrel::test

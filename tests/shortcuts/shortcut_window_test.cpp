// The Shortcut dialog and the launch by Fn key in the real window.
#include "ShortcutDialog.h"
#include "ShortcutTable.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QTimer>
#include <QTreeWidget>

using namespace wendrel;
using namespace wendrel::test;

namespace {
void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
}
QStringList rows(QTreeWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out.append(list->topLevelItem(i)->text(0) + QStringLiteral(" | ") + list->topLevelItem(i)->text(1));
    return out;
}
} // namespace

class Shortcuts : public WindowTest {
protected:
    void prepare() override
    {
        touch(fake.startMenuFolder + QStringLiteral("/Notes.lnk"));
        touch(fake.startMenuFolder + QStringLiteral("/Programs/Games/Chess.lnk"));
    }
    QList<Binding> savedBindings() const { return readShortcutFile(appFolder() + QStringLiteral("/shortcut.dat")); }

    // Runs the dialog: act on it once it is open, then close it.
    void withDialog(std::function<void(ShortcutDialog *)> act)
    {
        QTimer::singleShot(0, [act] {
            auto *dialog = qobject_cast<ShortcutDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            act(dialog);
            dialog->close();
        });
        tap(1051);
    }
    static void add(ShortcutDialog *dialog, int fn, char16_t letter, const QString &program)
    {
        dialog->fnCombo()->setCurrentIndex(fn);
        dialog->letterCombo()->setCurrentIndex(letter - u'A');
        dialog->programCombo()->setCurrentIndex(dialog->programCombo()->findText(program));
        dialog->onAdd();
    }
};

TEST_F(Shortcuts, DialogListsAddsAndRefusesADuplicateKey)
{
    withDialog([this](ShortcutDialog *dialog) {
        EXPECT_EQ(dialog->fnCombo()->currentText(), QStringLiteral(" Fn"));
        EXPECT_EQ(dialog->fnCombo()->itemText(1), QStringLiteral(" Fn+Shift"));
        EXPECT_EQ(dialog->letterCombo()->count(), 26);
        EXPECT_EQ(dialog->letterCombo()->currentText(), QStringLiteral(" A"));
        EXPECT_EQ(dialog->programCombo()->count(), 2);
        EXPECT_TRUE(rows(dialog->keyList()).isEmpty());
        EXPECT_LE(dialog->minimumSizeHint().width(), 240);
        EXPECT_LE(dialog->minimumSizeHint().height(), 320);
        EXPECT_LE(dialog->width(), 240);
        add(dialog, 1, u'Q', QStringLiteral("Notes"));
        EXPECT_EQ(rows(dialog->keyList()), QStringList{QStringLiteral("Fn + Shift + Q | Notes")});
        EXPECT_EQ(savedBindings(), (QList<Binding>{{"1Q", "Notes"}}));
        add(dialog, 1, u'Q', QStringLiteral("Chess"));
    });
    ASSERT_EQ(fake.messages.size(), 1);
    EXPECT_EQ(fake.messages[0].text, QStringLiteral("The shortcut key already exists."));
    EXPECT_TRUE(fake.messages[0].caption.isEmpty());
    EXPECT_EQ(savedBindings(), (QList<Binding>{{"1Q", "Notes"}}));
    EXPECT_TRUE(window->controlsShown());
}

// What a keyboard or screen-reader user meets: named controls in the dialog's order, and the
// first of them focused each time the dialog opens (not the one used last).
TEST_F(Shortcuts, KeyboardOrderNamesAndFocusAtEveryOpening)
{
    const auto tabOrder = [](QWidget *first) {
        QStringList names;
        QWidget *widget = first;
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisible()) {
                const auto *button = qobject_cast<QAbstractButton *>(widget);
                names.append(!widget->accessibleName().isEmpty() ? widget->accessibleName()
                                                                 : (button ? button->text() : QString()));
            }
            widget = widget->nextInFocusChain();
        } while (widget != first);
        return names;
    };
    withDialog([&](ShortcutDialog *dialog) {
        EXPECT_EQ(dialog->focusWidget(), dialog->fnCombo());
        EXPECT_EQ(tabOrder(dialog->fnCombo()),
                  (QStringList{"Key", "Shortcuts", "Letter", "Add", "Delete", "Program", "Close"}));
        dialog->findChild<QAbstractButton *>(QStringLiteral("deleteButton"))->setFocus();
    });
    withDialog([](ShortcutDialog *dialog) { EXPECT_EQ(dialog->focusWidget(), dialog->fnCombo()); });
}

TEST_F(Shortcuts, DeleteOfTheMiddleRowKeepsTheOthersInOrder)
{
    withDialog([this](ShortcutDialog *dialog) {
        add(dialog, 0, u'A', QStringLiteral("Notes"));
        add(dialog, 0, u'B', QStringLiteral("Chess"));
        add(dialog, 1, u'C', QStringLiteral("Notes"));
        dialog->onDelete(); // nothing marked: nothing happens
        EXPECT_EQ(savedBindings().size(), 3);
        dialog->keyList()->setCurrentItem(dialog->keyList()->topLevelItem(1));
        dialog->onDelete();
        EXPECT_EQ(rows(dialog->keyList()),
                  (QStringList{QStringLiteral("Fn + A | Notes"), QStringLiteral("Fn + Shift + C | Notes")}));
    });
    EXPECT_EQ(savedBindings(), (QList<Binding>{{"0A", "Notes"}, {"1C", "Notes"}}));
}

TEST_F(Shortcuts, FnLetterLaunchesTheBoundProgram)
{
    withDialog([](ShortcutDialog *dialog) {
        add(dialog, 0, u'N', QStringLiteral("Notes"));
        add(dialog, 1, u'N', QStringLiteral("Chess"));
    });
    fake.sounds.clear();
    tap(1062);
    tap(1014); // Fn + N
    ASSERT_EQ(fake.shellRequests.size(), 1);
    EXPECT_EQ(fake.shellRequests[0].file, fake.startMenuFolder + QStringLiteral("/Notes.lnk"));
    EXPECT_EQ(fake.shellRequests[0].workingFolder, fake.startMenuFolder);
    EXPECT_EQ(fake.sounds.size(), 1);
    EXPECT_FALSE(window->controlsShown()); // the started program has the screen
    EXPECT_EQ(window->session().fnOn(), false);

    tap(1062);
    tap(2003);
    tap(1014); // Fn + Shift + N
    ASSERT_EQ(fake.shellRequests.size(), 2);
    EXPECT_EQ(fake.shellRequests[1].file, fake.startMenuFolder + QStringLiteral("/Programs/Games/Chess.lnk"));
    EXPECT_EQ(fake.shellRequests[1].workingFolder, fake.startMenuFolder + QStringLiteral("/Programs/Games"));
    EXPECT_EQ(window->session().shiftOn(), false);
    EXPECT_TRUE(text().isEmpty());
}

TEST_F(Shortcuts, UnboundKeyAndFailedLaunch)
{
    tap(1062);
    tap(1017); // Fn + Q, unbound: nothing at all
    EXPECT_TRUE(fake.shellRequests.isEmpty());
    EXPECT_TRUE(fake.sounds.isEmpty());
    EXPECT_EQ(window->session().fnOn(), false);

    withDialog([](ShortcutDialog *dialog) { add(dialog, 0, u'N', QStringLiteral("Notes")); });
    fake.shellSucceeds = false;
    tap(1062);
    tap(1014);
    ASSERT_EQ(fake.messages.size(), 1);
    EXPECT_EQ(fake.messages[0].text, QStringLiteral("Execute Failed!"));
    EXPECT_EQ(fake.messages[0].caption, QStringLiteral("Wendrel"));
}

TEST_F(Shortcuts, BindingsSurviveARestartAndAMissingProgramIsSilent)
{
    withDialog([](ShortcutDialog *dialog) { add(dialog, 0, u'N', QStringLiteral("Notes")); });
    QFile::remove(fake.startMenuFolder + QStringLiteral("/Notes.lnk"));
    window.reset();
    window = std::make_unique<KeyboardDialog>(fake.services());
    window->OnInitDialog();
    EXPECT_EQ(window->shortcuts().table().bindings, (QList<Binding>{{"0N", "Notes"}}));
    tap(1062);
    tap(1014);
    EXPECT_TRUE(fake.shellRequests.isEmpty()); // Notes is no longer discovered
    withDialog([](ShortcutDialog *dialog) {
        EXPECT_EQ(rows(dialog->keyList()), QStringList{QStringLiteral("Fn + N | Notes")});
    });
}

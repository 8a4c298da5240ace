#pragma once
// Lists the Fn-key bindings, binds a Fn or Fn+Shift letter to a discovered program, and
// deletes bindings. Every change rewrites the bindings file at once.
#include "ShortcutTable.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QPushButton;
class QTreeWidget;

namespace wendrel {

class MessageBoxes;

class ShortcutDialog : public QDialog {
    Q_OBJECT
public:
    explicit ShortcutDialog(ShortcutTable &table, QWidget *parent = nullptr);

    // Set by the keyboard window before the dialog is shown.
    MessageBoxes *messages = nullptr;
    std::function<bool(QWidget *messageParent)> saveShortcuts;

    // Fills the controls from the table; called each time the dialog opens.
    void prepare();
    void fillShortcutList();
    void onAdd();
    void onDelete();

    QComboBox *fnCombo() const { return fn; }
    QComboBox *letterCombo() const { return letter; }
    QComboBox *programCombo() const { return program; }
    QTreeWidget *keyList() const { return list; }

private:
    void appendRow(const Binding &binding);

    ShortcutTable &table;
    QComboBox *fn;
    QComboBox *letter;
    QComboBox *program;
    QTreeWidget *list;
    QPushButton *addButton;
    QPushButton *deleteButton;
};

} // namespace wendrel

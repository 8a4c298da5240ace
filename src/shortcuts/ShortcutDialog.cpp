#include "ShortcutDialog.h"

#include "Platform.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace wendrel {

ShortcutDialog::ShortcutDialog(ShortcutTable &table, QWidget *parent) : QDialog(parent), table(table)
{
    setWindowTitle(QStringLiteral("Wendrel"));
    fn = new QComboBox(this);
    fn->setObjectName(QStringLiteral("fnCombo"));
    letter = new QComboBox(this);
    letter->setObjectName(QStringLiteral("letterCombo"));
    program = new QComboBox(this);
    program->setObjectName(QStringLiteral("programCombo"));
    program->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    program->setMinimumContentsLength(8);
    list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("keyList"));
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setHeaderLabels({QStringLiteral("Key"), QStringLiteral("Program")});
    list->header()->resizeSection(0, 82);
    addButton = new QPushButton(QStringLiteral("Add"), this);
    addButton->setObjectName(QStringLiteral("addButton"));
    deleteButton = new QPushButton(QStringLiteral("Delete"), this);
    deleteButton->setObjectName(QStringLiteral("deleteButton"));
    addButton->setAutoDefault(false);
    deleteButton->setAutoDefault(false);

    auto *keyLabel = new QLabel(QStringLiteral("Key:"), this);
    keyLabel->setBuddy(fn);
    auto *programLabel = new QLabel(QStringLiteral("Program:"), this);
    programLabel->setBuddy(program);
    auto *keyRow = new QHBoxLayout;
    keyRow->addWidget(fn);
    // The "+" labels the letter box; a screen reader says what it stands for.
    auto *plusLabel = new QLabel(QStringLiteral("+"), this);
    plusLabel->setBuddy(letter);
    plusLabel->setAccessibleName(QStringLiteral("Letter"));
    keyRow->addWidget(plusLabel);
    keyRow->addWidget(letter);
    auto *grid = new QGridLayout;
    grid->addWidget(keyLabel, 0, 0);
    grid->addLayout(keyRow, 0, 1);
    grid->addWidget(programLabel, 1, 0);
    grid->addWidget(program, 1, 1);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(addButton);
    buttonRow->addWidget(deleteButton);
    // The dialog ends through its close box or this button; every change is already saved.
    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(grid);
    layout->addWidget(list, 1);
    layout->addLayout(buttonRow);
    layout->addWidget(close);
    list->setMinimumWidth(0);
    list->header()->setStretchLastSection(true);
    setMaximumSize(240, 320);

    // What a screen reader says for each control. (On Linux a combo box is read by its label,
    // the buddies above, and its current item; the names serve the other platforms.)
    fn->setAccessibleName(QStringLiteral("Key"));
    letter->setAccessibleName(QStringLiteral("Letter"));
    program->setAccessibleName(QStringLiteral("Program"));
    list->setAccessibleName(QStringLiteral("Shortcuts"));
    // The keyboard order of the dialog: the Fn box, the key list, the letter box, Add, Delete,
    // the program box, then the close button.
    const QList<QWidget *> keyboardOrder{fn, list, letter, addButton, deleteButton, program,
                                         close->button(QDialogButtonBox::Close)};
    for (qsizetype i = 1; i < keyboardOrder.size(); ++i)
        QWidget::setTabOrder(keyboardOrder[i - 1], keyboardOrder[i]);

    connect(addButton, &QPushButton::clicked, this, &ShortcutDialog::onAdd);
    connect(deleteButton, &QPushButton::clicked, this, &ShortcutDialog::onDelete);
}

void ShortcutDialog::prepare()
{
    fn->clear();
    fn->addItems({QStringLiteral(" Fn"), QStringLiteral(" Fn+Shift")});
    fn->setCurrentIndex(0);
    letter->clear();
    for (char16_t ch = u'A'; ch <= u'Z'; ++ch)
        letter->addItem(QStringLiteral(" ") + QChar(ch));
    letter->setCurrentIndex(0);
    program->clear();
    for (const Program &entry : std::as_const(table.programs))
        program->addItem(entry.name);
    program->setCurrentIndex(table.programs.isEmpty() ? -1 : 0);
    addButton->setEnabled(!table.programs.isEmpty()); // nothing to bind without a program
    list->clear();
    fillShortcutList();
    fn->setFocus(Qt::OtherFocusReason); // each opening starts at the first control, not the last one used
}

void ShortcutDialog::appendRow(const Binding &binding)
{
    auto *row = new QTreeWidgetItem(list, {keyDisplayName(binding.key), binding.program});
    row->setSelected(false);
}

void ShortcutDialog::fillShortcutList()
{
    for (const Binding &binding : std::as_const(table.bindings))
        appendRow(binding);
}

void ShortcutDialog::onAdd()
{
    const int programIndex = program->currentIndex();
    if (programIndex < 0 || programIndex >= table.programs.size())
        return;
    const QString key = QString(QChar(u'0' + fn->currentIndex())) + QChar(u'A' + letter->currentIndex());
    if (table.findBinding(key) >= 0) {
        if (messages)
            messages->show(this, QStringLiteral("The shortcut key already exists."), QString(), MessageType::Plain);
        return;
    }
    const Binding binding{key, table.programs[programIndex].name};
    table.bindings.append(binding);
    appendRow(binding);
    if (saveShortcuts)
        saveShortcuts(this);
}

void ShortcutDialog::onDelete()
{
    // The selection mark: the row most recently selected.
    QTreeWidgetItem *current = list->currentItem();
    const int row = current && current->isSelected() ? list->indexOfTopLevelItem(current) : -1;
    if (row < 0 || row >= table.bindings.size())
        return;
    table.bindings.removeAt(row);
    delete list->takeTopLevelItem(row);
    if (saveShortcuts)
        saveShortcuts(this);
}

} // namespace wendrel

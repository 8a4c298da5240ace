#include "OptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace wendrel {

OptionsDialog::OptionsDialog(int soundIndex, int lightFlag, QWidget *parent, int completionFlag, int correctionFlag,
                             int swipeFlag)
    : QDialog(parent), soundChoice(soundIndex), lightChoice(lightFlag == 1 ? 1 : 0),
      completionChoice(completionFlag == 1 ? 1 : 0), correctionChoice(correctionFlag == 1 ? 1 : 0),
      swipeChoice(swipeFlag == 1 ? 1 : 0)
{
    setWindowTitle(QStringLiteral("Wendrel"));
    auto *group = new QGroupBox(QStringLiteral("Options"), this);
    sounds = new QComboBox(group);
    sounds->setObjectName(QStringLiteral("soundList"));
    sounds->addItems({QStringLiteral("No Sound"), QStringLiteral("Sound 1"), QStringLiteral("Sound 2"),
                      QStringLiteral("Sound 3"), QStringLiteral("Sound 4"), QStringLiteral("Sound 5")});
    // A damaged stored index outside 0 to 5 selects nothing.
    sounds->setCurrentIndex(soundIndex >= 0 && soundIndex <= 5 ? soundIndex : -1);
    light = new QCheckBox(QStringLiteral("Visual response for keypress"), group);
    light->setObjectName(QStringLiteral("lightCheck"));
    light->setChecked(lightChoice == 1);
    completion = new QCheckBox(QStringLiteral("Word completion"), group);
    completion->setObjectName(QStringLiteral("completionCheck"));
    completion->setChecked(completionChoice == 1);
    // Swipe typing belongs to word completion: set apart under it, and only while it is on.
    swipe = new QCheckBox(QStringLiteral("Swipe typing"), group);
    swipe->setObjectName(QStringLiteral("swipeCheck"));
    swipe->setChecked(swipeChoice == 1);
    swipe->setEnabled(completionChoice == 1);
    correction = new QCheckBox(QStringLiteral("Correct typing errors"), group);
    correction->setObjectName(QStringLiteral("correctionCheck"));
    correction->setChecked(correctionChoice == 1);

    // One control a row, so that the dialog fits the 240-pixel-wide screen.
    rows = new QVBoxLayout(group);
    auto *soundLabel = new QLabel(QStringLiteral("Keypress Sound:"), group);
    soundLabel->setBuddy(sounds);
    sounds->setAccessibleName(QStringLiteral("Keypress Sound"));
    rows->addWidget(soundLabel);
    rows->addWidget(sounds);
    rows->addWidget(light);
    rows->addWidget(completion);
    auto *swipeRow = new QHBoxLayout;
    swipeRow->addSpacing(16);
    swipeRow->addWidget(swipe);
    rows->addLayout(swipeRow);
    rows->addWidget(correction);
    rows->setContentsMargins(6, 6, 6, 6);

    // The dialog ends through its close box or this button; both keep the choices.
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(group);
    layout->addStretch();
    layout->addWidget(buttons);
    setMaximumSize(240, 320);

    connect(sounds, &QComboBox::currentIndexChanged, this, &OptionsDialog::onSoundChoice);
    connect(light, &QCheckBox::toggled, this, &OptionsDialog::onLightCheck);
    connect(completion, &QCheckBox::toggled, this, [this](bool checked) {
        completionChoice = checked ? 1 : 0;
        swipe->setEnabled(checked);
    });
    connect(swipe, &QCheckBox::toggled, this, [this](bool checked) { swipeChoice = checked ? 1 : 0; });
    connect(correction, &QCheckBox::toggled, this, [this](bool checked) { correctionChoice = checked ? 1 : 0; });
}

QCheckBox *OptionsDialog::addKeepShownBox(bool checked)
{
    if (!keepShown) {
        keepShown = new QCheckBox(QStringLiteral("Keep the keyboard shown"), rows->parentWidget());
        keepShown->setObjectName(QStringLiteral("keepShownCheck"));
        rows->addWidget(keepShown);
    }
    keepShown->setChecked(checked);
    return keepShown;
}

void OptionsDialog::onSoundChoice(int index)
{
    soundChoice = index;
}

void OptionsDialog::onLightCheck(bool checked)
{
    lightChoice = checked ? 1 : 0;
}

} // namespace wendrel

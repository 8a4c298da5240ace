#pragma once
// Chooses the key sound, visual response, word completion and the correction of typing errors. Every change takes effect in the copies at
// once; the dialog has no cancel, and whoever runs it takes the copies over however it ends.
#include <QDialog>

class QComboBox;
class QCheckBox;
class QVBoxLayout;

namespace wendrel {

class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    OptionsDialog(int soundIndex, int lightFlag, QWidget *parent = nullptr, int completionFlag = 0,
                  int correctionFlag = 0, int swipeFlag = 0);

    int soundChoice;
    quint8 lightChoice;
    quint8 completionChoice;
    quint8 correctionChoice;
    quint8 swipeChoice;

    QComboBox *soundList() const { return sounds; }
    QCheckBox *lightCheck() const { return light; }
    QCheckBox *completionCheck() const { return completion; }
    QCheckBox *correctionCheck() const { return correction; }
    QCheckBox *swipeCheck() const { return swipe; }
    // A box of keyboard mode's own (keep the panel shown, on Wayland), below the others; nullptr
    // when not asked for. Its setting is kept apart from config.dat by whoever asks for it.
    QCheckBox *addKeepShownBox(bool checked);
    QCheckBox *keepShownCheck() const { return keepShown; }

private:
    void onSoundChoice(int index);
    void onLightCheck(bool checked);

    QComboBox *sounds;
    QCheckBox *light;
    QCheckBox *completion;
    QCheckBox *correction;
    QCheckBox *swipe;
    QCheckBox *keepShown = nullptr;
    QVBoxLayout *rows = nullptr;
};

} // namespace wendrel

#pragma once
// Chooses the key sound, visual response, word completion and the correction of typing errors. Every change takes effect in the copies at
// once; the dialog has no cancel, and whoever runs it takes the copies over however it ends.
#include <QDialog>

class QComboBox;
class QCheckBox;

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

private:
    void onSoundChoice(int index);
    void onLightCheck(bool checked);

    QComboBox *sounds;
    QCheckBox *light;
    QCheckBox *completion;
    QCheckBox *correction;
    QCheckBox *swipe;
};

} // namespace wendrel

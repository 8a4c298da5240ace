#pragma once
// Chooses the key sound and visual response. Every change takes effect in the copies at
// once; the dialog has no cancel, and whoever runs it takes the copies over however it ends.
#include <QDialog>

class QComboBox;
class QCheckBox;

namespace wendrel {

class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    OptionsDialog(int soundIndex, int lightFlag, QWidget *parent = nullptr);

    int soundChoice;
    quint8 lightChoice;

    QComboBox *soundList() const { return sounds; }
    QCheckBox *lightCheck() const { return light; }

private:
    void onSoundChoice(int index);
    void onLightCheck(bool checked);

    QComboBox *sounds;
    QCheckBox *light;
};

} // namespace wendrel

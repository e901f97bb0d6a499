#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QSlider;

// Form of the colour dialog: three 0..255 sliders with their letters, a swatch
// and the OK button; a fixed 210 x 110 window. Behaviour lives in ColorDialog.
class ColorDialogBase : public QDialog
{
    Q_OBJECT

public:
    explicit ColorDialogBase(QWidget *parent = nullptr, const char *name = nullptr,
                             bool modal = false, Qt::WindowFlags fl = {});
    ~ColorDialogBase() override;

    QSlider *greenSlider;
    QSlider *blueSlider;
    QSlider *redSlider;
    QLabel *TextLabel3;
    QLabel *TextLabel3_2;
    QLabel *TextLabel3_3;
    QFrame *colorFrame;
    // A desktop dialog has no decoration button that accepts it: this one does.
    // Escape and the window's close control reject it.
    QPushButton *okButton;
};

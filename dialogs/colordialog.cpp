#include "dialogs/colordialog.h"

#include <QFrame>
#include <QPalette>
#include <QPushButton>
#include <QSlider>

ColorDialog::ColorDialog(QWidget *parent, const char *name, bool modal)
    : ColorDialogBase(parent, name, modal)
{
    connect(redSlider, &QSlider::valueChanged, this, &ColorDialog::change_red);
    connect(greenSlider, &QSlider::valueChanged, this, &ColorDialog::change_green);
    connect(blueSlider, &QSlider::valueChanged, this, &ColorDialog::change_blue);
    connect(this, &ColorDialog::color_changed, this, &ColorDialog::change_color);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}

// Sliders -> colour -> sliders is a closed loop that stops by itself: a slider
// set to the value it already has emits nothing.
void ColorDialog::change_red(int v)
{
    color = QColor(v, color.green(), color.blue());
    emit color_changed();
}

void ColorDialog::change_green(int v)
{
    color = QColor(color.red(), v, color.blue());
    emit color_changed();
}

void ColorDialog::change_blue(int v)
{
    color = QColor(color.red(), color.green(), v);
    emit color_changed();
}

void ColorDialog::change_color()
{
    // Copies first: each setValue() below may re-enter and rebuild `color`.
    const int r = color.red();
    const int g = color.green();
    const int b = color.blue();
    redSlider->setValue(r);
    greenSlider->setValue(g);
    blueSlider->setValue(b);
    QPalette pal = colorFrame->palette();
    pal.setColor(QPalette::Window, color);
    colorFrame->setPalette(pal);
}

void ColorDialog::start_color(QColor c)
{
    color = c;
    emit color_changed();
}

#include "dialogs/colordialogbase.h"

#include "dialogs/formhelpers.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace {

QSlider *makeComponentSlider(QWidget *parent, const char *name, int y)
{
    auto *slider = makeWidget<QSlider>(parent, name, 10, y, 84, 20);
    slider->setMaximum(255);
    slider->setOrientation(Qt::Horizontal);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(16);
    return slider;
}

QLabel *makeLetter(QWidget *parent, const char *name, int y, const QString &text)
{
    auto *label = makeWidget<QLabel>(parent, name, 100, y, 16, 20);
    label->setText(text);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

ColorDialogBase::ColorDialogBase(QWidget *parent, const char *name, bool modal, Qt::WindowFlags fl)
    : QDialog(parent, fl)
{
    setModal(modal);
    setObjectName(name ? QLatin1String(name) : QLatin1String("ColorDialogBase"));
    setFixedSize(210, 110);
    setWindowTitle(tr("Color"));

    greenSlider = makeComponentSlider(this, "greenSlider", 40);
    blueSlider = makeComponentSlider(this, "blueSlider", 70);
    redSlider = makeComponentSlider(this, "redSlider", 10);

    TextLabel3 = makeLetter(this, "TextLabel3", 10, tr("R"));
    TextLabel3_2 = makeLetter(this, "TextLabel3_2", 40, tr("G"));
    TextLabel3_3 = makeLetter(this, "TextLabel3_3", 70, tr("B"));

    colorFrame = makeWidget<QFrame>(this, "colorFrame", 140, 20, 50, 50);
    colorFrame->setFrameShape(QFrame::StyledPanel);
    colorFrame->setFrameShadow(QFrame::Raised);
    // The swatch shows the colour as its filled background.
    colorFrame->setAutoFillBackground(true);

    // Under the swatch, clear of the sliders and letters.
    okButton = makeWidget<QPushButton>(this, "okButton", 140, 80, 50, 20);
    okButton->setText(tr("OK"));
    okButton->setDefault(true);

    // The letters beside the sliders, spelt out for screen readers.
    redSlider->setAccessibleName(tr("Red"));
    greenSlider->setAccessibleName(tr("Green"));
    blueSlider->setAccessibleName(tr("Blue"));
    colorFrame->setAccessibleName(tr("Color"));

    setReadingOrder({redSlider, greenSlider, blueSlider, okButton});
}

ColorDialogBase::~ColorDialogBase() = default;

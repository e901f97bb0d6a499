#include "app/tavlobase.h"

#include "dialogs/formhelpers.h"

#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace {

// The bound fields' font size; a long number shows in a smaller one.
constexpr int kBoundFieldSize = 10;

} // namespace

TavloBase::TavloBase(QWidget *parent, const char *name, Qt::WindowFlags fl)
    : QWidget(parent, fl)
{
    setObjectName(name ? QLatin1String(name) : QLatin1String("TavloBase"));
    setFixedSize(240, 300);
    setWindowTitle(tr("Tavlo! Mossa 1.1.0"));

    // Labels are in "adobe-times", the two small buttons in "helvetica", the
    // other texts in "adobe-helvetica"; all at 10 points.
    yMinText = makeWidget<QLineEdit>(this, "yMinText", 124, 250, 48, 14);
    fonts.add(yMinText, "adobe-helvetica", kBoundFieldSize);

    yMaxText = makeWidget<QLineEdit>(this, "yMaxText", 176, 250, 48, 14);
    fonts.add(yMaxText, "adobe-helvetica", kBoundFieldSize);

    TextLabel1_2_3 = makeWidget<QLabel>(this, "TextLabel1_2_3", 186, 240, 26, 10);
    fonts.add(TextLabel1_2_3, "adobe-times", 10);
    TextLabel1_2_3->setText(tr("y-max"));

    TextLabel1_2_2 = makeWidget<QLabel>(this, "TextLabel1_2_2", 135, 240, 26, 10);
    fonts.add(TextLabel1_2_2, "adobe-times", 10);
    TextLabel1_2_2->setText(tr("y-min"));

    TextLabel1_2 = makeWidget<QLabel>(this, "TextLabel1_2", 75, 240, 26, 10);
    fonts.add(TextLabel1_2, "adobe-times", 10);
    TextLabel1_2->setText(tr("x-max"));

    TextLabel1 = makeWidget<QLabel>(this, "TextLabel1", 24, 240, 26, 10);
    fonts.add(TextLabel1, "adobe-times", 10);
    TextLabel1->setText(tr("x-min"));

    xMinText = makeWidget<QLineEdit>(this, "xMinText", 12, 250, 48, 14);
    fonts.add(xMinText, "adobe-helvetica", kBoundFieldSize);

    optionsButton = makeWidget<QPushButton>(this, "optionsButton", 160, 267, 60, 18);
    fonts.add(optionsButton, "adobe-helvetica", 10);
    optionsButton->setText(tr("Options"));

    TextLabel2 = makeWidget<QLabel>(this, "TextLabel2", 108, 265, 24, 8);
    fonts.add(TextLabel2, "adobe-times", 10);
    TextLabel2->setText(tr("Zoom"));

    xMaxText = makeWidget<QLineEdit>(this, "xMaxText", 64, 250, 48, 14);
    fonts.add(xMaxText, "adobe-helvetica", kBoundFieldSize);

    fCheckBox = makeWidget<QCheckBox>(this, "fCheckBox", 39, 224, 16, 16);
    fCheckBox->setChecked(true);

    addButton = makeWidget<QPushButton>(this, "addButton", 20, 267, 60, 18);
    fonts.add(addButton, "adobe-helvetica", 10);
    addButton->setText(tr("New Func."));

    deleteButton = makeWidget<QPushButton>(this, "deleteButton", 203, 222, 30, 18);
    fonts.add(deleteButton, "helvetica", 10);
    deleteButton->setText(tr("Del."));

    editButton = makeWidget<QPushButton>(this, "editButton", 6, 222, 30, 18);
    fonts.add(editButton, "helvetica", 10);
    editButton->setText(tr("Edit"));

    fColorButton = makeWidget<QPushButton>(this, "fColorButton", 188, 226, 12, 12);

    functionBox = makeWidget<QComboBox>(this, "functionBox", 55, 222, 130, 20);
    functionBox->setEditable(false);
    fonts.add(functionBox, "adobe-helvetica", 10);
    functionBox->setMaxCount(100);

    zoomSlider = makeWidget<QSlider>(this, "zoomSlider", 85, 275, 70, 12);
    zoomSlider->setMinimum(0);
    zoomSlider->setMaximum(99);
    zoomSlider->setSingleStep(0);
    zoomSlider->setPageStep(0);
    zoomSlider->setValue(50);
    zoomSlider->setTracking(true);
    zoomSlider->setOrientation(Qt::Horizontal);
    zoomSlider->setTickPosition(QSlider::TicksBelow);
    zoomSlider->setTickInterval(10);

    graphframe = makeWidget<QFrame>(this, "graphframe", 2, 2, 234, 218);
    graphframe->setFrameShape(QFrame::StyledPanel);
    graphframe->setFrameShadow(QFrame::Sunken);

    // Names for screen readers: a field's label, or what an unlabelled control is for.
    xMinText->setAccessibleName(tr("x-min"));
    xMaxText->setAccessibleName(tr("x-max"));
    yMinText->setAccessibleName(tr("y-min"));
    yMaxText->setAccessibleName(tr("y-max"));
    fCheckBox->setAccessibleName(tr("Enabled"));
    fColorButton->setAccessibleName(tr("Color"));
    functionBox->setAccessibleName(tr("Function"));
    functionBox->view()->setAccessibleName(tr("Functions"));
    zoomSlider->setAccessibleName(tr("Zoom"));

    // A bound that cannot be read is 0; the field says why.
    for (QLineEdit *field : boundFields())
        watchValueField(field, kBoundFieldSize);
}

QList<QLineEdit *> TavloBase::boundFields() const
{
    return {xMinText, xMaxText, yMinText, yMaxText};
}

TavloBase::~TavloBase() = default;

bool TavloBase::event(QEvent *e)
{
    const bool result = QWidget::event(e);
    if (e->type() == QEvent::ApplicationFontChange) {
        fonts.apply();
        for (QLineEdit *field : boundFields())
            fitTextFont(field, kBoundFieldSize);
    }
    return result;
}

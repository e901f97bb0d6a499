#include "app/tavlobase.h"

#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace {

void setFamily(QWidget *w, const QString &family)
{
    QFont f(w->font());
    f.setFamily(family);
    f.setPointSize(10);
    w->setFont(f);
}

// Every text of the form uses one of three families, all at 10 points.
void helvetica(QWidget *w)
{
    setFamily(w, QStringLiteral("adobe-helvetica"));
}

void times(QWidget *w)
{
    setFamily(w, QStringLiteral("adobe-times"));
}

void plainHelvetica(QWidget *w)
{
    setFamily(w, QStringLiteral("helvetica"));
}

template<class W>
W *make(QWidget *parent, const char *name, int x, int y, int w, int h)
{
    auto *widget = new W(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

} // namespace

TavloBase::TavloBase(QWidget *parent, const char *name, Qt::WindowFlags fl)
    : QWidget(parent, fl)
{
    setObjectName(name ? QLatin1String(name) : QLatin1String("TavloBase"));
    resize(240, 300);
    setMinimumSize(QSize(240, 300));
    setMaximumSize(QSize(240, 300));
    setWindowTitle(tr("Tavlo! Mossa 1.1.0"));

    yMinText = make<QLineEdit>(this, "yMinText", 124, 250, 48, 14);
    helvetica(yMinText);

    yMaxText = make<QLineEdit>(this, "yMaxText", 176, 250, 48, 14);
    helvetica(yMaxText);

    TextLabel1_2_3 = make<QLabel>(this, "TextLabel1_2_3", 186, 240, 26, 10);
    times(TextLabel1_2_3);
    TextLabel1_2_3->setText(tr("y-max"));

    TextLabel1_2_2 = make<QLabel>(this, "TextLabel1_2_2", 135, 240, 26, 10);
    times(TextLabel1_2_2);
    TextLabel1_2_2->setText(tr("y-min"));

    TextLabel1_2 = make<QLabel>(this, "TextLabel1_2", 75, 240, 26, 10);
    times(TextLabel1_2);
    TextLabel1_2->setText(tr("x-max"));

    TextLabel1 = make<QLabel>(this, "TextLabel1", 24, 240, 26, 10);
    times(TextLabel1);
    TextLabel1->setText(tr("x-min"));

    xMinText = make<QLineEdit>(this, "xMinText", 12, 250, 48, 14);
    helvetica(xMinText);

    optionsButton = make<QPushButton>(this, "optionsButton", 160, 267, 60, 18);
    helvetica(optionsButton);
    optionsButton->setText(tr("Options"));

    TextLabel2 = make<QLabel>(this, "TextLabel2", 108, 265, 24, 8);
    times(TextLabel2);
    TextLabel2->setText(tr("Zoom"));

    xMaxText = make<QLineEdit>(this, "xMaxText", 64, 250, 48, 14);
    helvetica(xMaxText);

    fCheckBox = make<QCheckBox>(this, "fCheckBox", 39, 224, 16, 16);
    fCheckBox->setText(QString());
    fCheckBox->setChecked(true);

    addButton = make<QPushButton>(this, "addButton", 20, 267, 60, 18);
    helvetica(addButton);
    addButton->setText(tr("New Func."));

    deleteButton = make<QPushButton>(this, "deleteButton", 203, 222, 30, 18);
    plainHelvetica(deleteButton);
    deleteButton->setText(tr("Del."));

    editButton = make<QPushButton>(this, "editButton", 6, 222, 30, 18);
    plainHelvetica(editButton);
    editButton->setText(tr("Edit"));

    fColorButton = make<QPushButton>(this, "fColorButton", 188, 226, 12, 12);
    fColorButton->setText(QString());

    functionBox = make<QComboBox>(this, "functionBox", 55, 222, 130, 20);
    functionBox->setEditable(false);
    helvetica(functionBox);
    functionBox->setMaxCount(100);

    zoomSlider = make<QSlider>(this, "zoomSlider", 85, 275, 70, 12);
    zoomSlider->setMinimum(0);
    zoomSlider->setMaximum(99);
    zoomSlider->setSingleStep(0);
    zoomSlider->setPageStep(0);
    zoomSlider->setValue(50);
    zoomSlider->setTracking(true);
    zoomSlider->setOrientation(Qt::Horizontal);
    zoomSlider->setTickPosition(QSlider::TicksBelow);
    zoomSlider->setTickInterval(10);

    graphframe = make<QFrame>(this, "graphframe", 2, 2, 234, 218);
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
}

TavloBase::~TavloBase() = default;

void TavloBase::applyFonts()
{
    helvetica(yMinText);
    helvetica(yMaxText);
    times(TextLabel1_2_3);
    times(TextLabel1_2_2);
    times(TextLabel1_2);
    times(TextLabel1);
    helvetica(xMinText);
    helvetica(optionsButton);
    times(TextLabel2);
    helvetica(xMaxText);
    helvetica(addButton);
    plainHelvetica(deleteButton);
    plainHelvetica(editButton);
    helvetica(functionBox);
}

bool TavloBase::event(QEvent *e)
{
    const bool result = QWidget::event(e);
    if (e->type() == QEvent::ApplicationFontChange)
        applyFonts();
    return result;
}

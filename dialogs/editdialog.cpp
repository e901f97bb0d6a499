#include "dialogs/editdialog.h"

#include "model/compilemessage.h"
#include "dialogs/formhelpers.h"
#include "model/function.h"
#include "plot/graphwidget.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>

EditDialog::EditDialog(QWidget *parent, const char *name, bool modal, int id, GraphWidget *graph)
    : EditDialogBase(parent, name, modal)
    , graph(graph)
{
    depVarBox->insertItem(0, tr("Y"));
    depVarBox->insertItem(1, tr("X"));
    equalBox->insertItem(0, tr("="));

    // The id box must be able to show every id it may be opened on or asked to
    // reach: the offered id of a new function grows past 99, and an id clamped
    // to 99 would edit whatever function has id 99. So the range covers the
    // offered id and every existing id.
    int highest = std::max(idBox->maximum(), id);
    for (Function *f = graph->getFunctions(); f; f = f->getNextFunction())
        highest = std::max(highest, f->getId());
    idBox->setMaximum(highest);
    idBox->setValue(id);

    // Load what the box shows (the same as `id` unless `id` was negative), so
    // the form and getId() always speak of the same function.
    const int shownId = idBox->value();
    fillData(shownId);

    connect(idBox, &QSpinBox::valueChanged, this, &EditDialog::fillData);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(colorButton, &QPushButton::clicked, this, &EditDialog::changeColor);
    connect(functionBox, &QLineEdit::textChanged, this, &EditDialog::showCompileState);
    connect(depVarBox, &QComboBox::currentIndexChanged, this, &EditDialog::showCompileState);
    showCompileState();

    color = graph->setActiveFunction(shownId) ? graph->getFunctionColor(shownId) : QColor(0, 0, 0);
}

int EditDialog::getId() const
{
    return idBox->value();
}

char EditDialog::getIndepVariable() const
{
    return depVarBox->currentIndex() == 0 ? 'x' : 'y';
}

QString EditDialog::getFunction() const
{
    return functionBox->text();
}

void EditDialog::fillData(int id)
{
    functionBox->setText(QString());
    depVarBox->setCurrentIndex(0);
    equalBox->setCurrentIndex(0);
    showSwatchColor(colorButton, QColor(0, 0, 0));
    color = QColor(0, 0, 0);

    if (!graph->getFunctions())
        return;
    if (!graph->setActiveFunction(id))
        return; // a free id: the blank form enters a new function

    functionBox->setText(graph->getFunctionString(id));
    depVarBox->setCurrentIndex(graph->getFunctionDepVariable(id) == 'Y' ? 0 : 1);
    equalBox->setCurrentIndex(0); // "=" is the only relation
    const QColor c = graph->getFunctionColor(id);
    showSwatchColor(colorButton, c);
    color = c;
}

void EditDialog::showCompileState()
{
    showTextProblem(functionBox, compileMessage(getFunction(), getIndepVariable(), getId(),
                                                graph->getFunctions()));
}

void EditDialog::changeColor()
{
    // Seeded from the stored function, not from an earlier pick in this dialog;
    // a cancelled choice keeps the colour chosen so far.
    const int id = getId();
    const QColor seed =
        graph->setActiveFunction(id) ? graph->getFunctionColor(id) : QColor(0, 0, 0);
    const QColor newColor = pickColor(this, seed).value_or(color);
    showSwatchColor(colorButton, newColor);
    graph->drawGraphSlot();
    color = newColor;
}

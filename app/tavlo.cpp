#include "app/tavlo.h"

#include "model/compilemessage.h"
#include "dialogs/editdialog.h"
#include "dialogs/formhelpers.h"
#include "dialogs/optionsdialog.h"
#include "model/function.h"
#include "model/functionset.h"
#include "plot/graphwidget.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

int Tavlo::trys = 0;

namespace {

// The closed selector shows its current row in the row's colour: red for a
// function whose text does not compile.
void showCurrentRowColour(QComboBox *box)
{
    QPalette colours;
    const QVariant colour = box->currentData(Qt::ForegroundRole);
    if (colour.isValid())
        colours.setColor(QPalette::ButtonText, colour.value<QColor>());
    box->setPalette(colours);
}

} // namespace

Tavlo::Tavlo(QWidget *parent, const char *name, Qt::WindowFlags flags)
    : TavloBase(parent, name, flags)
{
    graph = new GraphWidget(graphframe, "graph1");
    graph->setGeometry(QRect(QPoint(1, 1), QPoint(232, 216)));
    graph->setAccessibleName(tr("Plot"));
    // Tab or a click gives the plot the keyboard: arrows pan, + and - zoom.
    graph->setFocusPolicy(Qt::StrongFocus);
    graph->installEventFilter(this);

    // Connection order matters: a bound field's text reaches the plot widget
    // before tryDrawGraph() decides whether to redraw, and on slider release the
    // bounds are published before the slider springs back.
    connect(addButton, &QPushButton::clicked, this, &Tavlo::addFunction);
    connect(editButton, &QPushButton::clicked, this, qOverload<>(&Tavlo::editFunction));
    connect(deleteButton, &QPushButton::clicked, this, &Tavlo::deleteShownFunction);
    connect(functionBox, &QComboBox::activated, this, &Tavlo::functionChange);
    connect(optionsButton, &QPushButton::clicked, this, &Tavlo::showOptions);
    connect(xMinText, &QLineEdit::textChanged, graph, &GraphWidget::change_x_min);
    connect(xMaxText, &QLineEdit::textChanged, graph, &GraphWidget::change_x_max);
    connect(yMinText, &QLineEdit::textChanged, graph, &GraphWidget::change_y_min);
    connect(yMaxText, &QLineEdit::textChanged, graph, &GraphWidget::change_y_max);
    connect(graph, &GraphWidget::panning, this, &Tavlo::setPanning);
    connect(xMinText, &QLineEdit::textChanged, this, &Tavlo::tryDrawGraph);
    connect(xMaxText, &QLineEdit::textChanged, this, &Tavlo::tryDrawGraph);
    connect(yMinText, &QLineEdit::textChanged, this, &Tavlo::tryDrawGraph);
    connect(yMaxText, &QLineEdit::textChanged, this, &Tavlo::tryDrawGraph);
    // A bound written back shows its beginning, minus sign included, should it
    // not fit ("-0.00399999" would otherwise show as "00399999"); a field being
    // typed in keeps the cursor at the end.
    const auto showBound = [](QLineEdit *field) {
        return [field](const QString &text) {
            field->setText(text);
            if (!field->hasFocus())
                field->setCursorPosition(0);
        };
    };
    connect(graph, &GraphWidget::x_min_changed, xMinText, showBound(xMinText));
    connect(graph, &GraphWidget::x_max_changed, xMaxText, showBound(xMaxText));
    connect(graph, &GraphWidget::y_min_changed, yMinText, showBound(yMinText));
    connect(graph, &GraphWidget::y_max_changed, yMaxText, showBound(yMaxText));
    connect(zoomSlider, &QSlider::valueChanged, graph, &GraphWidget::change_zoom);
    connect(zoomSlider, &QSlider::sliderReleased, graph, &GraphWidget::showZoomedBounds);
    connect(zoomSlider, &QSlider::sliderReleased, this, &Tavlo::resetZoomSlider);
    connect(fCheckBox, &QCheckBox::clicked, this, &Tavlo::toggle_func);
    connect(fColorButton, &QPushButton::clicked, this, &Tavlo::change_color_active);

    shownFunction = -1;
    panning = false;

    // Tab reads the window from the plot down, left to right and top to bottom.
    setReadingOrder({graph, editButton, fCheckBox, functionBox, fColorButton, deleteButton,
                     xMinText, xMaxText, yMinText, yMaxText, addButton, zoomSlider, optionsButton});
    markSaved();
}

void Tavlo::fBoxMake()
{
    for (int row = functionBox->count() - 1; row >= 0; --row)
        functionBox->removeItem(row);
    // The selector holds 100 rows. Functions beyond them still get the index of
    // the row they would have, so every selector index names one function and
    // the options dialog can delete any of them by index.
    int index = 0;
    for (Function *f = graph->getFunctions(); f; f = f->getNextFunction(), ++index) {
        if (index < functionBox->maxCount()) {
            functionBox->addItem(f->getString());
            // A text that does not compile is drawn as y = 0; the row says why, also
            // to screen readers.
            const QString problem = compileProblem(*f);
            functionBox->setItemData(index, problem, Qt::ToolTipRole);
            functionBox->setItemData(index, problem, Qt::AccessibleDescriptionRole);
            if (!problem.isEmpty())
                functionBox->setItemData(index, QColor(Qt::red), Qt::ForegroundRole);
        }
        f->setFBoxIndex(index);
    }
    showCurrentRowColour(functionBox);
}

void Tavlo::setPanning(bool on)
{
    panning = on;
}

void Tavlo::setShownFunction(int id)
{
    shownFunction = id;
}

void Tavlo::closeApp()
{
    close();
}

void Tavlo::showOptions()
{
    auto *options = new OptionsDialog(this, "options", true, graph);
    // The tools act on the plot directly; the three plot actions also close the dialog,
    // after the plot has armed or applied them.
    connect(options->gridXText, &QLineEdit::textChanged, graph, &GraphWidget::change_grid_x);
    connect(options->gridYText, &QLineEdit::textChanged, graph, &GraphWidget::change_grid_y);
    connect(options->gridCheckBox, &QCheckBox::clicked, graph, &GraphWidget::toggle_grid);
    connect(options->zoomBoxButton, &QPushButton::clicked, graph, &GraphWidget::zoom_box_slot);
    connect(options->zoomBoxButton, &QPushButton::clicked, options, &QDialog::accept);
    connect(options->zoomStdButton, &QPushButton::clicked, graph, &GraphWidget::zoom_std_slot);
    connect(options->zoomStdButton, &QPushButton::clicked, options, &QDialog::accept);
    connect(options->saveButton, &QPushButton::clicked, options, &OptionsDialog::saveFunctions);
    connect(options->loadButton, &QPushButton::clicked, options, &OptionsDialog::loadFunctions);
    connect(options->xStepSpinBox, &QSpinBox::valueChanged, graph, &GraphWidget::setXStep);
    connect(options->yStepSpinBox, &QSpinBox::valueChanged, graph, &GraphWidget::setYStep);
    connect(options->findIntButton, &QPushButton::clicked, graph,
            &GraphWidget::activateFindingIntersection);
    connect(options->findIntButton, &QPushButton::clicked, options, &QDialog::accept);
    connect(options, &OptionsDialog::functionDeleted, this, &Tavlo::fBoxMake);
    connect(this, &Tavlo::functionEdited, options, &OptionsDialog::buildList);
    // A load into a set that was saved leaves nothing unsaved; a load into a
    // changed set leaves it changed.
    connect(options, &OptionsDialog::functionsSaved, this, &Tavlo::markSaved);
    connect(options, &OptionsDialog::functionsLoaded, this, [this](const QByteArray &before) {
        if (before == savedSet)
            markSaved();
    });

    options->exec();
    delete options;

    showFirstFunction();
}

void Tavlo::showFirstFunction()
{
    fBoxMake();
    if (Function *first = graph->getFunctions())
        functionChange(first->getFBoxIndex());
    else
        graph->drawGraphSlot();
}

void Tavlo::functionChange(int index)
{
    // Only a row of the selector can be shown.
    const int id =
        index >= 0 && index < functionBox->count() ? graph->findFunctionFBoxIndex(index) : -1;
    if (id != -1) {
        functionBox->setCurrentIndex(index);
        showCurrentRowColour(functionBox);
        showSwatchColor(fColorButton, graph->getFunctionColor(id));
        fCheckBox->setChecked(graph->getFunctionEnabled(id));
        shownFunction = id;
    }
    graph->drawGraphSlot();
}

void Tavlo::resetZoomSlider()
{
    zoomSlider->setValue(50);
    graph->zoomOffset = 0;
}

void Tavlo::toggle_func()
{
    if (!graph->getFunctions())
        return;
    graph->setFunctionEnabled(shownFunction, fCheckBox->isChecked());
    graph->drawGraphSlot();
}

void Tavlo::change_color_active()
{
    if (!graph->getFunctions())
        return;
    const QColor oldColor = graph->getFunctionColor(shownFunction);
    // A cancelled choice keeps the function's colour.
    const QColor newColor = pickColor(this, oldColor).value_or(oldColor);
    showSwatchColor(fColorButton, newColor);
    graph->setFunctionColor(shownFunction, newColor);
    graph->drawGraphSlot();
}

void Tavlo::addFunction()
{
    editFunction(graph->getNumberOfFunctions());
}

void Tavlo::deleteShownFunction()
{
    if (!graph->getFunctions())
        return;
    graph->deleteFunctionFBoxIndex(graph->getFunctionFBoxIndex(shownFunction));
    showFirstFunction();
}

void Tavlo::tryDrawGraph()
{
    if (panning) {
        if (++trys == 4) {
            graph->drawGraphSlot();
            trys = 0;
        }
    } else {
        graph->drawGraphSlot();
    }
}

void Tavlo::editFunction()
{
    editFunction(-1);
}

void Tavlo::editFunction(int id)
{
    int dialogId = id;
    if (id == -1)
        dialogId = graph->getFunctions() ? shownFunction : graph->getNumberOfFunctions();

    {
        EditDialog dialog(this, "editdialog", true, dialogId, graph);
        if (dialog.exec() == QDialog::Accepted) {
            const int n = dialog.getId();
            if (!graph->setActiveFunction(n)) {
                graph->addFunction(n, dialog.getFunction(), dialog.getIndepVariable(),
                                   dialog.getColor());
            } else {
                graph->setFunctionIndepVariable(n, dialog.getIndepVariable());
                graph->setFunctionString(n, dialog.getFunction());
                graph->setFunctionColor(n, dialog.getColor());
                graph->setFunctionEquality(n, dialog.getEquality());
            }
            fBoxMake();
            functionChange(graph->getFunctionFBoxIndex(n));
        }
    }
    emit functionEdited();
    graph->drawGraphSlot();
}

void Tavlo::loadFunctionFiles(const QStringList &paths)
{
    const bool saved = !functionsChanged();
    for (const QString &path : paths)
        loadFunctionFile(this, graph, path, true);
    showFirstFunction();
    if (saved)
        markSaved();
}

bool Tavlo::functionsChanged() const
{
    return functionSetBytes(graph->getFunctions()) != savedSet;
}

void Tavlo::markSaved()
{
    savedSet = functionSetBytes(graph->getFunctions());
}

void Tavlo::closeEvent(QCloseEvent *e)
{
    if (!functionsChanged())
        return e->accept();
    QMessageBox box(QMessageBox::Question, tr("Tavlo"), tr("Save the functions before closing?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    if (answer == QMessageBox::Discard ||
        (answer == QMessageBox::Save && askAndSaveFunctions(this, graph->getFunctions()))) {
        markSaved();
        return e->accept();
    }
    e->ignore();
}

bool Tavlo::eventFilter(QObject *watched, QEvent *e)
{
    // The frame's border lies around the plot (at 1, 1 inside it), so the
    // focus covers none of the plot's pixels.
    if (watched == graph && (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut)) {
        const bool focus = e->type() == QEvent::FocusIn;
        graphframe->setFrameStyle(focus ? QFrame::Box | QFrame::Plain
                                        : QFrame::StyledPanel | QFrame::Sunken);
        graphframe->setForegroundRole(focus ? QPalette::Highlight : QPalette::WindowText);
    }
    return TavloBase::eventFilter(watched, e);
}

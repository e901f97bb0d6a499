#include "dialogs/optionsdialog.h"

#include "model/compilemessage.h"
#include "dialogs/filedialog.h"
#include "dialogs/formhelpers.h"
#include "model/functionset.h"
#include "dialogs/hands.h"
#include "model/function.h"
#include "model/numbertext.h"
#include "plot/graphwidget.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

namespace {

bool hasSlot(const QObject *object, const char *signature)
{
    return object && object->metaObject()->indexOfSlot(signature) != -1;
}

// The path the file dialog gives, or nothing when it was cancelled.
std::optional<QString> askPath(QWidget *parent, const QString &caption)
{
    FileDialog fd(parent, "FileDialog", true, {}, QStringLiteral("*"));
    fd.setWindowTitle(caption);
    fd.show();
    if (fd.exec() != QDialog::Accepted)
        return std::nullopt;
    return fd.getFileName();
}

} // namespace

OptionsDialog::OptionsDialog(QWidget *parent, const char *name, bool modal, GraphWidget *graph)
    : OptionsDialogBase(parent, name, modal, {})
    , graph(graph)
{
    xStepSpinBox->setValue(graph->getXStep());
    yStepSpinBox->setValue(graph->getYStep());
    gridCheckBox->setChecked(graph->getGridEnabled());
    // Six significant digits, shortest form: 1 -> "1", 0.25 -> "0.25".
    gridXText->setText(formatNumber(graph->getGridX()));
    gridYText->setText(formatNumber(graph->getGridY()));
    // A spacing that cannot be read is 0, and the field says why; a long
    // number shows whole in a smaller font.
    for (QLineEdit *field : {gridXText, gridYText})
        watchValueField(field, field->font().pointSizeF());
    buildList();

    connect(functionList, &QTreeWidget::currentItemChanged, this,
            &OptionsDialog::setCurrentListItem);
    connect(colorButton, &QPushButton::clicked, this, &OptionsDialog::changeColorCurrentId);
    connect(enabledBox, &QCheckBox::clicked, this, &OptionsDialog::toggleEnabledCurrentId);
    // The dialogs library does not know the main window's class: its slots
    // are reached by name.
    if (hasSlot(parent, "addFunction()"))
        connect(addButton, SIGNAL(clicked()), parent, SLOT(addFunction()));
    connect(editButton, &QPushButton::clicked, this, &OptionsDialog::emitCurrentId);
    if (hasSlot(parent, "editFunction(int)"))
        connect(this, SIGNAL(editSignalId(int)), parent, SLOT(editFunction(int)));
    connect(deleteButton, &QPushButton::clicked, this, &OptionsDialog::deleteCurrentId);
    connect(handsButton, &QPushButton::clicked, this, &OptionsDialog::showHands);

    currentListItem = nullptr;
    currentId = -1;
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::addFunction(Function *f)
{
    const QStringList texts{
        QString::number(f->getId()),
        f->getIndepVariable() == 'x' ? QStringLiteral("Y") : QStringLiteral("X"),
        f->getEquality() == 1 ? QStringLiteral("=") : QString(),
        f->getString(),
        f->getEnabled() ? tr("Yes") : tr("No"),
    };
    auto *row = new QTreeWidgetItem(texts);
    const QString problem = compileProblem(*f);
    for (int column = 0; column < texts.size(); ++column) {
        row->setToolTip(column, problem);
        row->setData(column, Qt::AccessibleDescriptionRole, problem);
        if (!problem.isEmpty())
            row->setForeground(column, QColor(Qt::red));
    }
    functionList->addTopLevelItem(row);
}

void OptionsDialog::buildList()
{
    // The rows are about to go: forget the current one so that no action
    // reaches a deleted row or a function that is gone.
    currentListItem = nullptr;
    currentId = -1;
    functionList->clear();
    for (Function *f = graph->getFunctions(); f; f = f->getNextFunction())
        addFunction(f);
    showNoFunction();
    // Refilling a list whose header sizes its columns to their contents leaves
    // part of the viewport unpainted (Qt 6.4): rows below a deleted one kept
    // their old picture. Repaint the whole list.
    functionList->viewport()->update();
}

void OptionsDialog::showNoFunction()
{
    enabledBox->setChecked(false);
    colorButton->setPalette(QPalette());
}

void OptionsDialog::setCurrentListItem(QTreeWidgetItem *item)
{
    currentListItem = item;
    const int id = item ? item->text(0).toInt() : -1;
    if (!item || !graph->setActiveFunction(id)) {
        currentId = -1;
        showNoFunction();
        return;
    }
    enabledBox->setChecked(graph->getFunctionEnabled(id));
    showSwatchColor(colorButton, graph->getFunctionColor(id));
    currentId = id;
}

bool OptionsDialog::hasCurrentFunction()
{
    return currentListItem && currentId != -1 && graph->setActiveFunction(currentId);
}

void OptionsDialog::changeColorCurrentId()
{
    if (!hasCurrentFunction())
        return;
    const std::optional<QColor> color = pickColor(this, graph->getFunctionColor(currentId));
    if (!color)
        return; // cancelled: the function keeps its colour
    showSwatchColor(colorButton, *color);
    graph->setFunctionColor(currentId, *color);
    graph->drawGraphSlot();
}

void OptionsDialog::toggleEnabledCurrentId()
{
    if (!hasCurrentFunction()) {
        // Nothing to enable or disable: undo the tap on the box.
        enabledBox->setChecked(!enabledBox->isChecked());
        return;
    }
    const bool on = enabledBox->isChecked();
    graph->setFunctionEnabled(currentId, on);
    currentListItem->setText(4, on ? tr("Yes") : tr("No"));
}

void OptionsDialog::deleteCurrentId()
{
    if (!hasCurrentFunction())
        return;
    graph->deleteFunctionFBoxIndex(graph->getFunctionFBoxIndex(currentId));
    emit functionDeleted();
    buildList();
}

void OptionsDialog::emitCurrentId()
{
    if (!currentListItem)
        return;
    emit editSignalId(currentListItem->text(0).toInt());
}

void OptionsDialog::showHands()
{
    Hands hands(this, "hands", true, {});
    hands.show();
    hands.exec();
}

void OptionsDialog::saveFunctions()
{
    if (askAndSaveFunctions(this, graph->getFunctions()))
        emit functionsSaved();
}

void OptionsDialog::loadFunctions()
{
    const std::optional<QString> path = askPath(this, tr("Load"));
    if (!path)
        return;
    const QByteArray before = functionSetBytes(graph->getFunctions());
    if (!loadFunctionFile(this, graph, *path))
        return;
    emit functionsLoaded(before);
    accept();
}

bool askAndSaveFunctions(QWidget *parent, const Function *first)
{
    const std::optional<QString> path = askPath(parent, OptionsDialog::tr("Save"));
    if (!path)
        return false;
    const SaveResult result = saveFunctionSet(*path, first);
    if (result == SaveResult::Ok)
        return true;
    const QString text =
        result == SaveResult::OpenFailed
            ? OptionsDialog::tr("There was an error opening the\nfile for saving.  This is "
                                "probably\nbecause the path chosen does\nnot specify a single "
                                "file.")
            : OptionsDialog::tr("There was an error writing the\nfile.  Nothing was saved; "
                                "an\nearlier file of that name is\nleft as it was.");
    QMessageBox box(QMessageBox::Warning, OptionsDialog::tr("Save Error"), text, QMessageBox::Ok);
    // At (12, 100) of the main window: on the handheld that window filled the
    // screen, on a desktop the screen's corner can be far from the program.
    const QWidget *mainWindow = parent->parentWidget() ? parent->parentWidget()->window() : parent;
    box.setGeometry(QRect(mainWindow->mapToGlobal(QPoint(12, 100)), QSize(216, 120)));
    box.exec();
    return false;
}

bool loadFunctionFile(QWidget *parent, GraphWidget *graph, const QString &path, bool namePath)
{
    const auto refuse = [&](const QString &text) {
        QMessageBox box(QMessageBox::Warning, OptionsDialog::tr("Load Error"), text,
                        QMessageBox::Ok, parent);
        if (namePath)
            box.setInformativeText(QDir::toNativeSeparators(path));
        box.exec();
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(OptionsDialog::tr("There was an error loading the file.\nThis is probably "
                                        "because the file\nspecified does not exist."));
    const FunctionSetResult set = readFunctionSet(file);
    file.close();

    switch (set.status) {
    case FunctionSetResult::Ok:
        graph->addFunctionSet(set.records);
        return true;
    case FunctionSetResult::BadHeader:
        return refuse(OptionsDialog::tr("There was an error loading the file.\nIncorrect format "
                                        "or version."));
    case FunctionSetResult::Damaged:
        break;
    }
    return refuse(OptionsDialog::tr("There was an error loading the file.\nThe file is damaged or "
                                    "cut short.  No\nfunction was added."));
}

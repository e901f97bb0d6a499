#pragma once

#include "dialogs/optionsdialogbase.h"

class Function;
class GraphWidget;
class QTreeWidgetItem;

// The options dialog: plot tools, the sortable function list with its actions,
// saving and loading of function sets, help and about. It works on the plot
// widget's functions by id; the list's rows carry only texts.
class OptionsDialog final : public OptionsDialogBase
{
    Q_OBJECT

public:
    // The parent is normally the main window: when it has the slots
    // addFunction() and editFunction(int), "New" and "Edit" go there.
    OptionsDialog(QWidget *parent, const char *name, bool modal, GraphWidget *graph);
    ~OptionsDialog() override;

public slots:
    void addFunction(Function *f);
    void buildList();
    void showHands();
    void saveFunctions();
    void loadFunctions();

private slots:
    void setCurrentListItem(QTreeWidgetItem *item);
    void changeColorCurrentId();
    void toggleEnabledCurrentId();
    void deleteCurrentId();
    void emitCurrentId();

signals:
    void functionDeleted();
    void editSignalId(int id);

private:
    // True when a row is current and its function still exists.
    bool hasCurrentFunction();
    // With no current row: the Enabled box and the colour swatch show nothing.
    void showNoFunction();

    GraphWidget *graph;
    QTreeWidgetItem *currentListItem = nullptr;
    int currentId = -1;
};

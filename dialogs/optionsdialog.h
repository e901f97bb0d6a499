#pragma once

#include "dialogs/optionsdialogbase.h"

#include <QByteArray>

class Function;
class GraphWidget;
class QTreeWidgetItem;

// Saving and loading a set as the user meets them, shared by the options
// dialog and the main window.

// Asks for a path with the file dialog over `parent` and saves the set starting
// at `first` there; a path that cannot be written gets the "Save Error" box.
// True once the set is saved.
bool askAndSaveFunctions(QWidget *parent, const Function *first);
// Adds the functions of the set file at `path` to the plot, or shows the
// "Load Error" box that says why not over `parent`, with `path` below the
// message when `namePath` is set. True when the functions were added.
bool loadFunctionFile(QWidget *parent, GraphWidget *graph, const QString &path,
                      bool namePath = false);

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
    // Save wrote the whole set; Load added a file's functions to the set that
    // `before` holds (as functionSetBytes() gives it).
    void functionsSaved();
    void functionsLoaded(const QByteArray &before);

private:
    // True when a row is current and its function still exists.
    bool hasCurrentFunction();
    // With no current row: the Enabled box and the colour swatch show nothing.
    void showNoFunction();

    GraphWidget *graph;
    QTreeWidgetItem *currentListItem = nullptr;
    int currentId = -1;
};

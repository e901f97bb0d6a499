#pragma once

#include "app/tavlobase.h"

#include <QByteArray>

class GraphWidget;
class QCloseEvent;
class QEvent;

// The main window: hosts the plot widget inside the form's frame, wires the
// form to it, throttles redraws while the plot publishes its bounds, and acts
// on the user's functions through the selector and its buttons.
class Tavlo final : public TavloBase
{
    Q_OBJECT

public:
    explicit Tavlo(QWidget *parent = nullptr, const char *name = nullptr,
                   Qt::WindowFlags flags = {});

    GraphWidget *getGraph() const { return graph; }
    int getShownFunction() const { return shownFunction; }
    // Bound-field changes counted towards the next redraw while panning.
    static int getTrys() { return trys; }

    // Adds the functions of each set file in turn, as Options -> Load does, and
    // shows the first function.
    void loadFunctionFiles(const QStringList &paths);
    // Whether the set differs from the one at the start or as last saved or
    // loaded (an edit undone by hand is no change).
    bool functionsChanged() const;

public slots:
    void fBoxMake();
    void setPanning(bool on);
    void setShownFunction(int id);

private slots:
    void closeApp();
    void showOptions();
    void functionChange(int index);
    void resetZoomSlider();
    void toggle_func();
    void change_color_active();
    void addFunction();
    void deleteShownFunction();
    void tryDrawGraph();
    void editFunction();
    void editFunction(int id);

signals:
    void functionEdited();

protected:
    // Asks whether to save changed functions before the window goes.
    void closeEvent(QCloseEvent *e) override;
    // Shows the plot's keyboard focus on graphframe's own one-pixel border.
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void markSaved();
    void showFirstFunction();

    int shownFunction = -1;
    bool panning = false;
    GraphWidget *graph = nullptr;
    QByteArray savedSet; // the set as last saved or loaded, as a save writes it

    // Shared by every window and never reset when panning ends: a publication
    // that changes fewer than four fields carries its count into the next one.
    static int trys;
};

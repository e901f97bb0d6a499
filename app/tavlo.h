#pragma once

#include "app/tavlobase.h"

class GraphWidget;

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

private:
    int shownFunction = -1;
    bool panning = false;
    GraphWidget *graph = nullptr;

    // Shared by every window and never reset when panning ends: a publication
    // that changes fewer than four fields carries its count into the next one.
    static int trys;
};

#pragma once

#include "model/functionset.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>
#include <QWidget>

class Function;
class QKeyEvent;
class QPainter;
class QMouseEvent;
class QPaintEvent;
class QPointF;

// The plot area: bounds, scale, grid, sampling steps and zoom; the list of the
// user's functions; the redraw; panning, the zoom box and the intersection finder.
//
// A redraw (drawGraph) paints at once into a backing image, so its effects are
// visible to the caller immediately; paintEvent only shows that image.
class GraphWidget : public QWidget
{
    Q_OBJECT

public:
    explicit GraphWidget(QWidget *parent = nullptr, const char *name = nullptr);
    ~GraphWidget() override;

    void setGeometry(const QRect &r);
    using QWidget::setGeometry;
    void setLimits();

    // The redraw: background, grid, axes, then every enabled function's curve.
    void drawGraph();
    // Draws the same picture with any painter (on any paint device) of the
    // widget's size times `ratio` each way, in the device's own pixels: the
    // plot mapped onto that many pixels by the same rules, its lines one pixel
    // wide. drawGraph() uses it with the backing image at the screen's ratio.
    void paintGraph(QPainter &p, qreal ratio = 1);
    // The picture shown by the widget, including the intersection overlay, in
    // the pixels of the screen (the device-pixel ratio times the widget's each
    // way; a fraction of a pixel rounded up, so that it covers the widget).
    const QImage &picture() const { return image; }
    // How many times drawGraph() has run.
    int getRedrawCount() const { return redrawCount; }
    // Smooth lines in paintGraph(); the window keeps them off (tavlo-render's
    // --antialias turns them on).
    void setAntialiased(bool on) { antialiased = on; }
    // The grid lines the last redraw drew, in drawing order: the value of each
    // and its pixel column (vertical lines, values of x) or row (horizontal
    // lines, values of y). Empty with the grid off.
    struct GridLine
    {
        float value;
        int pixel;
    };
    QList<GridLine> gridLines(Qt::Orientation lines) const;

    // Registry (functions by id and by selector index).
    Function *addFunction(int id, QString text, char var, QColor color);
    // Appends the functions of a set file with fresh ids (the counter, past ids
    // in use), keeping each record's enabled flag and equality, and returns them.
    // Their references to each other follow them to the new ids.
    QList<Function *> addFunctionSet(const QList<FunctionRecord> &records);
    bool setActiveFunction(int id);
    Function *getActiveFunction() const { return activeFunction; }
    Function *getFunctions() const { return functions; }
    int findFunctionFBoxIndex(int index);
    void deleteFunctionFBoxIndex(int index);
    void removeFunction(Function *f);

    QString getFunctionString(int id);
    void setFunctionString(int id, QString text);
    QColor getFunctionColor(int id);
    void setFunctionColor(int id, QColor color);
    bool getFunctionEnabled(int id);
    void setFunctionEnabled(int id, bool enabled);
    void setFunctionIndepVariable(int id, char var);
    char getFunctionDepVariable(int id);
    void setFunctionEquality(int id, int kind);
    void setFunctionFBoxIndex(int id, int index);
    int getFunctionFBoxIndex(int id);

    int getNumberOfFunctions() const { return numberOfFunctions; }
    void setNumberOfFunctions(int n) { numberOfFunctions = n; }

    bool getGridEnabled() const { return gridEnabled; }
    float getGridX() const { return gridX; }
    float getGridY() const { return gridY; }
    int getXStep() const { return xStep; }
    int getYStep() const { return yStep; }

    float getXMin() const { return xMin; }
    float getXMax() const { return xMax; }
    float getYMin() const { return yMin; }
    float getYMax() const { return yMax; }
    float getXUnitsPerPixel() const { return xUnitsPerPixel; }
    float getYUnitsPerPixel() const { return yUnitsPerPixel; }
    int getPixXMax() const { return pixXMax; }
    int getPixYMax() const { return pixYMax; }
    bool getZoomBoxMode() const { return zoomBoxMode; }
    bool getFindingIntersection() const { return findingIntersection; }

    // Plot values and the pixels of a plot pixXMax x pixYMax pixels large, all
    // arithmetic in single precision. A value lands on the pixel its position
    // truncates to: column = trunc((x - xMin) / xUnitsPerPixel) and
    // row = trunc(pixYMax - (y - yMin) / yUnitsPerPixel); a pixel (whole, or a
    // float counter of them) stands for x = xMin + column * xUnitsPerPixel and
    // y = yMin + (pixYMax - row) * yUnitsPerPixel.
    struct Mapping
    {
        float xMin = 0;
        float yMin = 0;
        float xUnitsPerPixel = 0;
        float yUnitsPerPixel = 0;
        int pixXMax = 0;
        int pixYMax = 0;

        int columnOf(float x) const;
        int rowOf(float y) const;
        float xAt(float column) const;
        float yAt(float row) const;
    };
    // The widget's own pixels (the pointer's, the fields', the finder's) and
    // those of its picture, which has ratio times as many each way; both with
    // the scale factors of the last redraw. At ratio 1 they are the same.
    Mapping mapping() const;
    Mapping pictureMapping() const;
    int columnOf(float x) const { return mapping().columnOf(x); }
    int rowOf(float y) const { return mapping().rowOf(y); }
    float xAt(float column) const { return mapping().xAt(column); }
    float yAt(float row) const { return mapping().yAt(row); }

    // Intersection finder: the crossing of the two curves nearest (x, y), marked
    // on the picture and read out in the accessible description.
    void findIntersectionNear(float x, float y);
    // The first search: a bisection over 2 r pixels around (x, y), r / 2 pixels
    // accepted.
    bool calcIntersection(Function *f1, Function *f2, float x, float y, float r, int n, float &ix,
                          float &iy);

    // Written directly by the main window when the zoom slider springs back.
    float zoomOffset = 0;

public slots:
    void setXStep(int step) { xStep = step; }
    void setYStep(int step) { yStep = step; }
    void setActiveFunctionString(const QString &text);
    void change_x_min(const QString &text);
    void change_x_max(const QString &text);
    void change_y_min(const QString &text);
    void change_y_max(const QString &text);
    void change_grid_x(const QString &text);
    void change_grid_y(const QString &text);
    void toggle_grid();
    void change_zoom(int value);
    void zoom_box_slot();
    void zoom_std_slot();
    void drawGraphSlot();
    void showBounds();
    // showBounds() at the end of a zoom (the slider's release, a zoom key),
    // unless every step of it was refused: then nothing changed and nothing
    // is written.
    void showZoomedBounds();
    void activateFindingIntersection();

signals:
    void x_min_changed(const QString &text);
    void x_max_changed(const QString &text);
    void y_min_changed(const QString &text);
    void y_max_changed(const QString &text);
    void functionAdded(Function *f);
    void functionRemoved(Function *f);
    void functionRemoved(int id);
    void panning(bool on);

private:
    // Whenever a function's text or existence changes, every function whose text
    // refers to its id, directly or through others, is prepared again (in id
    // order), so that each curve is that of the texts shown.
    void prepareDependants(int id, const Function *changed);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    // Positions to whole pixels: a plot position truncated toward zero, a
    // pointer position rounded. Both hold positions far off the widget (infinite
    // ones, or huge ones from a zero scale factor) at a fixed distance outside;
    // NaN goes far up / left as a plot position and to 0 as a pointer position.
    static int toPixel(float position);
    // Whether a zoom may take a pair of bounds there: a zoom to equal bounds
    // (all of the plot one value) or to infinity could never be undone by
    // zooming, so such a step is refused and the bounds stay.
    static bool zoomable(float lo, float hi);
    static QPoint pointerPixel(const QPointF &position);

    // The second search: every crossing of f1 and f2 within r pixels of (x, y),
    // sampled a pixel apart and refined to floats; the one nearest (x, y), if it
    // lies within r / 2 pixels.
    bool scanIntersection(const Function *f1, const Function *f2, float x, float y, float r,
                          float &ix, float &iy) const;
    // Distance of (px, py) from (x, y) in pixels, by the last redraw's scale.
    float pixelsBetween(float px, float py, float x, float y) const;
    // The finder's texts: beside the crossing, or on the other side where they
    // would not fit; "Error." at the tap, inside the plot.
    void drawAnswer(bool found, const QStringList &texts, float x, float y);

    // The picture's size in pixels at a device-pixel ratio.
    QSize pictureSize(qreal ratio) const;
    void drawCurves(QPainter &p, const Mapping &m);
    // Tells screen readers what the last redraw shows: the bounds and how many
    // curves were drawn.
    void describe();

    bool gridEnabled = true;
    float gridX = 1.0f;
    float gridY = 1.0f;
    bool findingIntersection = false;
    Function *functions = nullptr;
    Function *activeFunction = nullptr;
    int numberOfFunctions = 0;
    int xStep = 4;
    int yStep = 4;
    float xUnitsPerPixel = 0;
    float yUnitsPerPixel = 0;
    bool mouseDown = false;
    bool panned = false; // the pointer moved the plot since the press
    int lastMouseX = 0;
    int lastMouseY = 0;
    bool showBoundsPending = true;
    bool zoomBoxMode = false;
    bool zoomBoxFirstCorner = true;
    int zoomBoxMoves = 0; // moves seen in the current zoom-box drag
    float xMin = -10;
    float yMin = -10;
    float xMax = 10;
    float yMax = 10;
    float boxXMin = 0;
    float boxXMax = 0;
    float boxYMin = 0;
    float boxYMax = 0;
    int pixXMin = 0;
    int pixXMax = 0;
    int pixYMin = 0;
    int pixYMax = 0;

    QString redrawDescription; // what describe() said of the last redraw
    QImage image;
    qreal pictureRatio = 1; // the device-pixel ratio the picture was drawn at
    // The scale factors and size of the last picture drawn; it maps with the
    // bounds as they stand, so its own bounds are not used.
    Mapping drawnScale;
    int redrawCount = 0;
    bool antialiased = false;
};

// Keyboard control of GraphWidget, for when it has the focus: the arrow keys
// pan, + and - zoom. Like a drag or the zoom slider, each key press redraws and
// then writes the bounds to the fields once.

#include "plot/graphwidget.h"

#include <QKeyEvent>

#include <cmath>

void GraphWidget::keyPressEvent(QKeyEvent *e)
{
    // A tenth of the range the plot shows; its left edge is xMin, its bottom
    // yMin, whichever way round the bounds were typed.
    const float dx = std::fabs(xMax - xMin) / 10;
    const float dy = std::fabs(yMax - yMin) / 10;
    // One step of 25 from the zoom slider's rest at 50: from -10..10, + gives
    // -5..5 and - gives -15..15.
    int sliderPosition = 50;
    switch (e->key()) {
    case Qt::Key_Left:
        xMin -= dx;
        xMax -= dx;
        break;
    case Qt::Key_Right:
        xMin += dx;
        xMax += dx;
        break;
    case Qt::Key_Down:
        yMin -= dy;
        yMax -= dy;
        break;
    case Qt::Key_Up:
        yMin += dy;
        yMax += dy;
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: // + without Shift
        sliderPosition = 75;
        break;
    case Qt::Key_Minus:
        sliderPosition = 25;
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    if (sliderPosition != 50) {
        // From the bounds shown, as a drag of the slider that starts at rest.
        zoomOffset = 0;
        change_zoom(sliderPosition);
        showZoomedBounds();
        zoomOffset = 0;
    } else {
        drawGraph();
        showBounds();
    }
}

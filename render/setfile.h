#pragma once

#include "status.h"

class GraphWidget;

// Adds the functions of a saved set to the graph, as the options dialog's
// loading does, but refuses a file that cannot be read or is damaged (exit 3)
// and a function whose text does not compile (exit 2).
RenderStatus addSetFile(GraphWidget &graph, const QString &path);

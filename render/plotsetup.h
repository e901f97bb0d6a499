#pragma once

#include "status.h"

class GraphWidget;
struct RenderOptions;

// Gives the plot widget the command line's window and functions, the way the
// window's fields and dialogs would, but refuses what the window would quietly
// take as 0 or leave undrawn: texts that do not compile, unusable bounds,
// unreadable set files.
RenderStatus setUpGraph(GraphWidget &graph, const RenderOptions &options);

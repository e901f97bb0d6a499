#pragma once

#include "status.h"

class GraphWidget;
struct RenderOptions;

// One run of tavlo-render after its options are parsed: sets the graph up,
// then writes the picture, the table or the points to the output. Needs the toolkit's
// application object.
RenderStatus render(GraphWidget &graph, const RenderOptions &options);

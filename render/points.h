#pragma once

#include "table.h"

class GraphWidget;

// The points of interest of --points, as CSV: for the graph's enabled
// functions, every root, local minimum and maximum, and crossing of two of
// them inside the graph's bounds, in rows "kind,function,other,x,y" sorted by
// kind (root, minimum, maximum, crossing), then x, then y, numbers as
// writeTable writes them. Found on samples at most a pixel of the graph's size
// apart and refined to the last bit of a double (extrema, where rounding
// allows, to about 1e-12 of the range).
RenderStatus writePoints(const GraphWidget &graph, const ChunkWriter &write);

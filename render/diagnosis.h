#pragma once

#include "status.h"

#include <QString>

class Function;
class GraphWidget;

// Why a text given on the command line is refused, worded as the window words
// it ("... at character N"), with the text and a caret under that character.

// A bound or grid text that the window would quietly read as 0; ok when it reads.
RenderStatus checkValueText(const QString &what, const QString &text);

// The function just added to the graph, when its text does not compile.
RenderStatus checkAddedFunction(const GraphWidget &graph, const Function &f, const QString &what);

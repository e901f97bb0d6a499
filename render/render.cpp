#include "render.h"

#include "options.h"
#include "output.h"
#include "picture.h"
#include "plotsetup.h"
#include "points.h"
#include "table.h"

RenderStatus render(GraphWidget &graph, const RenderOptions &o)
{
    // Writing over a set that is still to be read would lose it.
    for (const PlotItem &item : o.items) {
        if (item.kind == PlotItem::SetFile && !o.output.isEmpty() &&
            isSameFile(item.text, o.output))
            return failure(
                ExitUsage,
                QStringLiteral("the output '%1' is the set file '%2'").arg(o.output, item.text));
    }
    RenderStatus s = setUpGraph(graph, o);
    if (!s.ok())
        return s;
    std::optional<QByteArray> picture;
    if (o.format != RenderOptions::Csv) {
        picture = drawPicture(graph, o);
        if (!picture)
            return failure(ExitOutput, QStringLiteral("cannot write '%1': the picture holds "
                                                      "drawing that SVG cannot show")
                                           .arg(o.output));
    }
    OutputFile out(o.output);
    s = out.open();
    if (s.ok()) {
        const ChunkWriter write = [&out](const QByteArray &b) { return out.write(b); };
        s = picture    ? out.write(*picture)
            : o.points ? writePoints(graph, write)
                       : writeTable(graph, o.tableRows, write);
    }
    return s.ok() ? out.commit() : s;
}

#include "table.h"

#include "vectorstate.h"

#include "model/function.h"
#include "model/numbertext.h"
#include "plot/graphwidget.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

QString csvField(const QString &text)
{
    static const QRegularExpression special(QStringLiteral("[\",\r\n]"));
    if (!text.contains(special))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

RenderStatus writeTable(const GraphWidget &graph, int rows, const ChunkWriter &write)
{
    QList<const Function *> shown;
    bool ofX = false, ofY = false;
    for (const Function *f = graph.getFunctions(); f; f = f->getNextFunction()) {
        if (!f->isDrawn())
            continue;
        shown.append(f);
        (f->getIndepVariable() == 'x' ? ofX : ofY) = true;
    }
    if (!ofY)
        ofX = true;
    auto at = [rows](float lo, float hi, int i) {
        return i == rows - 1 ? double(hi) : double(lo) + (double(hi) - double(lo)) * i / (rows - 1);
    };
    clearUpperVectorHalves();
    QByteArray out;
    auto number = [&out](double v) {
        out += std::isnan(v) ? QByteArrayLiteral("nan") : formatNumber(v, 17).toLatin1();
    };
    QStringList header;
    if (ofX)
        header << QStringLiteral("x");
    if (ofY)
        header << QStringLiteral("y");
    for (const Function *f : shown)
        header << csvField(f->getString());
    out += header.join(QLatin1Char(',')).toUtf8() + '\n';
    for (int i = 0; i < rows; ++i) {
        const double x = at(graph.getXMin(), graph.getXMax(), i);
        const double y = at(graph.getYMin(), graph.getYMax(), i);
        if (ofX)
            number(x);
        if (ofY) {
            if (ofX)
                out += ',';
            number(y);
        }
        for (const Function *f : shown) {
            out += ',';
            number(f->evaluate(f->getIndepVariable() == 'x' ? x : y));
        }
        out += '\n';
        if (out.size() >= (1 << 20) || i == rows - 1) {
            const RenderStatus s = write(out);
            if (!s.ok())
                return s;
            out.clear();
        }
    }
    return {};
}

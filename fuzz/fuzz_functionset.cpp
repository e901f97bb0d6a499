// Fuzz target for function-set files: any bytes read as a file, the functions
// added to a plot widget, drawn and searched for a crossing. A file that reads back cleanly is
// written out again and must read back to the same functions; loaded into an empty set, where
// their references keep their numbers, they keep their texts too.

#include "model/functionset.h"
#include "fuzzqt.h"
#include "model/function.h"
#include "plot/graphwidget.h"

#include <QApplication>
#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// All but the text, whose references a load renumbers.
bool sameSettings(const FunctionRecord &a, const FunctionRecord &b)
{
    return a.equality == b.equality && a.color == b.color && a.enabled == b.enabled &&
           a.indepVariable == b.indepVariable;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    startOffscreenApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    const FunctionSetResult read = readFunctionSet(file);
    if (read.status != FunctionSetResult::Ok) {
        check(read.records.isEmpty());
        return 0;
    }

    GraphWidget graph(nullptr, "graph");
    graph.setGeometry(QRect(QPoint(1, 1), QPoint(232, 216)));
    graph.addFunctionSet(read.records);
    graph.drawGraph();
    graph.findIntersectionNear(0.5f, 0.5f);
    // Once more in a window far narrower than a float step at its edge.
    graph.change_x_min(QStringLiteral("1E-30"));
    graph.change_x_max(QStringLiteral("2E-30"));
    graph.change_y_min(QStringLiteral("-3E38"));
    graph.change_y_max(QStringLiteral("3E38"));
    graph.drawGraph();

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    check(writeFunctionSet(out, graph.getFunctions()));
    out.close();
    out.open(QIODevice::ReadOnly);
    const FunctionSetResult again = readFunctionSet(out);
    check(again.status == FunctionSetResult::Ok);
    check(again.records.size() == read.records.size());
    GraphWidget copy(nullptr, "copy");
    copy.addFunctionSet(again.records);
    const Function *f = copy.getFunctions();
    for (qsizetype i = 0; i < again.records.size(); ++i, f = f->getNextFunction()) {
        check(sameSettings(again.records[i], read.records[i]));
        check(f && f->getString() == again.records[i].text);
    }
    return 0;
}

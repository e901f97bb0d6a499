// Fuzz target for expression preparation: a few functions whose texts come
// from the input and refer to each other (cycles included), added to a plot
// widget, prepared again once all exist, evaluated, then one is deleted and the
// rest prepared again.
//
// Input: byte 0 gives each function its variable (bit i set: function i is a
// function of y), byte 1 gives some functions the id of the one before them
// (bit i), the rest are the texts, one per line, at most eight.

#include "fuzzqt.h"
#include "model/function.h"
#include "plot/graphwidget.h"

#include <QApplication>
#include <QColor>
#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kMaxFunctions = 8;

struct Entry
{
    int id;
    QString text;
};

void evaluateAll(GraphWidget &graph)
{
    static const double points[] = {0.0, 1.5, -3.0, 1e30, NAN};
    for (Function *f = graph.getFunctions(); f; f = f->getNextFunction()) {
        const QString typed = f->getString();
        for (double p : points)
            f->evaluate(p);
        // Preparation never shows: the record keeps the text as typed.
        check(f->getString() == typed);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    startOffscreenApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::uint8_t vars = data[0];
    const std::uint8_t sharedIds = data[1];
    const QList<QByteArray> lines =
        QByteArray(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2)).split('\n');

    std::vector<Entry> entries;
    for (const QByteArray &line : lines) {
        if (int(entries.size()) == kMaxFunctions)
            break;
        const int i = int(entries.size());
        const int id = (i > 0 && (sharedIds >> i) & 1) ? entries.back().id : i;
        entries.push_back({id, QString::fromUtf8(line)});
    }

    GraphWidget graph(nullptr, "graph");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const char var = (vars >> i) & 1 ? 'y' : 'x';
        Function *f = graph.addFunction(entries[i].id, entries[i].text, var, QColor(Qt::red));
        check(f && f->getString() == entries[i].text);
        f->setFBoxIndex(int(i));
    }
    // Each function was prepared when only those before it existed; now every
    // reference, forwards and in cycles, can be followed.
    for (Function *f = graph.getFunctions(); f; f = f->getNextFunction())
        f->setString(f->getString());
    evaluateAll(graph);

    graph.deleteFunctionFBoxIndex(int(vars % entries.size()));
    for (Function *f = graph.getFunctions(); f; f = f->getNextFunction()) {
        f->setIndepVariable(f->getIndepVariable() == 'x' ? 'y' : 'x');
        f->setString(f->getString());
    }
    evaluateAll(graph);
    return 0;
}

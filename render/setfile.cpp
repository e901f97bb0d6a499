#include "setfile.h"

#include "diagnosis.h"

#include "model/function.h"
#include "model/functionset.h"
#include "plot/graphwidget.h"

#include <QFile>
#include <QFileInfo>

RenderStatus addSetFile(GraphWidget &graph, const QString &path)
{
    if (QFileInfo(path).isDir())
        return failure(ExitSetFile,
                       QStringLiteral("cannot read set file '%1': it is a directory").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(
            ExitSetFile,
            QStringLiteral("cannot read set file '%1': %2").arg(path, file.errorString()));
    const FunctionSetResult set = readFunctionSet(file);
    switch (set.status) {
    case FunctionSetResult::Ok:
        break;
    case FunctionSetResult::BadHeader:
        return failure(ExitSetFile, QStringLiteral("'%1' is not a Tavlo function set (wrong magic "
                                                   "number or format version)")
                                        .arg(path));
    case FunctionSetResult::Damaged:
        return failure(ExitSetFile, QStringLiteral("set file '%1' is damaged: it ends before its "
                                                   "end marker or holds a cut-off record")
                                        .arg(path));
    }
    // The whole set at once, so that its references are renumbered to the new
    // ids as the window's Load does; then each function is checked.
    const QList<Function *> added = graph.addFunctionSet(set.records);
    for (qsizetype i = 0; i < added.size(); ++i) {
        const RenderStatus s = checkAddedFunction(
            graph, *added[i],
            QStringLiteral("function %1 of set '%2'").arg(set.records[i].id).arg(path));
        if (!s.ok())
            return s;
    }
    return {};
}

#pragma once

#include "status.h"

#include <QByteArray>
#include <QString>

// Where the output goes, treated as careful Unix tools treat a file they
// replace: the new content is written to a temporary file beside the target
// and renamed over it only once all of it is written, so a failure (a full
// disk, a signal) leaves the old file as it was and no temporary behind. An
// existing target keeps its mode and owner, and one the user may not write is
// refused; a symbolic link is written through, to the file it points at; a
// new file gets 0666 less the umask. A target that is not a regular file
// (/dev/null, a pipe) is written directly. An empty path is standard output.
//
// Unlike QSaveFile it does not wait for the disk (fdatasync), which took 5 to
// 30 ms of a run on a busy machine; a plot is cheap to write again.
class OutputFile final
{
public:
    explicit OutputFile(const QString &path);
    ~OutputFile(); // removes the temporary file of an output not committed
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    RenderStatus open();
    RenderStatus write(const QByteArray &bytes);
    RenderStatus commit();

private:
    RenderStatus failed(int error);
    void discard();

    const QString path;
    QByteArray target; // the file the path names, symbolic links followed
    QByteArray temporary;
    int fd = -1;
};

// Whether the two paths name one existing file (through links too).
bool isSameFile(const QString &a, const QString &b);

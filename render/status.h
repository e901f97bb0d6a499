#pragma once

#include <QString>

// What tavlo-render exits with; documented in --help, the manual page and the README.
enum ExitCode {
    ExitOk = 0,
    ExitUsage = 1,      // unknown option, missing or malformed argument
    ExitExpression = 2, // an expression (function, bound or grid) does not compile or is unusable
    ExitSetFile = 3,    // a function-set file cannot be read or is damaged
    ExitOutput = 4      // the output file (or standard output) cannot be written
};

// The outcome of one step of a run.
struct RenderStatus
{
    ExitCode code = ExitOk;
    QString message; // for standard error; ends with a line break when not empty

    bool ok() const { return code == ExitOk; }
};

inline RenderStatus failure(ExitCode code, const QString &message)
{
    return {code, QStringLiteral("tavlo-render: ") + message + QLatin1Char('\n')};
}

#pragma once

#include <QByteArray>
#include <QList>
#include <QRgb>
#include <QString>

class Function;
class QIODevice;

// The function-set file: big-endian qint32 magic 5125 and version 1, one record
// per function (id, equality, text, colour word 0xFFrrggbb, enabled, variable),
// then the end marker -1. Shared by the options dialog, tavlo-render and the tests.

// One function as stored in a file.
struct FunctionRecord
{
    qint32 id = 0; // the id at saving time; loading gives fresh ids
    qint32 equality = 1;
    QString text;
    QRgb color = 0; // red, green and blue only; the file's high byte is dropped
    bool enabled = true;
    char indepVariable = 0; // first character of the stored variable as Latin-1, or 0
};

struct FunctionSetResult
{
    enum Status {
        Ok,
        BadHeader, // not a function-set file, or another version
        Damaged    // cut short or corrupt; records holds nothing
    };
    Status status = Ok;
    QList<FunctionRecord> records;
};

// Writes the whole list starting at first (may be null). False when the device
// reported a write error.
bool writeFunctionSet(QIODevice &device, const Function *first);
// The set starting at `first` as a save would write it.
QByteArray functionSetBytes(const Function *first);

// Reads a set. Every length is checked against the bytes left, so damaged
// input never reads past the end or allocates more than the data holds.
FunctionSetResult readFunctionSet(QIODevice &device);

enum class SaveResult { Ok, OpenFailed, WriteFailed };

// Saves the set to path. An existing file is replaced only once the new one is
// completely written.
SaveResult saveFunctionSet(const QString &path, const Function *first);

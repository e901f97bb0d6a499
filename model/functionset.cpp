#include "model/functionset.h"

#include "model/function.h"

#include <QBuffer>
#include <QDataStream>
#include <QIODevice>
#include <QSaveFile>

#include <climits>

namespace {

constexpr qint32 magicNumber = 5125;
constexpr qint32 formatVersion = 1;
constexpr qint32 endMarker = -1;
constexpr quint32 nullString = 0xFFFFFFFFu;

// Reads a QDataStream string: byte count (0xFFFFFFFF for a null string), then
// UTF-16 big-endian code units. False on a short read or an impossible count.
bool readString(QDataStream &in, QString &out)
{
    quint32 bytes = 0;
    in >> bytes;
    if (in.status() != QDataStream::Ok)
        return false;
    if (bytes == nullString) {
        out.clear();
        return true;
    }
    QIODevice *device = in.device();
    if (bytes % 2 != 0 || bytes > quint32(INT_MAX) || qint64(bytes) > device->bytesAvailable())
        return false;
    QByteArray data(qsizetype(bytes), Qt::Uninitialized);
    if (in.readRawData(data.data(), int(bytes)) != int(bytes))
        return false;
    out.resize(qsizetype(bytes / 2));
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = QChar(ushort((p[2 * i] << 8) | p[2 * i + 1]));
    return true;
}

bool readRecord(QDataStream &in, qint32 id, FunctionRecord &record)
{
    record.id = id;
    quint32 color = 0;
    qint32 enabled = 0;
    QString variable;
    in >> record.equality;
    if (in.status() != QDataStream::Ok || !readString(in, record.text))
        return false;
    in >> color >> enabled;
    if (in.status() != QDataStream::Ok || !readString(in, variable))
        return false;
    record.color = qRgb(qRed(color), qGreen(color), qBlue(color));
    record.enabled = enabled != 0;
    const ushort first = variable.isEmpty() ? 0 : variable.at(0).unicode();
    record.indepVariable = first <= 0xFF ? char(first) : 0;
    return true;
}

} // namespace

bool writeFunctionSet(QIODevice &device, const Function *first)
{
    QDataStream out(&device);
    out.setByteOrder(QDataStream::BigEndian);
    out << magicNumber << formatVersion;
    for (const Function *f = first; f && out.status() == QDataStream::Ok; f = f->getNextFunction())
        out << *f;
    out << endMarker;
    return out.status() == QDataStream::Ok;
}

FunctionSetResult readFunctionSet(QIODevice &device)
{
    FunctionSetResult result;
    QDataStream in(&device);
    in.setByteOrder(QDataStream::BigEndian);

    qint32 magic = 0;
    qint32 version = 0;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != magicNumber || version != formatVersion) {
        result.status = FunctionSetResult::BadHeader;
        return result;
    }
    for (;;) {
        qint32 id = 0;
        in >> id;
        if (in.status() != QDataStream::Ok)
            break;
        if (id == endMarker)
            return result;
        FunctionRecord record;
        if (!readRecord(in, id, record))
            break;
        result.records.append(record);
    }
    result.status = FunctionSetResult::Damaged;
    result.records.clear();
    return result;
}

SaveResult saveFunctionSet(const QString &path, const Function *first)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return SaveResult::OpenFailed;
    if (!writeFunctionSet(file, first)) {
        file.cancelWriting();
        return SaveResult::WriteFailed;
    }
    return file.commit() ? SaveResult::Ok : SaveResult::WriteFailed;
}

QByteArray functionSetBytes(const Function *first)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeFunctionSet(buffer, first);
    return buffer.data();
}

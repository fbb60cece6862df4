#include "hex_file_builder.h"

#include <QSaveFile>

#include <algorithm>

HexFileBuilder &HexFileBuilder::setLineEnding(LineEnding ending)
{
    m_ending = ending;
    return *this;
}

HexFileBuilder &HexFileBuilder::setAddressing(Addressing addressing)
{
    m_addressing = addressing;
    return *this;
}

HexFileBuilder &HexFileBuilder::setRecordSize(int bytes)
{
    m_recordSize = std::clamp(bytes, 1, 255);
    return *this;
}

HexFileBuilder &HexFileBuilder::setEndOfFile(bool endOfFile)
{
    m_endOfFile = endOfFile;
    return *this;
}

HexFileBuilder &HexFileBuilder::addData(quint32 address, const QByteArray &data)
{
    qsizetype at = 0;
    while (at < data.size()) {
        const quint32 here = address + quint32(at);
        const quint32 upper = here >> 16;
        // Address records start at 0 for linear and segment addressing
        // alike, so none is needed until the upper part leaves 0.
        if ((m_haveUpper && upper != m_upper) || (!m_haveUpper && upper != 0)) {
            QByteArray value(2, 0);
            const quint32 field = m_addressing == Addressing::ExtendedLinear ? upper : upper << 12;
            value[0] = char(field >> 8);
            value[1] = char(field & 0xFF);
            m_records.append(record(m_addressing == Addressing::ExtendedLinear ? 0x04 : 0x02, 0, value));
        }
        m_haveUpper = true;
        m_upper = upper;
        const qsizetype toBoundary = 0x10000 - (here & 0xFFFF);
        const qsizetype length = std::min<qsizetype>({m_recordSize, data.size() - at, toBoundary});
        m_records.append(record(0x00, quint16(here & 0xFFFF), data.mid(at, length)));
        at += length;
    }
    return *this;
}

HexFileBuilder &HexFileBuilder::addRecord(quint8 type, quint16 address, const QByteArray &data)
{
    m_records.append(record(type, address, data));
    return *this;
}

QList<QByteArray> HexFileBuilder::records() const
{
    QList<QByteArray> out = m_records;
    if (m_endOfFile)
        out.append(endOfFileRecord());
    return out;
}

QByteArray HexFileBuilder::text() const
{
    QByteArray out;
    for (const QByteArray &line : records())
        out += line + lineEnd(m_ending);
    return out;
}

bool HexFileBuilder::writeFile(const QString &path, QString *error) const
{
    QSaveFile file(path);
    const QByteArray bytes = text();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QByteArray HexFileBuilder::record(quint8 type, quint16 address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (char b : bytes)
        sum = quint8(sum + quint8(b));
    bytes.append(char(quint8(0x100 - sum)));
    return ':' + bytes.toHex().toUpper();
}

QByteArray HexFileBuilder::lineEnd(LineEnding ending)
{
    switch (ending) {
    case LineEnding::CrLf: return "\r\n";
    case LineEnding::Lf: return "\n";
    case LineEnding::None: return QByteArray();
    }
    return QByteArray();
}

QByteArray HexFileBuilder::withBadChecksum(const QByteArray &record)
{
    const int checksum = record.right(2).toInt(nullptr, 16);
    return record.left(record.size() - 2)
           + QByteArray::number((checksum + 1) & 0xFF, 16).toUpper().rightJustified(2, '0');
}

QByteArray HexFileBuilder::withBadDigit(const QByteArray &record)
{
    QByteArray out = record;
    // The first character after the type field: a data digit when there is
    // data, otherwise the checksum.
    out[9] = 'G';
    return out;
}

QByteArray HexFileBuilder::truncated(const QByteArray &record, int characters)
{
    return record.left(characters);
}

QByteArray HexFileBuilder::withChangedData(const QByteArray &record)
{
    QByteArray out = record;
    out[9] = out.at(9) == '0' ? '1' : '0';
    return out;
}

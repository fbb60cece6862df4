#include "sim/hex_record.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<HexRecord> fail(QString *problem, const QString &text)
{
    if (problem)
        *problem = text;
    return std::nullopt;
}

} // namespace

int hexRecordTextLength(int dataLength)
{
    return 1 + 2 * (1 + 2 + 1 + dataLength + 1);
}

bool isHexDigit(char c)
{
    return hexValue(c) >= 0;
}

std::optional<HexRecord> decodeHexRecord(const QByteArray &text, QString *problem)
{
    if (text.isEmpty() || text.at(0) != ':')
        return fail(problem, QStringLiteral("no start code"));
    if ((text.size() - 1) % 2 != 0 || text.size() < hexRecordTextLength(0))
        return fail(problem, QStringLiteral("odd or too short length"));
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (!isHexDigit(text.at(i)))
            return fail(problem, QStringLiteral("not a hex digit at position %1").arg(i));
    }

    QByteArray bytes;
    bytes.reserve((text.size() - 1) / 2);
    for (qsizetype i = 1; i < text.size(); i += 2)
        bytes.append(char(hexValue(text.at(i)) * 16 + hexValue(text.at(i + 1))));

    const int length = quint8(bytes.at(0));
    if (bytes.size() != length + 5)
        return fail(problem, QStringLiteral("length field %1 does not match %2 data bytes")
                                 .arg(length)
                                 .arg(bytes.size() - 5));

    quint8 sum = 0;
    for (char b : bytes)
        sum = quint8(sum + quint8(b));
    if (sum != 0)
        return fail(problem, QStringLiteral("checksum mismatch"));

    HexRecord record;
    record.address = quint16((quint8(bytes.at(1)) << 8) | quint8(bytes.at(2)));
    record.type = quint8(bytes.at(3));
    record.data = bytes.mid(4, length);

    switch (record.type) {
    case HexRecord::Data:
        break;
    case HexRecord::EndOfFile:
        if (length != 0)
            return fail(problem, QStringLiteral("end-of-file record with data"));
        break;
    case HexRecord::ExtendedSegmentAddress:
    case HexRecord::ExtendedLinearAddress:
        if (length != 2)
            return fail(problem, QStringLiteral("address record without two data bytes"));
        break;
    case HexRecord::StartSegmentAddress:
    case HexRecord::StartLinearAddress:
        if (length != 4)
            return fail(problem, QStringLiteral("start address record without four data bytes"));
        break;
    default:
        return fail(problem, QStringLiteral("unknown record type %1").arg(record.type));
    }
    return record;
}

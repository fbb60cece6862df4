#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

// One Intel HEX record as the target decodes it: ":LLAAAATT<data>CC", where
// LL is the number of data bytes, AAAA the 16-bit address or offset, TT the
// type and CC the two's complement of the sum of all bytes before it.
struct HexRecord
{
    enum Type : quint8 {
        Data = 0x00,
        EndOfFile = 0x01,
        ExtendedSegmentAddress = 0x02,
        StartSegmentAddress = 0x03,
        ExtendedLinearAddress = 0x04,
        StartLinearAddress = 0x05,
    };

    quint8 type = Data;
    quint16 address = 0;
    QByteArray data;
};

// Length in characters of a record text (start code included) with the given
// number of data bytes.
int hexRecordTextLength(int dataLength);

bool isHexDigit(char c);

// Decodes a complete record text that starts with ':'. Returns nothing and
// names the problem when the text is not a well-formed record: a character
// that is not a hex digit, a length that does not match, a wrong checksum,
// an unknown type or a type whose data length is fixed and differs.
std::optional<HexRecord> decodeHexRecord(const QByteArray &text, QString *problem = nullptr);

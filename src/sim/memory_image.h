#pragma once

#include <QByteArray>
#include <QtGlobal>

// The contents of one target memory (flash or EEPROM) as written by the
// records received. Addresses start at 0; bytes never written read as 0xFF,
// the value of erased flash and EEPROM.
class MemoryImage
{
public:
    explicit MemoryImage(quint32 capacity = 0);

    quint32 capacity() const { return m_capacity; }

    // Stores data at address. Refuses (and stores nothing) when any byte
    // would lie at or beyond the capacity.
    bool write(quint32 address, const QByteArray &data);

    bool isEmpty() const { return m_written == 0; }
    // One past the highest address written; 0 when nothing was written.
    quint32 end() const { return quint32(m_data.size()); }
    // Number of distinct bytes written.
    qint64 writtenCount() const { return m_written; }
    bool isWritten(quint32 address) const;

    // Everything from address 0 up to end(), gaps filled with 0xFF.
    QByteArray bytes() const { return m_data; }
    // length bytes from address, 0xFF where nothing was written.
    QByteArray bytes(quint32 address, int length) const;

    // The written bytes as Intel HEX text with CR LF line ends: data records
    // of up to 16 bytes covering each run of written bytes, an extended
    // linear address record wherever the upper 16 address bits change, and
    // the end-of-file record.
    QByteArray toIntelHex() const;

    void clear();

    friend bool operator==(const MemoryImage &a, const MemoryImage &b)
    {
        return a.m_data == b.m_data && a.m_mask == b.m_mask;
    }

private:
    quint32 m_capacity;
    QByteArray m_data;
    QByteArray m_mask;  // 1 where a byte was written
    qint64 m_written = 0;
};

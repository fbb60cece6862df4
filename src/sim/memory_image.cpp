#include "sim/memory_image.h"

namespace {

QByteArray hexRecordText(quint8 type, quint16 address, const QByteArray &data)
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
    bytes.append(char(quint8(-sum)));
    return ':' + bytes.toHex().toUpper() + "\r\n";
}

} // namespace

MemoryImage::MemoryImage(quint32 capacity) : m_capacity(capacity) {}

bool MemoryImage::write(quint32 address, const QByteArray &data)
{
    if (data.isEmpty())
        return address <= m_capacity;
    if (address >= m_capacity || quint64(address) + quint64(data.size()) > m_capacity)
        return false;
    const qsizetype needed = qsizetype(address) + data.size();
    if (m_data.size() < needed) {
        m_data.resize(needed, char(0xFF));
        m_mask.resize(needed, char(0));
    }
    for (qsizetype i = 0; i < data.size(); ++i) {
        const qsizetype at = qsizetype(address) + i;
        if (!m_mask.at(at)) {
            m_mask[at] = 1;
            ++m_written;
        }
        m_data[at] = data.at(i);
    }
    return true;
}

bool MemoryImage::isWritten(quint32 address) const
{
    return qsizetype(address) < m_mask.size() && m_mask.at(address) != 0;
}

QByteArray MemoryImage::bytes(quint32 address, int length) const
{
    QByteArray out(length, char(0xFF));
    for (int i = 0; i < length; ++i) {
        const quint64 at = quint64(address) + quint64(i);
        if (at < quint64(m_data.size()))
            out[i] = m_data.at(qsizetype(at));
    }
    return out;
}

QByteArray MemoryImage::toIntelHex() const
{
    QByteArray text;
    quint32 upper = 0;
    qsizetype at = 0;
    const qsizetype size = m_data.size();
    while (at < size) {
        if (!m_mask.at(at)) {
            ++at;
            continue;
        }
        // One record: up to 16 written bytes in a row, not crossing a 64 KiB
        // boundary (the record's 16-bit offset cannot carry over).
        qsizetype stop = at;
        while (stop < size && stop - at < 16 && m_mask.at(stop)
               && (stop == at || (stop & 0xFFFF) != 0))
            ++stop;
        const quint32 address = quint32(at);
        if ((address >> 16) != upper) {
            upper = address >> 16;
            QByteArray base;
            base.append(char(upper >> 8));
            base.append(char(upper & 0xFF));
            text += hexRecordText(0x04, 0, base);
        }
        text += hexRecordText(0x00, quint16(address & 0xFFFF), m_data.mid(at, stop - at));
        at = stop;
    }
    text += hexRecordText(0x01, 0, QByteArray());
    return text;
}

void MemoryImage::clear()
{
    m_data.clear();
    m_mask.clear();
    m_written = 0;
}

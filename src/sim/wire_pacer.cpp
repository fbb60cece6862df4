#include "sim/wire_pacer.h"

#include <algorithm>
#include <cmath>

WirePacer::WirePacer(int baudRate) : m_byteUs(baudRate > 0 ? 10.0 * 1e6 / baudRate : 0.0) {}

qint64 WirePacer::arrival(qint64 writtenUs)
{
    if (m_byteUs == 0.0)
        return writtenUs;
    m_inFreeUs = std::max(m_inFreeUs, double(writtenUs)) + m_byteUs;
    return qint64(std::ceil(m_inFreeUs));
}

qint64 WirePacer::departure(qint64 readyUs, qint64 count)
{
    if (m_byteUs == 0.0)
        return readyUs;
    m_outFreeUs = std::max(m_outFreeUs, double(readyUs)) + m_byteUs * double(count);
    return qint64(std::ceil(m_outFreeUs));
}

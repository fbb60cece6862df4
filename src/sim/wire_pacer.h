#pragma once

#include <QtGlobal>

// The time a serial line needs to carry bytes: ten bit times per byte (start
// bit, eight data bits, stop bit). A rate of 0 means no wire time at all,
// like a bare pseudo-terminal.
class WirePacer
{
public:
    explicit WirePacer(int baudRate);

    // When a byte that the host wrote at writtenUs has fully arrived: bytes
    // queue behind each other on the wire.
    qint64 arrival(qint64 writtenUs);

    // When a piece of count bytes that is ready at readyUs has fully left the
    // target; it reaches the host in one piece then, as from a UART FIFO or a
    // USB adapter.
    qint64 departure(qint64 readyUs, qint64 count);

private:
    double m_byteUs;  // kept fractional so that long lines do not drift
    double m_inFreeUs = 0;
    double m_outFreeUs = 0;
};

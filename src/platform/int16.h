#pragma once

#include <QtGlobal>

// Counters of the download are 16-bit signed integers whose overflow is a
// failure (a file of more than 32,767 lines must not wrap to a negative count).
// Each function throws Failure when the exact result does not fit.
qint16 checkedInt16(int value);
qint16 add16(qint16 a, qint16 b);
qint16 sub16(qint16 a, qint16 b);

#include "platform/int16.h"

#include "platform/failure.h"

#include <limits>

qint16 checkedInt16(int value)
{
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        throw Failure(QStringLiteral("16-bit overflow: %1").arg(value));
    return static_cast<qint16>(value);
}

qint16 add16(qint16 a, qint16 b)
{
    return checkedInt16(int(a) + int(b));
}

qint16 sub16(qint16 a, qint16 b)
{
    return checkedInt16(int(a) - int(b));
}

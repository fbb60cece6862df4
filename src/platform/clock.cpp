#include "platform/clock.h"

#include <QDateTime>

qint64 SystemClock::nowSeconds()
{
    return QDateTime::currentSecsSinceEpoch();
}

#pragma once

#include <QtGlobal>

// The date-and-time clock as the download's waits use it: readings with a
// resolution of one second, compared by their difference in whole seconds.
class Clock
{
public:
    virtual ~Clock() = default;
    // Seconds since some fixed origin, whole seconds only.
    virtual qint64 nowSeconds() = 0;
};

class SystemClock : public Clock
{
public:
    qint64 nowSeconds() override;
};

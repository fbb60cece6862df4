#pragma once

#include "platform/clock.h"

#include <QElapsedTimer>

// A clock that runs faster than real time, so that a download's waits of
// 2 to 3 seconds take a fraction of that in tests, while keeping the same
// whole-second rule.
class ScaledClock : public Clock
{
public:
    explicit ScaledClock(int speed) : m_speed(speed) { m_elapsed.start(); }
    qint64 nowSeconds() override { return 1000000 + m_elapsed.elapsed() * m_speed / 1000; }

private:
    int m_speed;
    QElapsedTimer m_elapsed;
};

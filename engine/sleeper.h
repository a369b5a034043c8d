#pragma once

#include <QThread>

// All pacing of a run goes through one sleeper, so tests can run scripts without the pauses
// and still check the real pacing once.
class Sleeper
{
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(int ms) = 0;
};

class RealSleeper final : public Sleeper
{
public:
    void sleepMs(int ms) override
    {
        if (ms > 0)
            QThread::msleep(ulong(ms));
    }
};

#pragma once

#include "engine/sleeper.h"

#include <QMutex>
#include <QVector>

#include <functional>

// Sleeps nothing. Remembers every pause asked for (unless told not to) and hands each one to
// a hook on the sleeping thread, which can stop the run, hold it or count the time.
class FakeSleeper : public Sleeper
{
public:
    // Called after every pause with the number of pauses so far and the pause's length.
    std::function<void(int count, int ms)> onPause;
    // Off for runs too long to keep every pause (fuzzing).
    bool keepPauses = true;

    void sleepMs(int ms) override
    {
        int count = 0;
        {
            QMutexLocker lock(&m_mutex);
            count = ++m_count;
            if (keepPauses)
                m_pauses.append(ms);
        }
        if (onPause)
            onPause(count, ms);
    }

    QVector<int> taken() const
    {
        QMutexLocker lock(&m_mutex);
        return m_pauses;
    }

    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_count = 0;
        m_pauses.clear();
    }

private:
    mutable QMutex m_mutex;
    int m_count = 0;
    QVector<int> m_pauses;
};

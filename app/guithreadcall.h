#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Runs fn on the thread of `context` (the GUI thread) and waits for its result. The wait gives
// up, returning an empty text, as soon as stillWanted() turns false, so a worker that asks
// while the GUI thread is itself waiting for that worker (quitting, a stop) always gets out.
QString callOnObjectThread(QObject *context, std::function<QString()> fn,
                           const std::function<bool()> &stillWanted);

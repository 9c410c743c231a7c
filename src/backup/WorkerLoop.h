#pragma once
// The walk of the run queue that one backup worker makes: entry by entry from
// the first, the count read again before every entry so that tasks handed
// over meanwhile are run in the same walk, until the queue holds nothing
// beyond the last entry taken. Then the run ends, the queue is emptied and the
// host is told.
#include <functional>
#include <string>

#include "backup/RunQueue.h"
#include "backup/WorkerHost.h"

namespace ns {

// Runs `processTask` for every entry reached, by its name (it returns whether
// the task was found and succeeded), then ends the run the user-interface
// thread began with TRunQueue::TryBeginRun, and calls `host.RunEnded()`. An
// exception out of `processTask` ends the walk: what was not reached is
// dropped with the queue, as the run is over.
void WalkRunQueue(TRunQueue& queue, IWorkerHost& host,
                  const std::function<bool(const std::string& taskName)>& processTask);

}  // namespace ns

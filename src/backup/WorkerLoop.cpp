#include "backup/WorkerLoop.h"

namespace ns {

void WalkRunQueue(TRunQueue& queue, IWorkerHost& host,
                  const std::function<bool(const std::string& taskName)>& processTask) {
  bool allSucceeded = true;
  try {
    // The run ends only when nothing was queued since the last look, in one
    // step with emptying the queue: a late hand-over is either run by this
    // worker or finds no run active and starts one.
    std::string name;
    while (queue.TakeNextOrFinishRun(name)) {
      if (!processTask(name)) allSucceeded = false;
    }
  } catch (...) {
    allSucceeded = false;
    queue.EndRun();
  }
  host.RunEnded(allSucceeded);
}

}  // namespace ns

#pragma once
// The backup worker: the thread that walks the run queue and, task by task,
// checks the task, has its host test the connection (and end other
// sessions), runs the designer, packs and rotates the archives, records the
// outcome and delivers the report.
#include <windows.h>

#include <memory>

#include "backup/RunQueue.h"
#include "backup/ServersText.h"
#include "backup/WorkerHost.h"

namespace ns {

struct TWorkerContext {
  std::shared_ptr<TRunQueue> Queue;
  std::shared_ptr<TServersText> ServersText;
  IWorkerHost* Host;  // outlives the thread
};

// Thread routine; takes ownership of a TWorkerContext allocated with new.
// The caller has begun a run on the queue (TRunQueue::TryBeginRun); the
// worker ends it. Returns 0.
DWORD WINAPI BackupWorker(void* context);

}  // namespace ns

#pragma once
// The backup worker: the thread that walks the run queue and, task by task,
// checks the task, has the user-interface thread test the connection (and end
// other sessions), runs the designer, packs and rotates the archives, records
// the outcome and delivers the report.
#include <windows.h>

#include <memory>

#include "app/RunQueue.h"
#include "app/ServersText.h"

namespace ns {

struct TWorkerContext {
  std::shared_ptr<TRunQueue> Queue;
  std::shared_ptr<TServersText> ServersText;
  HWND MainWindow;         // receives the private messages
  HWND ApplicationWindow;  // receives WM_CLOSE when the run ends hidden
};

// Thread routine; takes ownership of a TWorkerContext allocated with new.
// The caller has begun a run on the queue (TRunQueue::TryBeginRun); the
// worker ends it. Returns 0.
DWORD WINAPI BackupWorker(void* context);

// How long the designer may take over one dump before it is stopped: a dump
// of a large infobase takes hours, but a designer waiting for input in its
// hidden window would otherwise hold every later task and keep a scheduled
// instance alive until the next night. The registry value "DesignerTimeout"
// of the program's key (seconds) overrides it.
inline constexpr DWORD DefaultDesignerTimeoutSeconds = 12 * 60 * 60;

}  // namespace ns

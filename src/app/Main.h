#pragma once
// TFormMain: the main window. It owns the run queue, starts the backup
// worker and hosts it: the worker's requests for COM work (which must run on
// this thread) arrive as messages, and the window decides whether closing it
// ends the program. Its window class "TFormMain" is how later starts, the
// scheduler's scenarios and the tests find it.
#include <windows.h>

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainPanel.h"
#include "app/HandOver.h"
#include "app/WorkerRequests.h"
#include "backup/RunQueue.h"
#include "backup/ServersText.h"
#include "backup/WorkerHost.h"
#include "win/Form.h"
#include "win/UniqueHandle.h"

namespace ns {

inline constexpr int ExitTaskFailed = 1;
inline constexpr int ExitHandOverNotTaken = 2;

class TFormMain : public TForm, public IWorkerHost {
 public:
  explicit TFormMain(TApplication& application);
  ~TFormMain() override;

  // The list, the log and the buttons that fill the window.
  TMainPanel& Panel() { return *panel_; }

  // Start-up and shutdown of the instance.
  // `arguments`: the task names of the command line, without the program.
  void StartUp(const std::vector<std::string>& arguments);
  void ShutDown();

  void StartWorker();
  void ShowMainWindow();

  // Shared with the worker and the listener, which may outlive the window by
  // a moment at shutdown: they hold their own references.
  const std::shared_ptr<TRunQueue>& RunQueue() const { return runQueue_; }
  const std::shared_ptr<TServersText>& ServersText() const { return serversText_; }

  // IWorkerHost, called on the worker's thread: the requests for COM work are
  // sent to this window and wait for it; the others post and return.
  bool TestConnection(const TInfobaseLogon& logon, PlatformVersion version) override;
  void EndSessions(const TInfobaseLogon& logon, PlatformVersion version) override;
  void TaskListChanged() override;
  void ShowStage(const std::string& stage) override;
  void RunEnded(bool allSucceeded) override;

  // What the process ends with, for the task scheduler's "last run result":
  // 0, or ExitTaskFailed when the instance was started with task names and
  // one of them failed or could not be found, or ExitHandOverNotTaken when a
  // later start's hand-over was not taken. A person's start ends with 0.
  int ExitCode() const { return exitCode_; }

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // A hidden instance runs the scheduler's tasks with nobody to close a box:
  // there the failure shows in the exit code instead.
  void ShowError(const std::exception& error) override;

 private:
  void OnShown();
  // True when the window may close; false when work remains and it was
  // hidden instead.
  bool CloseOrHide();
  void ReadServersText();
  bool IsFirstInstance();
  void QueueCommandLine(const std::vector<std::string>& arguments);
  void RecordStartupFailure(const std::vector<std::string>& arguments, const std::string& message);

  LRESULT SendWorkerRequest(unsigned message, PlatformVersion version, const TInfobaseLogon& logon);

  std::shared_ptr<TRunQueue> runQueue_;
  std::shared_ptr<TServersText> serversText_;
  TApplication& application_;
  std::unique_ptr<TMainPanel> panel_;
  TWorkerRequests workerRequests_;
  THandOverListener listener_;
  UniqueHandle instanceMutex_;
  UniqueHandle workerThread_;
  bool startedWithTasks_ = false;
  std::atomic<int> exitCode_{0};
  // The running task's stage as the worker last told it.
  std::mutex stageLock_;
  std::string stage_;
  bool socketsStarted_ = false;
};

// What a start with task names records for them when it cannot run them:
// "Не установлена платформа 1С8." when no platform was found, else the
// error's text (after "Ошибка программы: " when it is not the program's own).
std::string StartupFailureMessage(const std::exception& error);

}  // namespace ns

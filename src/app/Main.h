#pragma once
// TFormMain: the main window. It owns the run queue, starts the backup
// worker and hosts it: the worker's requests for COM work (which must run on
// this thread) arrive as messages, and the window decides whether closing it
// ends the program.
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
#include "win/UniqueHandle.h"

namespace ns {

inline constexpr int ExitTaskFailed = 1;
inline constexpr int ExitHandOverNotTaken = 2;

class TFormMain : public IWorkerHost {
 public:
  explicit TFormMain(TApplication& application);
  ~TFormMain() override;
  TFormMain(const TFormMain&) = delete;
  TFormMain& operator=(const TFormMain&) = delete;

  HWND Handle() const { return handle_; }

  // The list, the log and the buttons that fill the window.
  TMainPanel& Panel1() { return *panel_; }

  // Start-up and shutdown of the instance.
  // `arguments`: the task names of the command line, without the program.
  void FormCreate(const std::vector<std::string>& arguments);
  void FormDestroy();

  void StartWorker();
  void ShowMainWindow();

  // Shared with the worker and the listener, which may outlive the window by
  // a moment at shutdown: they hold their own references.
  std::shared_ptr<TRunQueue> RunQueue;
  std::shared_ptr<TServersText> ServersText;

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

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  void FormShow();
  // True when the window may close; false when it was hidden instead.
  bool FormClose();
  void ReadServersText();
  bool IsFirstInstance();
  void QueueCommandLine(const std::vector<std::string>& arguments);
  void RecordStartupFailure(const std::vector<std::string>& arguments, const std::string& message);

  LRESULT SendWorkerRequest(unsigned message, PlatformVersion version, const TInfobaseLogon& logon);

  TApplication& application_;
  HWND handle_ = nullptr;
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

#pragma once
// TFormMain: the main window. It owns the run queue, starts the backup
// worker, answers the worker's requests for COM work (which must run on this
// thread) and decides whether closing it ends the program.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainPanel.h"
#include "app/RunQueue.h"
#include "app/ServersText.h"
#include "app/Sharedmemory.h"
#include "win/UniqueHandle.h"

namespace ns {

class TFormMain {
 public:
  explicit TFormMain(TApplication& application);
  ~TFormMain();
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

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  void FormShow();
  // True when the window may close; false when it was hidden instead.
  bool FormClose();
  void ReadServersText();
  bool IsFirstInstance();
  void QueueCommandLine(const std::vector<std::string>& arguments);

  TApplication& application_;
  HWND handle_ = nullptr;
  std::unique_ptr<TMainPanel> panel_;
  THandOverListener listener_;
  UniqueHandle instanceMutex_;
  UniqueHandle workerThread_;
  bool socketsStarted_ = false;
};

// The one main window of the process.
extern TFormMain* FormMain;

}  // namespace ns

#include "app/Main.h"

#include <winsock2.h>

#include "app/CommandLine.h"
#include "app/WindowMessages.h"
#include "base/Exception.h"
#include "res/ResourceIds.h"
#include "backup/BackupWorker.h"
#include "backup/Messages.h"
#include "backup/StartupFailure.h"
#include "backup/TaskStatus.h"
#include "platform/Connector.h"
#include "platform/PlatformDiscovery.h"
#include "platform/SessionTermination.h"
#include "tasks/TaskStore.h"
#include "win/ThreadState.h"

namespace ns {

namespace {

constexpr char MainWindowClassName[] = "TFormMain";
constexpr char MainWindowCaption[] = "Nightshelf";
constexpr int ClientWidth = 633;
constexpr int ClientHeight = 374;
// Below this the button bar and the columns no longer fit.
constexpr int MinimumClientWidth = 400;
constexpr int MinimumClientHeight = 200;

// The close handling waits this long before it looks at the worker, so that a
// worker that has just asked to close the program has ended by then.
constexpr DWORD CloseDelayMs = 100;

// A worker that has finished its run only has to return; this bounds the wait
// for it before the next one starts, and before a hidden instance that the
// worker asked to close really closes.
constexpr DWORD WorkerReturnLimitMs = 5000;

}  // namespace

TFormMain::TFormMain(TApplication& application)
    : runQueue_(std::make_shared<TRunQueue>()),
      serversText_(std::make_shared<TServersText>()),
      application_(application),
      listener_(runQueue_) {
  // In the middle of the screen.
  constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  SIZE outer = OuterSize(ClientWidth, ClientHeight, style, 0);
  CreateForm({.ClassName = MainWindowClassName,
              .Caption = MainWindowCaption,
              .Style = style,
              .Left = (GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2,
              .Top = (GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2,
              .Width = ClientWidth,
              .Height = ClientHeight,
              .Icon = LoadIconA(application.Instance(), MAKEINTRESOURCEA(IDI_NIGHTSHELF))});
  panel_ = std::make_unique<TMainPanel>(Handle(), runQueue_);
  panel_->Layout(ClientWidth, ClientHeight);
  application.SetMainWindow(Handle());
}

// The window goes first: the listener and the worker that may still send to
// it find no window rather than one whose members are gone.
TFormMain::~TFormMain() { DestroyForm(); }

void TFormMain::StartUp(const std::vector<std::string>& arguments) {
  try {
    LocateInstalledPlatforms();
    if (!InstalledPlatforms.Found82 && !InstalledPlatforms.Found83) {
      throw Exception("Не установлена система 1С:Предприятие 8.x");
    }
    listener_.Start();
    WSADATA sockets;
    socketsStarted_ = WSAStartup(0x0101, &sockets) == 0;

    if (IsFirstInstance()) {
      listener_.Accept(Handle());
      if (!arguments.empty()) {
        startedWithTasks_ = true;
        application_.SetShowMainWindow(false);
        // Read before the first task can end, so that its report already
        // reaches the listed computers.
        ReadServersText();
        QueueCommandLine(arguments);
        PostMessageA(Handle(), WM_START_WORKER, 0, 0);
      }
    } else {
      application_.SetShowMainWindow(false);
      // A later start ends once its message loop runs, whether or not the
      // hand-over was taken.
      PostMessageA(application_.Handle(), WM_CLOSE, 0, 0);
      if (!HandOver(listener_.Channel(), arguments.empty() ? std::vector<std::string>{std::string(ShowRequest)}
                                                           : BuildHandOverTexts(arguments))) {
        exitCode_ = ExitHandOverNotTaken;
      }
    }
  } catch (const std::exception& error) {
    if (arguments.empty()) {
      MessageBoxA(Handle(), error.what(), MainWindowCaption, MB_ICONERROR | MB_OK);
    } else {
      // Tasks the scheduler asked for did not run. Nobody may be there to
      // close a box, and a box left open keeps this start alive, which
      // keeps every later start of the scheduled task from running: the
      // failure goes where a failed run's goes, and the start ends.
      exitCode_ = ExitTaskFailed;
      RecordStartupFailure(arguments, StartupFailureMessage(error));
    }
    application_.SetShowMainWindow(false);
    application_.Terminate();
  }
}

void TFormMain::RecordStartupFailure(const std::vector<std::string>& arguments, const std::string& message) {
  try {
    if (!socketsStarted_) {
      WSADATA sockets;
      socketsStarted_ = WSAStartup(0x0101, &sockets) == 0;
    }
    std::string servers;
    ns::ReadServersText(servers);
    ns::RecordStartupFailure(arguments, message, servers);
  } catch (const std::exception&) {
    // The exit code still tells the scheduler.
  }
}

std::string StartupFailureMessage(const std::exception& error) {
  if (!InstalledPlatforms.Found82 && !InstalledPlatforms.Found83) return std::string(MessagePlatformNotInstalled);
  if (dynamic_cast<const Exception*>(&error)) return error.what();
  return std::string(MessageProgramError) + error.what();
}

void TFormMain::ShutDown() {
  listener_.Stop();
  instanceMutex_.reset();
  if (socketsStarted_) WSACleanup();
  socketsStarted_ = false;
  // The run queue is shared with the listener and the worker, which release
  // their references when they end.
}

bool TFormMain::IsFirstInstance() {
  instanceMutex_.reset(CreateMutexA(nullptr, FALSE, InstanceMutexName));
  DWORD error = GetLastError();
  return error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED;
}

void TFormMain::QueueCommandLine(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "*") {
      runQueue_->QueueAllTasks(ListTaskNames());
      return;
    }
    runQueue_->SetStatus(argument, StatusQueued);
  }
}

void TFormMain::StartWorker() {
  // The run queue knows whether a run is active; a worker that has finished
  // its run but not yet returned does not keep a new one from starting.
  if (!runQueue_->TryBeginRun()) return;
  if (workerThread_) WaitForSingleObject(workerThread_.get(), WorkerReturnLimitMs);
  auto* context = new TWorkerContext{runQueue_, serversText_, this};
  workerThread_.reset(CreateThread(nullptr, 0, BackupWorker, context, 0, nullptr));
  if (!workerThread_) {
    delete context;
    runQueue_->AbandonRun();
  }
}

bool TFormMain::TestConnection(const TInfobaseLogon& logon, PlatformVersion version) {
  return SendWorkerRequest(WM_TEST_CONNECTION, version, logon) != 0;
}

void TFormMain::EndSessions(const TInfobaseLogon& logon, PlatformVersion version) {
  SendWorkerRequest(WM_END_SESSIONS, version, logon);
}

LRESULT TFormMain::SendWorkerRequest(unsigned message, PlatformVersion version, const TInfobaseLogon& logon) {
  TWorkerRequests::TRequest request(workerRequests_, logon);
  return SendMessageA(Handle(), message, static_cast<WPARAM>(version), static_cast<LPARAM>(request.Tag()));
}

void TFormMain::TaskListChanged() { PostMessageA(Handle(), WM_REFRESH_TASKS, 0, 0); }

void TFormMain::ShowStage(const std::string& stage) {
  {
    std::lock_guard<std::mutex> hold(stageLock_);
    stage_ = stage;
  }
  PostMessageA(Handle(), WM_SHOW_STAGE, 0, 0);
}

void TFormMain::RunEnded(bool allSucceeded) {
  if (!allSucceeded && startedWithTasks_) exitCode_ = ExitTaskFailed;
  // A hidden instance has nothing more to do. (The close handling keeps the
  // program alive if a task is handed over from now on.)
  if (!IsWindowVisible(Handle())) PostMessageA(application_.Handle(), WM_CLOSE, 0, 0);
}

void TFormMain::ShowMainWindow() {
  application_.SetShowMainWindow(true);
  ShowWindow(Handle(), IsIconic(Handle()) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(Handle());
}

void TFormMain::OnShown() { PostMessageA(Handle(), WM_REFRESH_TASKS, 0, 0); }

bool TFormMain::CloseOrHide() {
  Sleep(CloseDelayMs);
  // A worker whose run is over asked for this close itself and only has to
  // return. Entries in the queue are work not yet done: a task handed over
  // just as the last worker ended is waiting for its WM_START_WORKER.
  DWORD returnWaitMs = runQueue_->IsRunActive() ? 0 : WorkerReturnLimitMs;
  if (IsThreadRunning(workerThread_.get(), returnWaitMs) ||
      runQueue_->Count() > 0) {
    ShowWindow(Handle(), SW_HIDE);
    return false;
  }
  return true;
}

void TFormMain::ReadServersText() {
  std::string servers;
  if (ns::ReadServersText(servers)) serversText_->Set(std::move(servers));
}

void TFormMain::ShowError(const std::exception& error) {
  if (IsWindowVisible(Handle())) {
    MessageBoxA(Handle(), error.what(), MainWindowCaption, MB_ICONERROR | MB_OK);
  } else if (startedWithTasks_) {
    exitCode_ = ExitTaskFailed;
  }
}

LRESULT TFormMain::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TEST_CONNECTION: {
      const auto* request = workerRequests_.Find(static_cast<std::uintptr_t>(lParam));
      if (!request) return 0;
      return ns::TestConnection(request->ConnectionString(), static_cast<PlatformVersion>(wParam)).Opened ? 1 : 0;
    }
    case WM_END_SESSIONS: {
      const auto* request = workerRequests_.Find(static_cast<std::uintptr_t>(lParam));
      if (request) TerminateSessions(request->Logon(), static_cast<PlatformVersion>(wParam));
      return 0;
    }
    case WM_REFRESH_TASKS: {
      // A tag names the task to select, kept in this process by whoever
      // posted it; a tag nobody here gave out comes from a stranger.
      std::string name;
      if (lParam != 0 && !TakeRefreshSelection(Handle(), lParam, name)) return 0;
      panel_->RefreshTaskList(name);
      ReadServersText();
      return 0;
    }
    case WM_SIZE:
      if (panel_) panel_->Layout(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_SETFOCUS:
      if (panel_) panel_->FocusList();
      return 0;
    case WM_GETMINMAXINFO: {
      SIZE minimum = OuterSize(MinimumClientWidth, MinimumClientHeight, GetWindowLongA(Handle(), GWL_STYLE), 0);
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {minimum.cx, minimum.cy};
      return 0;
    }
    case WM_START_WORKER:
      StartWorker();
      return 0;
    case WM_SHOW_STAGE: {
      std::string stage;
      {
        std::lock_guard<std::mutex> hold(stageLock_);
        stage = stage_;
      }
      panel_->ShowStage(stage);
      return 0;
    }
    case WM_SHOW_MAIN_WINDOW:
      ShowMainWindow();
      return 0;
    case WM_SHOWWINDOW:
      if (wParam) OnShown();
      break;
    case WM_CLOSE:
      if (CloseOrHide()) application_.Terminate();
      return 0;
  }
  return TForm::WndProc(message, wParam, lParam);
}

}  // namespace ns

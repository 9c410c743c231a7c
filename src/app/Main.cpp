#include "app/Main.h"

#include <winsock2.h>

#include "app/CommandLine.h"
#include "app/WindowMessages.h"
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
#include "win/Win32Error.h"
#include "win/WindowObject.h"

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
    : RunQueue(std::make_shared<TRunQueue>()),
      ServersText(std::make_shared<TServersText>()),
      application_(application),
      listener_(RunQueue) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = application.Instance();
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = MainWindowClassName;
  windowClass.hIcon = LoadIconA(application.Instance(), MAKEINTRESOURCEA(IDI_NIGHTSHELF));
  RegisterClassA(&windowClass);

  DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT frame = {0, 0, ClientWidth, ClientHeight};
  AdjustWindowRect(&frame, style, FALSE);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  handle_ = CreateWindowExA(0, MainWindowClassName, MainWindowCaption, style, left, top, width, height,
                            nullptr, nullptr, application.Instance(), this);
  if (!handle_) ThrowLastError("CreateWindowExA");
  panel_ = std::make_unique<TMainPanel>(handle_, RunQueue);
  panel_->Layout(ClientWidth, ClientHeight);
  application.SetMainWindow(handle_);
}

TFormMain::~TFormMain() {
  if (handle_) {
    SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
    DestroyWindow(handle_);
  }
}

void TFormMain::FormCreate(const std::vector<std::string>& arguments) {
  try {
    LocateInstalledPlatforms();
    if (!InstalledPlatforms.Found82 && !InstalledPlatforms.Found83) {
      throw Exception("Не установлена система 1С:Предприятие 8.x");
    }
    listener_.Start();
    WSADATA sockets;
    socketsStarted_ = WSAStartup(0x0101, &sockets) == 0;

    if (IsFirstInstance()) {
      listener_.Accept(handle_);
      if (!arguments.empty()) {
        startedWithTasks_ = true;
        application_.ShowMainForm = false;
        // Read before the first task can end, so that its report already
        // reaches the listed computers.
        ReadServersText();
        QueueCommandLine(arguments);
        PostMessageA(handle_, WM_START_WORKER, 0, 0);
      }
    } else {
      application_.ShowMainForm = false;
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
      MessageBoxA(handle_, error.what(), MainWindowCaption, MB_ICONERROR | MB_OK);
    } else {
      // Tasks the scheduler asked for did not run. Nobody may be there to
      // close a box, and a box left open keeps this start alive, which
      // keeps every later start of the scheduled task from running: the
      // failure goes where a failed run's goes, and the start ends.
      exitCode_ = ExitTaskFailed;
      RecordStartupFailure(arguments, StartupFailureMessage(error));
    }
    application_.ShowMainForm = false;
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

void TFormMain::FormDestroy() {
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
      RunQueue->QueueAllTasks(ListTaskNames());
      return;
    }
    RunQueue->SetStatus(argument, StatusQueued);
  }
}

void TFormMain::StartWorker() {
  // The run queue knows whether a run is active; a worker that has finished
  // its run but not yet returned does not keep a new one from starting.
  if (!RunQueue->TryBeginRun()) return;
  if (workerThread_) WaitForSingleObject(workerThread_.get(), WorkerReturnLimitMs);
  auto* context = new TWorkerContext{RunQueue, ServersText, this};
  workerThread_.reset(CreateThread(nullptr, 0, BackupWorker, context, 0, nullptr));
  if (!workerThread_) {
    delete context;
    RunQueue->AbandonRun();
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
  return SendMessageA(handle_, message, static_cast<WPARAM>(version), static_cast<LPARAM>(request.Tag()));
}

void TFormMain::TaskListChanged() { PostMessageA(handle_, WM_REFRESH_TASKS, 0, 0); }

void TFormMain::ShowStage(const std::string& stage) {
  {
    std::lock_guard<std::mutex> hold(stageLock_);
    stage_ = stage;
  }
  PostMessageA(handle_, WM_SHOW_STAGE, 0, 0);
}

void TFormMain::RunEnded(bool allSucceeded) {
  if (!allSucceeded && startedWithTasks_) exitCode_ = ExitTaskFailed;
  // A hidden instance has nothing more to do. (The close handling keeps the
  // program alive if a task is handed over from now on.)
  if (!IsWindowVisible(handle_)) PostMessageA(application_.Handle(), WM_CLOSE, 0, 0);
}

void TFormMain::ShowMainWindow() {
  application_.ShowMainForm = true;
  ShowWindow(handle_, IsIconic(handle_) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(handle_);
}

void TFormMain::FormShow() { PostMessageA(handle_, WM_REFRESH_TASKS, 0, 0); }

bool TFormMain::FormClose() {
  Sleep(CloseDelayMs);
  // A worker whose run is over asked for this close itself and only has to
  // return. Entries in the queue are work not yet done: a task handed over
  // just as the last worker ended is waiting for its WM_START_WORKER.
  DWORD returnWaitMs = RunQueue->IsRunActive() ? 0 : WorkerReturnLimitMs;
  if (IsThreadRunning(workerThread_.get(), returnWaitMs) ||
      RunQueue->Count() > 0) {
    ShowWindow(handle_, SW_HIDE);
    return false;
  }
  return true;
}

void TFormMain::ReadServersText() {
  std::string servers;
  if (ns::ReadServersText(servers)) ServersText->Set(std::move(servers));
}

LRESULT CALLBACK TFormMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = WindowObject<TFormMain>(window, message, lParam);
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCCREATE) self->handle_ = window;
  try {
    return self->Dispatch(message, wParam, lParam);
  } catch (const std::exception& error) {
    // A hidden instance runs the scheduler's tasks with nobody to close a
    // box: the failure shows in its exit code instead.
    if (IsWindowVisible(window)) {
      MessageBoxA(window, error.what(), MainWindowCaption, MB_ICONERROR | MB_OK);
    } else if (self->startedWithTasks_) {
      self->exitCode_ = ExitTaskFailed;
    }
    return 0;
  }
}

LRESULT TFormMain::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
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
      if (lParam != 0 && !TakeRefreshSelection(handle_, lParam, name)) return 0;
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
      SIZE minimum = OuterSize(MinimumClientWidth, MinimumClientHeight, GetWindowLongA(handle_, GWL_STYLE), 0);
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
      if (wParam) FormShow();
      return DefWindowProcA(handle_, message, wParam, lParam);
    case WM_CLOSE:
      if (FormClose()) application_.Terminate();
      return 0;
    default:
      return DefWindowProcA(handle_, message, wParam, lParam);
  }
}

}  // namespace ns

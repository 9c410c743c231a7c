#include "app/HandOver.h"

#include <atomic>
#include <cstring>

#include "app/CommandLine.h"
#include "app/WindowMessages.h"
#include "tasks/TaskStore.h"
#include "win/Win32Error.h"

namespace ns {

namespace {

// How often a sender looks whether its text has been taken, and pulses again.
constexpr DWORD HandOverPollMs = 50;

// A listener woken by its stop event ends at once; this only bounds the
// wait should the system not schedule it.
constexpr DWORD ListenerStopLimitMs = 5000;

// How many senders' worth of waiting a sender accepts before it gives up on
// the sender mutex: the scheduler may start a dozen tasks in one minute.
constexpr DWORD SendersAhead = 16;

UniqueView MapBlock(HANDLE mapping, DWORD access) {
  return UniqueView(MapViewOfFile(mapping, access, 0, 0, HandOverMappingSize));
}

bool BlockIsEmpty(HANDLE mapping) {
  UniqueView view = MapBlock(mapping, FILE_MAP_READ);
  return view && static_cast<const char*>(view.get())[0] == '\0';
}

// Waits until the block is empty, pulsing the event meanwhile: a listener
// that was not ready at the first pulse takes the text at a later one.
bool WaitUntilTaken(THandOverChannel& channel, DWORD limitMs) {
  for (DWORD waited = 0;; waited += HandOverPollMs) {
    if (BlockIsEmpty(channel.Mapping.get())) return true;
    if (waited >= limitMs) return false;
    PulseEvent(channel.Event.get());
    Sleep(HandOverPollMs);
  }
}

UniqueHandle DuplicateForThread(HANDLE handle) {
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    ThrowLastError("DuplicateHandle");
  }
  return UniqueHandle(copy);
}

}  // namespace

void OpenChannel(THandOverChannel& channel) {
  channel.Mapping.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                           HandOverMappingSize, HandOverMappingName));
  if (!channel.Mapping) ThrowLastError("CreateFileMappingA");
  channel.Event.reset(CreateEventA(nullptr, TRUE, FALSE, HandOverEventName));
  if (!channel.Event) ThrowLastError("CreateEventA");
}

void CloseChannel(THandOverChannel& channel) {
  channel.Mapping.reset();
  channel.Event.reset();
}

void WriteHandOverText(char* block, std::string_view text) {
  size_t length = std::min<size_t>(text.size(), HandOverMappingSize - 1);
  // The first byte goes through volatile stores with fences between them:
  // the compiler would otherwise drop the first store as overwritten later,
  // or move either across the copy, and the processor must make the rest
  // visible before the first byte.
  volatile char* first = block;
  *first = '\0';
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (length > 1) std::memcpy(block + 1, text.data() + 1, length - 1);
  if (length > 0) block[length] = '\0';
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (length > 0) *first = text[0];
}

bool TakeHandOverText(char* block, std::string& text) {
  volatile char* first = block;
  char head = *first;
  if (head == '\0') return false;
  std::atomic_thread_fence(std::memory_order_seq_cst);
  text.assign(1, head);
  const char* rest = block + 1;
  text.append(rest, strnlen(rest, HandOverMappingSize - 1));
  std::atomic_thread_fence(std::memory_order_seq_cst);
  // A sender that gave up waiting for this text empties the first byte
  // before it writes over the rest: what was read may be mixed, and is not
  // taken.
  if (*first != head) return false;
  *first = '\0';  // taken: the sender may go on, and a stray pulse finds nothing
  return true;
}

void SendHandOver(THandOverChannel& channel, const std::string& text) {
  UniqueView view = MapBlock(channel.Mapping.get(), FILE_MAP_WRITE);
  if (!view) ThrowLastError("MapViewOfFile");
  WriteHandOverText(static_cast<char*>(view.get()), text);
  view.reset();
  PulseEvent(channel.Event.get());
}

bool HandOver(THandOverChannel& channel, const std::vector<std::string>& texts, DWORD limitMs) {
  UniqueHandle senders(CreateMutexA(nullptr, FALSE, HandOverSenderMutexName));
  if (!senders) ThrowLastError("CreateMutexA");
  // A sender that died holding the mutex leaves it abandoned: ours then.
  DWORD wait = WaitForSingleObject(senders.get(), limitMs * SendersAhead);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return false;
  struct TRelease {
    HANDLE mutex;
    ~TRelease() { ReleaseMutex(mutex); }
  } release{senders.get()};
  for (const std::string& text : texts) {
    // Another later instance may have written just before us. A text that
    // is still not taken when the time is up was given up by its sender; it
    // must not block every hand-over after it.
    WaitUntilTaken(channel, limitMs);
    SendHandOver(channel, text);
    if (!WaitUntilTaken(channel, limitMs)) return false;
  }
  return true;
}

struct THandOverListener::TShared {
  std::shared_ptr<TRunQueue> Queue;
  UniqueHandle Mapping;
  UniqueHandle Event;
  // This listener's own: the named event is shared by every instance, and a
  // pulse that comes while the thread is between its flag test and its wait
  // is lost, where a set event of its own is not.
  UniqueHandle StopEvent;
  std::atomic<bool> Stop{true};
  std::atomic<HWND> Window{nullptr};
};

THandOverListener::THandOverListener(std::shared_ptr<TRunQueue> queue)
    : shared_(std::make_shared<TShared>()) {
  shared_->Queue = std::move(queue);
}

THandOverListener::~THandOverListener() { Stop(); }

void THandOverListener::Start() {
  OpenChannel(channel_);
  // The thread keeps handles of its own, so that closing the channel at
  // shutdown never pulls an object out from under its wait.
  shared_->Mapping = DuplicateForThread(channel_.Mapping.get());
  shared_->Event = DuplicateForThread(channel_.Event.get());
  shared_->StopEvent.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!shared_->StopEvent) ThrowLastError("CreateEventA");
  shared_->Stop = false;
  auto* parameter = new std::shared_ptr<TShared>(shared_);
  thread_.reset(CreateThread(nullptr, 0, HandOverListener, parameter, 0, nullptr));
  if (!thread_) {
    delete parameter;
    ThrowLastError("CreateThread");
  }
}

void THandOverListener::Accept(HWND mainWindow) { shared_->Window = mainWindow; }

void THandOverListener::Stop() {
  shared_->Window = nullptr;
  shared_->Stop = true;
  if (thread_) {
    SetEvent(shared_->StopEvent.get());
    WaitForSingleObject(thread_.get(), ListenerStopLimitMs);
    thread_.reset();
  }
  if (channel_.Event) PulseEvent(channel_.Event.get());
  CloseChannel(channel_);
}

DWORD WINAPI THandOverListener::HandOverListener(void* parameter) {
  std::unique_ptr<std::shared_ptr<TShared>> owner(static_cast<std::shared_ptr<TShared>*>(parameter));
  TShared& shared = **owner;
  HANDLE wakers[] = {shared.StopEvent.get(), shared.Event.get()};
  while (!shared.Stop) {
    if (WaitForMultipleObjects(2, wakers, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) break;
    ResetEvent(shared.Event.get());
    if (shared.Stop) break;
    HWND window = shared.Window;
    if (!window) continue;  // not the first instance, or not ready yet: the sender pulses again

    UniqueView view = MapBlock(shared.Mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE);
    if (!view) continue;
    std::string text;
    if (!TakeHandOverText(static_cast<char*>(view.get()), text)) continue;
    view.reset();

    try {
      if (text == ShowRequest) {
        PostMessageA(window, WM_SHOW_MAIN_WINDOW, 0, 0);
        continue;
      }
      THandOverTasks tasks = ParseHandOverText(text);
      for (const std::string& name : tasks.Names) shared.Queue->QueueTask(name);
      if (tasks.AllTasks) shared.Queue->QueueAllTasks(ListTaskNames());
      if (IsWindowVisible(window)) PostMessageA(window, WM_REFRESH_TASKS, 0, 0);
      PostMessageA(window, WM_START_WORKER, 0, 0);
    } catch (const std::exception&) {
      // A hand-over that cannot be taken apart is dropped; the listener
      // must stay alive for the next one.
    }
  }
  return 0;
}

}  // namespace ns

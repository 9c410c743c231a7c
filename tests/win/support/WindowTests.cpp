#include "WindowTests.h"

#include <cstring>

#include "win/Form.h"

namespace ns::test {

namespace {

// How often the watchers look for new windows.
constexpr DWORD PollMs = 20;

struct TSearch {
  const char* ClassName;
  HWND Found = nullptr;
};

BOOL CALLBACK FindOwnTopLevel(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<TSearch*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, search->ClassName) != 0) return TRUE;
  search->Found = window;
  return FALSE;
}

struct TBoxParts {
  std::string Text;
  HICON Icon = nullptr;
};

BOOL CALLBACK ReadBoxPart(HWND child, LPARAM parameter) {
  auto* parts = reinterpret_cast<TBoxParts*>(parameter);
  char className[64] = {};
  GetClassNameA(child, className, sizeof className);
  if (_stricmp(className, "Static") != 0) return TRUE;
  if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    parts->Icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
  } else {
    parts->Text += TextOf(child);
  }
  return TRUE;
}

TBoxIcon IconKind(HICON icon) {
  if (!icon) return TBoxIcon::None;
  if (icon == LoadIcon(nullptr, IDI_HAND)) return TBoxIcon::Error;
  if (icon == LoadIcon(nullptr, IDI_QUESTION)) return TBoxIcon::Question;
  if (icon == LoadIcon(nullptr, IDI_EXCLAMATION)) return TBoxIcon::Warning;
  if (icon == LoadIcon(nullptr, IDI_ASTERISK)) return TBoxIcon::Information;
  return TBoxIcon::Other;
}

struct TChildSearch {
  const char* ClassName;
  const char* Text;
  HWND Found = nullptr;
};

BOOL CALLBACK FindChildProc(HWND child, LPARAM parameter) {
  auto* search = reinterpret_cast<TChildSearch*>(parameter);
  char className[64] = {};
  GetClassNameA(child, className, sizeof className);
  if (_stricmp(className, search->ClassName) != 0) return TRUE;
  if (search->Text && TextOf(child) != search->Text) return TRUE;
  search->Found = child;
  return FALSE;
}

}  // namespace

HWND FindOwnWindow(const char* className) {
  TSearch search{className};
  EnumWindows(FindOwnTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

TBoxWatcher::TBoxWatcher(int answer) : answer_(answer), thread_([this] { Watch(); }) {}

TBoxWatcher::~TBoxWatcher() {
  stop_ = true;
  thread_.join();
}

std::vector<TBoxSeen> TBoxWatcher::Seen() const {
  std::lock_guard<std::mutex> hold(lock_);
  return seen_;
}

void TBoxWatcher::Watch() {
  while (!stop_) {
    HWND box = FindOwnWindow("#32770");
    if (!box) {
      Sleep(PollMs);
      continue;
    }
    // The box fills its controls while it is being shown.
    Sleep(PollMs);
    TBoxParts parts;
    EnumChildWindows(box, ReadBoxPart, reinterpret_cast<LPARAM>(&parts));
    {
      std::lock_guard<std::mutex> hold(lock_);
      seen_.push_back({TextOf(box), parts.Text, IconKind(parts.Icon)});
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, answer_)));
    while (!stop_ && IsWindow(box) && IsWindowVisible(box)) Sleep(PollMs);
  }
}

TWindowAction::TWindowAction(std::string className, std::function<void(HWND)> action, DWORD timeoutMs)
    : thread_([this, className = std::move(className), action = std::move(action), timeoutMs] {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
          if (HWND window = FindOwnWindow(className.c_str())) {
            ran_ = true;
            action(window);
            return;
          }
          Sleep(PollMs);
        }
      }) {}

TWindowAction::~TWindowAction() {
  if (thread_.joinable()) thread_.join();
}

bool TWindowAction::Ran() {
  if (thread_.joinable()) thread_.join();
  return ran_;
}

void PumpMessages(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (TForm::PreTranslate(message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void PostKey(HWND control, UINT virtualKey) {
  UINT scan = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  PostMessageA(control, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
  PostMessageA(control, WM_KEYUP, virtualKey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

void Click(HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }

std::string TextOf(HWND window) {
  int length = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
  std::string text(length + 1, '\0');
  length = static_cast<int>(SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(length);
  return text;
}

HWND FindChild(HWND parent, const char* className, const char* text) {
  TChildSearch search{className, text};
  EnumChildWindows(parent, FindChildProc, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

}  // namespace ns::test

#pragma once
// Support for window tests that run in the test's own process under Wine:
// the forms are created for real on the test's thread, and whatever blocks
// that thread (a message box, a modal dialog) is read and answered from a
// watcher thread, as a person at the screen would.
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ns::test {

enum class TBoxIcon { None, Error, Question, Warning, Information, Other };

struct TBoxSeen {
  std::string Caption;
  std::string Text;
  TBoxIcon Icon = TBoxIcon::None;
};

// Answers every message box this process shows while it lives: reads its
// caption, text and icon, then presses the button `answer` (IDOK, IDYES,
// IDNO, ...). Boxes are answered one after the other, in the order they
// appear.
class TBoxWatcher {
 public:
  explicit TBoxWatcher(int answer);
  ~TBoxWatcher();
  TBoxWatcher(const TBoxWatcher&) = delete;
  TBoxWatcher& operator=(const TBoxWatcher&) = delete;

  std::vector<TBoxSeen> Seen() const;

 private:
  void Watch();

  int answer_;
  std::atomic<bool> stop_{false};
  mutable std::mutex lock_;
  std::vector<TBoxSeen> seen_;
  std::thread thread_;
};

// Runs `action` on a thread of its own once a visible top-level window of
// this process with the class `className` appears (a modal dialog the test's
// thread is about to enter), for example to type into it and close it.
// Gives up after `timeoutMs`; Ran() tells whether the action ran.
class TWindowAction {
 public:
  TWindowAction(std::string className, std::function<void(HWND)> action, DWORD timeoutMs = 10000);
  ~TWindowAction();
  TWindowAction(const TWindowAction&) = delete;
  TWindowAction& operator=(const TWindowAction&) = delete;

  // Waits for the thread and tells whether the window appeared.
  bool Ran();

 private:
  std::atomic<bool> ran_{false};
  std::thread thread_;
};

// The visible top-level window of this process with that class, or null.
HWND FindOwnWindow(const char* className);

// Dispatches the messages of the test's thread for `ms` milliseconds, the
// way the program's message loop does (key preview, dialog keys).
void PumpMessages(DWORD ms = 100);

// Dispatches messages until `done` holds or `timeoutMs` passed; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// Queues a key press (down and up) for a control, as the keyboard would; the
// test's thread delivers it in PumpMessages. From a watcher thread it reaches
// the modal loop that runs on the test's thread.
void PostKey(HWND control, UINT virtualKey);

// Presses a button through BM_CLICK, as automation tools do.
void Click(HWND button);

// Window text of any window, also of another thread's.
std::string TextOf(HWND window);

// The first child (at any depth) with that class and text; null when none.
HWND FindChild(HWND parent, const char* className, const char* text = nullptr);

}  // namespace ns::test

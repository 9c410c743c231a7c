#pragma once
// A visible top-level window to put controls on, which records every
// WM_COMMAND its children send, and the input helpers the control tests use
// to act as a user would.
#include <windows.h>

#include <vector>

#include "win/Form.h"

namespace ns::test {

struct TCommand {
  int id;
  WORD code;
  HWND control;
  bool operator==(const TCommand&) const = default;
};

class THostWindow : public TForm {
 public:
  THostWindow();

  // The commands received so far, in order; TakeCommands also forgets them.
  const std::vector<TCommand>& Commands() const { return commands_; }
  std::vector<TCommand> TakeCommands();

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  std::vector<TCommand> commands_;
};

// Dispatches the messages waiting on this thread.
void PumpMessages();
// Dispatches messages until `done` holds or two seconds have passed; the
// result of `done` at the end.
template <typename Predicate>
bool PumpUntil(Predicate done) {
  for (DWORD start = GetTickCount(); !done() && GetTickCount() - start < 2000; Sleep(10)) PumpMessages();
  return done();
}

// A left click at the centre of `window`, through the system's input queue.
void ClickAt(HWND window);
// A key pressed and released, through the system's input queue.
void PressKey(WORD virtualKey);

}  // namespace ns::test

#pragma once
// A horizontal splitter bar between two controls stacked one over the other.
// Dragging it shows a line where it would go; on release its holder is told
// the new top edge and lays its controls out again.
#include <windows.h>

#include <functional>

#include "win/Form.h"

namespace ns {

class TSplitter : public TForm {
 public:
  TSplitter(HWND parent, int height);

  // The range of top edges (in the holder's client coordinates) the bar may
  // be dragged to; the holder sets it on every layout.
  void SetRange(int minTop, int maxTop);

  std::function<void(int top)> onMoved_;

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int TopFor(LPARAM mouse) const;
  void InvertLine(int top) const;

  int height_;
  int minTop_ = 0;
  int maxTop_ = 0;
  int grip_ = 0;
  int lineTop_ = -1;
};

}  // namespace ns

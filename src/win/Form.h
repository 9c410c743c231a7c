#pragma once
// TForm: the base of the program's windows and dialogs. The object is
// attached to its window at WM_NCCREATE, one static procedure dispatches
// every message to the object's WndProc, and an exception that escapes a
// handler is caught there and shown in a box titled with the window's
// caption, so that no error unwinds through the system's code.
//
// Message loops call TForm::PreTranslate for every message: it gives a form
// with key preview the key presses meant for its controls first and lets
// Tab, Escape and Enter move between the controls as in a dialog.
#include <windows.h>

#include <exception>
#include <string>

namespace ns {

// The font of every form: "MS Sans Serif", 11 pixels high, with its Cyrillic
// characters. One handle for the process, never released.
HFONT FormFont();

// Gives a window and all its child windows the form font.
void ApplyFormFont(HWND window);

// Places `window` at the centre of `owner` (of the screen's work area when
// there is none), kept inside the work area.
void CenterOver(HWND window, HWND owner);

// The outer size of a window whose client area is width × height.
SIZE OuterSize(int width, int height, DWORD style, DWORD exStyle);

class TForm {
 public:
  TForm() = default;
  virtual ~TForm();
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  HWND Handle() const { return handle_; }
  std::string Caption() const;

  // For every message a loop takes from the queue: true when the message was
  // handled here and must not be dispatched.
  static bool PreTranslate(MSG& message);

  // Shows the form as a modal window over `owner`: the owner is disabled
  // until the form closes, the form is centred over it, and a message loop
  // runs until EndModal (or the close box, which ends with IDCANCEL). The
  // form is hidden, not destroyed, when this returns. A WM_QUIT that arrives
  // meanwhile ends the loop and is posted again for the outer loop.
  int ShowModal(HWND owner);
  void EndModal(int result);
  bool IsModal() const { return modal_; }

 protected:
  // Registers the window class once per process (the class name must be
  // unique to the form type) and creates the window for this object.
  // `width` and `height` are the size of the client area.
  void CreateForm(const char* className, const char* caption, DWORD style, DWORD exStyle, int width,
                  int height, HWND parent, HICON icon = nullptr);

  // The form's own handling; the default passes everything to the system.
  virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

  // Key preview: sees WM_KEYDOWN of the form's controls before they do.
  // True when the key was handled (as if the key were set to 0).
  virtual bool KeyPreview(WPARAM /*key*/) { return false; }

  // Shows an error that escaped a handler. The default: a box with the
  // message, titled with the caption of the window's top-level window.
  virtual void ShowError(const std::exception& error);

 private:
  static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static TForm* FromHandle(HWND window);

  HWND handle_ = nullptr;
  bool modal_ = false;
  bool modalEnded_ = false;
  int modalResult_ = 0;
};

// A child window that groups controls, as a panel does: what its controls
// report (commands, notifications, owner drawing, colours) goes on to the
// window that holds the panel, so a form handles its controls wherever they
// sit. Drawn with a raised edge when `raised`.
class TPanel : public TForm {
 public:
  TPanel(HWND parent, int left, int top, int width, int height, bool raised = false);

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool raised_;
};

// Controls drawn by their owner receive WM_DRAWITEM back from a panel or
// form that holds them as this message, with the same parameters, so that a
// control can draw itself.
inline constexpr UINT WM_REFLECTED_DRAWITEM = WM_APP + 0x3F00;

}  // namespace ns

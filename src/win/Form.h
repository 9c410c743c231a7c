#pragma once
// TForm: the one base of the program's windows: the main window, the hidden
// application window, the dialogs, panels and the splitter. It registers the
// window class once per process, creates the window for the object, attaches
// the object at WM_NCCREATE, dispatches every message through one static
// procedure to the object's WndProc and catches there an exception that
// escapes a handler, so that no error unwinds through the system's code; the
// form decides in ShowError how the error is shown.
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

// What a form's window is made of.
struct TFormArgs {
  // Unique to the form type. Other instances and the tests find windows by
  // it, so a form's class name is part of the program's interface.
  const char* ClassName = nullptr;
  const char* Caption = "";
  DWORD Style = 0;
  DWORD ExStyle = 0;
  // The position of the window (in the parent's client coordinates for a
  // child) and the size of its client area.
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  // The parent of a child, the owner of a top-level window.
  HWND Parent = nullptr;
  // The class's icon, registered with the class by the first form of it.
  HICON Icon = nullptr;
};

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
  // Registers the window class once per process and creates the window for
  // this object. Throws EWin32Error when either is refused.
  void CreateForm(const TFormArgs& args);
  // Destroys the window now, before the derived form's members go; no
  // message reaches the object meanwhile. The base destructor does it last.
  void DestroyForm();

  // The form's own handling; the default passes everything to the system.
  virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

  // Key preview: sees WM_KEYDOWN of the form's controls before they do.
  // True when the key was handled (as if the key were set to 0).
  virtual bool KeyPreview(WPARAM /*key*/) { return false; }

  // Shows an error that escaped a handler. The default: a box with the
  // message, titled with the caption of the window's top-level window.
  // A form that may run with nobody at the screen decides otherwise.
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
// sit.
enum class TPanelEdge { None, Raised };

class TPanel : public TForm {
 public:
  TPanel(HWND parent, int left, int top, int width, int height, TPanelEdge edge = TPanelEdge::None);

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  TPanelEdge edge_;
};

// Controls drawn by their owner receive WM_DRAWITEM back from a panel or
// form that holds them as this message, with the same parameters, so that a
// control can draw itself.
inline constexpr UINT WM_REFLECTED_DRAWITEM = WM_APP + 0x3F00;

}  // namespace ns

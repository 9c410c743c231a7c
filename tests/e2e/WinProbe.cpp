// winprobe: what a person would see of Nightshelf's windows, for the
// whole-program scenarios.
//   winprobe box TITLE SECONDS OUTFILE   waits for a message box titled TITLE,
//                                        writes its text to OUTFILE and
//                                        presses its first button
//   winprobe visible CLASS OUTFILE       writes 1 when a visible top-level
//                                        window of that class exists, else 0
//   winprobe window CLASS SECONDS        waits until a top-level window of
//                                        that class exists; exit code 1 when
//                                        none appeared in time
//   winprobe click CLASS TEXT            presses the button TEXT (a button's
//                                        caption or tooltip) of the visible
//                                        window of that class
//   winprobe type CLASS KEYS             types KEYS into whatever has the
//                                        focus in the visible window of that
//                                        class, "|" standing for Enter
//   winprobe close CLASS                 closes the window of that class
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool WriteText(const char* path, const std::string& text) {
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  std::fwrite(text.data(), 1, text.size(), file);
  return std::fclose(file) == 0;
}

struct TBoxSearch {
  const char* Title;
  HWND Found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<TBoxSearch*>(parameter);
  char className[64] = {};
  char title[256] = {};
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, title, sizeof title);
  if (std::strcmp(className, "#32770") == 0 && std::strcmp(title, search->Title) == 0) {
    search->Found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectText(HWND child, LPARAM parameter) {
  char className[64] = {};
  GetClassNameA(child, className, sizeof className);
  if (_stricmp(className, "Static") == 0) {
    char text[2048] = {};
    GetWindowTextA(child, text, sizeof text);
    if (text[0]) *reinterpret_cast<std::string*>(parameter) += text;
  }
  return TRUE;
}

int Box(const char* title, int seconds, const char* outFile) {
  TBoxSearch search = {title, nullptr};
  for (int waited = 0; waited < seconds * 10 && !search.Found; ++waited) {
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (!search.Found) Sleep(100);
  }
  if (!search.Found) return 1;
  std::string text;
  EnumChildWindows(search.Found, CollectText, reinterpret_cast<LPARAM>(&text));
  WriteText(outFile, text);
  PostMessageA(search.Found, WM_COMMAND, IDOK, 0);
  return 0;
}

int Visible(const char* className, const char* outFile) {
  HWND window = FindWindowA(className, nullptr);
  return WriteText(outFile, window && IsWindowVisible(window) ? "1" : "0") ? 0 : 1;
}

int Window(const char* className, int seconds) {
  for (int waited = 0; waited < seconds * 10; ++waited) {
    if (FindWindowA(className, nullptr)) return 0;
    Sleep(100);
  }
  return 1;
}

HWND VisibleWindow(const char* className) {
  for (int waited = 0; waited < 300; ++waited) {
    HWND window = FindWindowA(className, nullptr);
    if (window && IsWindowVisible(window)) return window;
    Sleep(100);
  }
  return nullptr;
}

struct TButtonSearch {
  const char* Text;
  HWND Found;
};

BOOL CALLBACK FindButton(HWND child, LPARAM parameter) {
  auto* search = reinterpret_cast<TButtonSearch*>(parameter);
  char className[64] = {};
  char text[256] = {};
  GetClassNameA(child, className, sizeof className);
  GetWindowTextA(child, text, sizeof text);
  if (_stricmp(className, "Button") == 0 && std::strcmp(text, search->Text) == 0) {
    search->Found = child;
    return FALSE;
  }
  return TRUE;
}

// Posted, not sent: the press may open a modal dialog, which would hold a
// sent message until it closes.
int Click(const char* className, const char* text) {
  HWND window = VisibleWindow(className);
  if (!window) return 1;
  TButtonSearch search = {text, nullptr};
  EnumChildWindows(window, FindButton, reinterpret_cast<LPARAM>(&search));
  if (!search.Found) return 1;
  return PostMessageA(search.Found, BM_CLICK, 0, 0) ? 0 : 1;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

// Characters go to the focused control as the keyboard would send them;
// after Enter the focus must have moved before the next key goes.
int Type(const char* className, const std::string& keys) {
  HWND window = VisibleWindow(className);
  if (!window) return 1;
  // A window is shown a moment before it puts the focus into its first field.
  for (int waited = 0; waited < 250 && !IsChild(window, FocusOf(window)); ++waited) Sleep(20);
  for (char key : keys) {
    HWND focus = FocusOf(window);
    if (!focus) return 1;
    if (key == '|') {
      PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 1);
      PostMessageA(focus, WM_KEYUP, VK_RETURN, 0xC0000001);
      for (int waited = 0; waited < 100 && FocusOf(window) == focus; ++waited) Sleep(20);
    } else {
      PostMessageA(focus, WM_CHAR, static_cast<unsigned char>(key), 1);
      Sleep(20);
    }
  }
  return 0;
}

int Close(const char* className) {
  HWND window = FindWindowA(className, nullptr);
  return window && PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "box") == 0) return Box(argv[2], std::atoi(argv[3]), argv[4]);
  if (argc == 4 && std::strcmp(argv[1], "visible") == 0) return Visible(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "window") == 0) return Window(argv[2], std::atoi(argv[3]));
  if (argc == 4 && std::strcmp(argv[1], "click") == 0) return Click(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "type") == 0) return Type(argv[2], argv[3]);
  if (argc == 3 && std::strcmp(argv[1], "close") == 0) return Close(argv[2]);
  std::fprintf(stderr,
               "usage: winprobe box TITLE SECONDS OUTFILE | visible CLASS OUTFILE | window CLASS SECONDS |"
               " click CLASS TEXT | type CLASS KEYS | close CLASS\n");
  return 2;
}

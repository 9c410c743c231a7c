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

// Holds a named mutex for a while, as a first instance that never takes a
// hand-over would.
int Hold(const char* mutexName, int seconds) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, mutexName);
  if (!mutex) return 1;
  Sleep(static_cast<DWORD>(seconds) * 1000);
  CloseHandle(mutex);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "box") == 0) return Box(argv[2], std::atoi(argv[3]), argv[4]);
  if (argc == 4 && std::strcmp(argv[1], "visible") == 0) return Visible(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "window") == 0) return Window(argv[2], std::atoi(argv[3]));
  if (argc == 4 && std::strcmp(argv[1], "hold") == 0) return Hold(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr,
               "usage: winprobe box TITLE SECONDS OUTFILE | visible CLASS OUTFILE | window CLASS SECONDS"
               " | hold MUTEX SECONDS\n");
  return 2;
}

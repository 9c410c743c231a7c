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
//   winprobe lock PATH SECONDS           holds the file open with no sharing
//                                        (deleted when closed) that long
//   winprobe answer TITLE SECONDS BUTTON OUTFILE
//                                        as box, but presses the button with
//                                        that identifier (6 Yes, 7 No)
//   winprobe mutex NAME SECONDS          waits until a mutex of that name
//                                        exists; exit code 1 when none did
//   winprobe computer OUTFILE            writes the computer's name
//   winprobe list CLASS OUTFILE          writes the rows of the window's list
//                                        view (cells joined by tabs), then
//                                        "selected=N" and the status bar text
//   winprobe select CLASS ROW OUTFILE    selects a row of that list
//   winprobe click CLASS TEXT OUTFILE    presses the button named TEXT in the
//                                        window (posted: a box it opens does
//                                        not block the probe)
//   winprobe close CLASS OUTFILE         asks the window to close, as its
//                                        close box does
//   winprobe mouse X Y OUTFILE           moves the mouse pointer there
//   winprobe rect CLASS OUTFILE          writes "left top width height" of
//                                        the window
//   winprobe type CLASS KEYS OUTFILE     types KEYS into whatever has the
//                                        focus in the window once it is shown,
//                                        "|" standing for Enter
#include <windows.h>
#include <commctrl.h>

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

int Box(const char* title, int seconds, const char* outFile, int button = IDOK) {
  TBoxSearch search = {title, nullptr};
  for (int waited = 0; waited < seconds * 10 && !search.Found; ++waited) {
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (!search.Found) Sleep(100);
  }
  if (!search.Found) return 1;
  std::string text;
  EnumChildWindows(search.Found, CollectText, reinterpret_cast<LPARAM>(&text));
  WriteText(outFile, text);
  PostMessageA(search.Found, WM_COMMAND, button, 0);
  return 0;
}

HWND FindChildOfClass(HWND parent, const char* className, const char* text = nullptr) {
  HWND child = nullptr;
  while ((child = FindWindowExA(parent, child, nullptr, nullptr)) != nullptr) {
    char name[64] = {};
    GetClassNameA(child, name, sizeof name);
    char caption[256] = {};
    GetWindowTextA(child, caption, sizeof caption);
    if (_stricmp(name, className) == 0 && (!text || std::strcmp(caption, text) == 0)) return child;
    if (HWND inner = FindChildOfClass(child, className, text)) return inner;
  }
  return nullptr;
}

// The list view's items live in the other process: the LVITEM and its text
// buffer are placed there and read back.
class TRemoteBuffer {
 public:
  TRemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    memory_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~TRemoteBuffer() {
    VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    CloseHandle(process_);
  }
  char* Address() const { return static_cast<char*>(memory_); }
  void Write(size_t offset, const void* data, size_t size) {
    WriteProcessMemory(process_, Address() + offset, data, size, nullptr);
  }
  void Read(size_t offset, void* data, size_t size) {
    ReadProcessMemory(process_, Address() + offset, data, size, nullptr);
  }

 private:
  size_t size_;
  HANDLE process_;
  void* memory_;
};

constexpr size_t CellSize = 4096;

std::string Cell(HWND list, TRemoteBuffer& buffer, int row, int column) {
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = buffer.Address() + sizeof(LVITEMA);
  item.cchTextMax = CellSize;
  buffer.Write(0, &item, sizeof item);
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(buffer.Address()));
  char text[CellSize] = {};
  buffer.Read(sizeof(LVITEMA), text, CellSize - 1);
  return text;
}

int List(const char* className, const char* outFile) {
  HWND window = FindWindowA(className, nullptr);
  HWND list = window ? FindChildOfClass(window, WC_LISTVIEWA) : nullptr;
  HWND status = window ? FindChildOfClass(window, STATUSCLASSNAMEA) : nullptr;
  if (!list || !status) return 1;
  TRemoteBuffer buffer(list, sizeof(LVITEMA) + CellSize);
  std::string out;
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  int columns = static_cast<int>(SendMessageA(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)),
                                              HDM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) out += (column ? "\t" : "") + Cell(list, buffer, row, column);
    out += "\n";
  }
  int selected = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  char text[256] = {};
  // The status bar's text crosses processes by itself.
  SendMessageA(status, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  out += "selected=" + std::to_string(selected) + "\n" + text;
  return WriteText(outFile, out) ? 0 : 1;
}

int Select(const char* className, int row, const char* outFile) {
  HWND window = FindWindowA(className, nullptr);
  HWND list = window ? FindChildOfClass(window, WC_LISTVIEWA) : nullptr;
  if (!list) return 1;
  TRemoteBuffer buffer(list, sizeof(LVITEMA));
  LVITEMA state = {};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  buffer.Write(0, &state, sizeof state);
  SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(buffer.Address()));
  SetForegroundWindow(window);
  SetFocus(list);
  return WriteText(outFile, "") ? 0 : 1;
}

int Click(const char* className, const char* text, const char* outFile) {
  HWND window = FindWindowA(className, nullptr);
  HWND button = window ? FindChildOfClass(window, "Button", text) : nullptr;
  if (!button) return 1;
  PostMessageA(button, BM_CLICK, 0, 0);
  return WriteText(outFile, "") ? 0 : 1;
}

int Close(const char* className, const char* outFile) {
  HWND window = FindWindowA(className, nullptr);
  if (!window) return 1;
  PostMessageA(window, WM_CLOSE, 0, 0);
  return WriteText(outFile, "") ? 0 : 1;
}

int Mouse(int x, int y, const char* outFile) { return SetCursorPos(x, y) && WriteText(outFile, "") ? 0 : 1; }

int Rect(const char* className, const char* outFile) {
  HWND window = FindWindowA(className, nullptr);
  RECT rect;
  if (!window || !GetWindowRect(window, &rect)) return 1;
  std::string out = std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                    std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top);
  return WriteText(outFile, out) ? 0 : 1;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

// Characters go to the focused control as the keyboard sends them; after
// Enter the focus must have moved on before the next key goes.
int Type(const char* className, const std::string& keys, const char* outFile) {
  HWND window = nullptr;
  for (int waited = 0; waited < 500 && !(window && IsWindowVisible(window)); ++waited) {
    window = FindWindowA(className, nullptr);
    Sleep(20);
  }
  // A window is shown a moment before it puts the focus into its first field.
  for (int waited = 0; waited < 250 && window && !IsChild(window, FocusOf(window)); ++waited) Sleep(20);
  if (!window || !IsChild(window, FocusOf(window))) return 1;
  for (char key : keys) {
    HWND focus = FocusOf(window);
    if (key == '|') {
      PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 1);
      PostMessageA(focus, WM_KEYUP, VK_RETURN, 0xC0000001);
      for (int waited = 0; waited < 100 && FocusOf(window) == focus; ++waited) Sleep(20);
    } else {
      PostMessageA(focus, WM_CHAR, static_cast<unsigned char>(key), 1);
      Sleep(20);
    }
  }
  return WriteText(outFile, "") ? 0 : 1;
}

int Visible(const char* className, const char* outFile) {
  HWND window = FindWindowA(className, nullptr);
  return WriteText(outFile, window && IsWindowVisible(window) ? "1" : "0") ? 0 : 1;
}

// 0 as soon as `done` holds, 1 when it has not within `seconds`.
template <typename TCondition>
int WaitFor(int seconds, TCondition done) {
  for (int waited = 0; waited < seconds * 10; ++waited) {
    if (done()) return 0;
    Sleep(100);
  }
  return 1;
}

int Window(const char* className, int seconds) {
  return WaitFor(seconds, [&] { return FindWindowA(className, nullptr) != nullptr; });
}

// A first instance makes its mutex only once it is sure to be the first.
int Mutex(const char* mutexName, int seconds) {
  return WaitFor(seconds, [&] {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, mutexName);
    if (mutex) CloseHandle(mutex);
    return mutex != nullptr;
  });
}

// The computer's name as the system tells it to every program.
int Computer(const char* outFile) {
  char name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof name;
  return GetComputerNameA(name, &size) && WriteText(outFile, std::string(name, size)) ? 0 : 1;
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

// Holds a file open with no sharing, deleted when closed, as a Nightshelf in
// another session holds the lock of a task it runs.
int Lock(const char* path, int seconds) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  Sleep(static_cast<DWORD>(seconds) * 1000);
  CloseHandle(file);
  return 0;
}

// Watches part `part` of the status bar of the window of `className` for up
// to `seconds`, until the window goes or its text is empty again after it
// was not, and writes each text it showed, in order, a line each: the stages
// a run went through.
int WatchStatus(const char* className, int part, int seconds, const char* outFile) {
  HWND window = nullptr;
  if (WaitFor(60, [&] { return (window = FindWindowA(className, nullptr)) != nullptr; }) != 0) return 1;
  HWND bar = FindChildOfClass(window, STATUSCLASSNAMEA, nullptr);
  if (!bar) return 1;
  std::string seen;
  std::string last;
  // The text is copied into the program's own memory, then read from there.
  TRemoteBuffer buffer(bar, 512);
  for (int waited = 0; waited < seconds * 50 && IsWindow(bar); ++waited) {
    char text[512] = {};
    if (LOWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, part, 0)) < sizeof text) {
      SendMessageA(bar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(buffer.Address()));
      buffer.Read(0, text, sizeof text - 1);
    }
    if (text != last) {
      last = text;
      seen += last + "\n";
      if (last.empty() && seen.size() > 1) break;
    }
    Sleep(20);
  }
  return WriteText(outFile, seen) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "box") == 0) return Box(argv[2], std::atoi(argv[3]), argv[4]);
  if (argc == 4 && std::strcmp(argv[1], "visible") == 0) return Visible(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "window") == 0) return Window(argv[2], std::atoi(argv[3]));
  if (argc == 4 && std::strcmp(argv[1], "hold") == 0) return Hold(argv[2], std::atoi(argv[3]));
  if (argc == 4 && std::strcmp(argv[1], "lock") == 0) return Lock(argv[2], std::atoi(argv[3]));
  if (argc == 4 && std::strcmp(argv[1], "mutex") == 0) return Mutex(argv[2], std::atoi(argv[3]));
  if (argc == 3 && std::strcmp(argv[1], "computer") == 0) return Computer(argv[2]);
  if (argc == 6 && std::strcmp(argv[1], "answer") == 0) {
    return Box(argv[2], std::atoi(argv[3]), argv[5], std::atoi(argv[4]));
  }
  if (argc == 4 && std::strcmp(argv[1], "list") == 0) return List(argv[2], argv[3]);
  if (argc == 5 && std::strcmp(argv[1], "select") == 0) return Select(argv[2], std::atoi(argv[3]), argv[4]);
  if (argc == 5 && std::strcmp(argv[1], "click") == 0) return Click(argv[2], argv[3], argv[4]);
  if (argc == 4 && std::strcmp(argv[1], "close") == 0) return Close(argv[2], argv[3]);
  if (argc == 5 && std::strcmp(argv[1], "mouse") == 0) return Mouse(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
  if (argc == 4 && std::strcmp(argv[1], "rect") == 0) return Rect(argv[2], argv[3]);
  if (argc == 5 && std::strcmp(argv[1], "type") == 0) return Type(argv[2], argv[3], argv[4]);
  if (argc == 6 && std::strcmp(argv[1], "watch-status") == 0) {
    return WatchStatus(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
  }
  std::fprintf(stderr,
               "usage: winprobe box|answer|visible|window|mutex|computer|hold|lock|list|select|click|close|mouse"
               "|rect|type ..."
               " (see the source)\n");
  return 2;
}

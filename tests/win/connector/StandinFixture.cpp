#include "StandinFixture.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>


namespace ns::test {

namespace {

constexpr const char* StatePath = "C:\\standin\\state.ini";

std::vector<TShownBox> shownBoxes;
std::vector<HWND> seenBoxes;
HHOOK boxHook = nullptr;
std::function<void(HWND)> boxWhileOpen;
int boxAnswer = IDOK;
int probeRequests = 0;

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \r");
  size_t last = text.find_last_not_of(" \r");
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::string WindowText(HWND window) {
  char buffer[1024] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

LRESULT CALLBACK CatchBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    // Only dialogs count (the system may activate helper windows of its own),
    // and a box may be activated more than once before it goes.
    char className[64] = {};
    GetClassNameA(box, className, sizeof className);
    if (std::string(className) != "#32770" || std::find(seenBoxes.begin(), seenBoxes.end(), box) != seenBoxes.end()) {
      return CallNextHookEx(boxHook, code, wParam, lParam);
    }
    seenBoxes.push_back(box);
    // A message box keeps its text in the static control 0xFFFF and its icon
    // in the static control 0x0440.
    HWND text = GetDlgItem(box, 0xFFFF);
    HICON icon = reinterpret_cast<HICON>(SendDlgItemMessageA(box, 0x0440, STM_GETICON, 0, 0));
    shownBoxes.push_back({WindowText(box), text ? WindowText(text) : std::string(),
                          icon && icon == LoadIcon(nullptr, IDI_INFORMATION),
                          icon && icon == LoadIcon(nullptr, IDI_ERROR), SessionsByInfobase()});
    if (boxWhileOpen) boxWhileOpen(box);
    PostMessageA(box, WM_COMMAND, boxAnswer, 0);
  }
  return CallNextHookEx(boxHook, code, wParam, lParam);
}

class TCountingFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** out) override {
    ++probeRequests;
    *out = nullptr;
    return E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

TCountingFactory countingFactory;

}  // namespace

int InstalledVersion() {
  const char* version = std::getenv("NS_PLATFORM_VERSION");
  return version && std::string(version) == "1" ? 1 : 2;
}

int MissingVersion() { return 3 - InstalledVersion(); }

void WriteStandinState(const std::string& text) {
  std::ofstream state(StatePath, std::ios::binary | std::ios::trunc);
  ASSERT_TRUE(state) << StatePath;
  state << text;
}

std::map<std::string, std::vector<std::string>> SessionsByInfobase() {
  std::ifstream state(StatePath, std::ios::binary);
  std::map<std::string, std::vector<std::string>> sessions;
  std::string line, section, infobase;
  while (std::getline(state, line)) {
    line = Trimmed(line);
    if (!line.empty() && line[0] == '[') {
      section = line;
      infobase.clear();
    } else if (section == "[Infobase]" && line.rfind("Name=", 0) == 0) {
      infobase = line.substr(5);
      sessions[infobase];
    } else if (section == "[Infobase]" && line.rfind("Session=", 0) == 0) {
      sessions[infobase].push_back(Trimmed(line.substr(8, line.find(',') - 8)));
    }
  }
  return sessions;
}

TBoxCatcher::TBoxCatcher(std::function<void(HWND box)> whileOpen, int answer) {
  boxWhileOpen = std::move(whileOpen);
  boxAnswer = answer;
  shownBoxes.clear();
  seenBoxes.clear();
  boxHook = SetWindowsHookExA(WH_CBT, CatchBox, nullptr, GetCurrentThreadId());
  EXPECT_NE(boxHook, nullptr);
}

TBoxCatcher::~TBoxCatcher() {
  UnhookWindowsHookEx(boxHook);
  boxWhileOpen = nullptr;
}

const std::vector<TShownBox>& TBoxCatcher::Boxes() const { return shownBoxes; }

TConnectorProbe::TConnectorProbe(int version) {
  probeRequests = 0;
  CLSID classId;
  const wchar_t* progId = version == 1 ? L"V82.COMConnector" : L"V83.COMConnector";
  EXPECT_EQ(CLSIDFromProgID(progId, &classId), S_OK);
  EXPECT_EQ(CoRegisterClassObject(classId, &countingFactory, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie_),
            S_OK);
}

TConnectorProbe::~TConnectorProbe() { CoRevokeClassObject(cookie_); }

int TConnectorProbe::Requests() const { return probeRequests; }

}  // namespace ns::test

#include "win/ComError.h"

#include <cstdio>
#include <utility>

#include "win/Bstr.h"
#include "win/Win32Error.h"

namespace ns {

std::string ComErrorText(HRESULT code) {
  std::string text = SystemErrorText(static_cast<DWORD>(code));
  if (!text.empty()) return text;
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "Ошибка COM 0x%08lX", static_cast<unsigned long>(code));
  return buffer;
}

void ThrowComError(HRESULT code, const char* call) { throw EComError(code, call, ComErrorText(code)); }

void ThrowInvokeError(HRESULT code, EXCEPINFO& info, std::string_view member) {
  if (code == DISP_E_EXCEPTION && info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
  // Owned here so that the strings are freed on every path.
  TBstr description(std::exchange(info.bstrDescription, nullptr));
  TBstr source(std::exchange(info.bstrSource, nullptr));
  TBstr helpFile(std::exchange(info.bstrHelpFile, nullptr));
  if (code != DISP_E_EXCEPTION) throw EComError(code, std::string(member), ComErrorText(code));
  HRESULT reported = FAILED(info.scode) ? info.scode : code;
  std::string message = description.Ansi();
  if (message.empty()) message = ComErrorText(reported);
  throw EComError(reported, std::string(member), message);
}

}  // namespace ns

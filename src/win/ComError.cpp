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

void ThrowComError(HRESULT code) { throw EComError(code, ComErrorText(code)); }

void ThrowInvokeError(HRESULT code, EXCEPINFO& info) {
  if (code == DISP_E_EXCEPTION && info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
  // Owned here so that the strings are freed on every path.
  TBstr description(std::exchange(info.bstrDescription, nullptr));
  TBstr source(std::exchange(info.bstrSource, nullptr));
  TBstr helpFile(std::exchange(info.bstrHelpFile, nullptr));
  if (code != DISP_E_EXCEPTION) ThrowComError(code);
  HRESULT reported = FAILED(info.scode) ? info.scode : code;
  std::string message = description.Ansi();
  if (message.empty()) message = ComErrorText(reported);
  throw EComError(reported, message);
}

}  // namespace ns

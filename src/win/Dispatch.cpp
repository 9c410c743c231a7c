#include "win/Dispatch.h"

#include <string>
#include <vector>

#include "win/Bstr.h"
#include "win/ComError.h"

namespace ns {

namespace {

DISPID MemberId(const TComPtr<IDispatch>& object, std::string_view name) {
  if (!object) ThrowComError(E_POINTER, "IDispatch");
  std::wstring wide = AnsiToWide(name);
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  CheckCom(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id), "GetIDsOfNames");
  return id;
}

// `result` may be null when the caller does not want the result.
void Invoke(const TComPtr<IDispatch>& object, std::string_view name, WORD kind,
            std::initializer_list<TVariant> arguments, VARIANT* result) {
  DISPID id = MemberId(object, name);
  // Invoke takes the arguments last to first. The copies are shallow: the
  // caller's variants keep owning what they hold.
  std::vector<VARIANT> reversed;
  reversed.reserve(arguments.size());
  for (auto argument = arguments.end(); argument != arguments.begin();) {
    reversed.push_back((--argument)->get());
  }
  DISPPARAMS parameters{};
  parameters.rgvarg = reversed.data();
  parameters.cArgs = static_cast<UINT>(reversed.size());
  DISPID propertyPut = DISPID_PROPERTYPUT;
  if (kind == DISPATCH_PROPERTYPUT) {
    // The value of a property put is passed as its one named argument.
    parameters.rgdispidNamedArgs = &propertyPut;
    parameters.cNamedArgs = 1;
  }
  EXCEPINFO info{};
  UINT argumentError = 0;
  HRESULT code = object->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, kind, &parameters, result,
                                &info, &argumentError);
  if (FAILED(code)) ThrowInvokeError(code, info, name);
}

}  // namespace

TVariant CallFunction(const TComPtr<IDispatch>& object, std::string_view name,
                      std::initializer_list<TVariant> arguments) {
  TVariant result;
  Invoke(object, name, DISPATCH_METHOD, arguments, result.put());
  return result;
}

void CallProcedure(const TComPtr<IDispatch>& object, std::string_view name,
                   std::initializer_list<TVariant> arguments) {
  Invoke(object, name, DISPATCH_METHOD, arguments, nullptr);
}

TVariant GetProperty(const TComPtr<IDispatch>& object, std::string_view name) {
  TVariant result;
  Invoke(object, name, DISPATCH_PROPERTYGET, {}, result.put());
  return result;
}

void PutProperty(const TComPtr<IDispatch>& object, std::string_view name, const TVariant& value) {
  Invoke(object, name, DISPATCH_PROPERTYPUT, {value}, nullptr);
}

}  // namespace ns

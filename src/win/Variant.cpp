#include "win/Variant.h"

#include <oleauto.h>

#include <utility>

#include "win/Bstr.h"
#include "win/ComError.h"

namespace ns {

namespace {
// The Windows headers declare the source of a copy or conversion without
// const although it is only read.
VARIANT* Source(const VARIANT& value) { return const_cast<VARIANT*>(&value); }
}  // namespace

TVariant::TVariant(std::string_view text) {
  VariantInit(&value_);
  value_.bstrVal = TBstr::FromAnsi(text).release();
  value_.vt = VT_BSTR;
}

TVariant::TVariant(const TComPtr<IDispatch>& object) {
  VariantInit(&value_);
  value_.pdispVal = TComPtr<IDispatch>(object).release();
  value_.vt = VT_DISPATCH;
}

TVariant::TVariant(const TVariant& other) {
  VariantInit(&value_);
  CheckCom(VariantCopy(&value_, Source(other.value_)), "VariantCopy");
}

TVariant::TVariant(TVariant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }

TVariant& TVariant::operator=(TVariant other) noexcept {
  std::swap(value_, other.value_);
  return *this;
}

std::string TVariant::Text() const {
  if (value_.vt == VT_BSTR) return BstrToAnsi(value_.bstrVal);
  TVariant text;
  // VARIANT_NOUSEROVERRIDE keeps the user's regional settings out of how a
  // port number or an identifier reads.
  CheckCom(VariantChangeTypeEx(text.put(), Source(value_), LOCALE_SYSTEM_DEFAULT, VARIANT_NOUSEROVERRIDE, VT_BSTR),
           "VariantChangeTypeEx");
  return BstrToAnsi(text.value_.bstrVal);
}

TComPtr<IDispatch> TVariant::Object() const {
  VARIANT object;
  VariantInit(&object);
  HRESULT result = VariantChangeType(&object, Source(value_), 0, VT_DISPATCH);
  if (FAILED(result)) ThrowComError(result, "VariantChangeType");
  if (!object.pdispVal) ThrowComError(DISP_E_TYPEMISMATCH, "VariantChangeType");
  return TComPtr<IDispatch>(object.pdispVal);
}

}  // namespace ns

#pragma once
// Owns one VARIANT: initialised empty, cleared (VariantClear) when it goes,
// so a string or an object it holds is freed or released on every path.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>

#include "win/ComPtr.h"

namespace ns {

class TVariant {
 public:
  TVariant() { VariantInit(&value_); }
  // An automation string (BSTR) holding `text`.
  explicit TVariant(std::string_view text);
  explicit TVariant(const char* text) : TVariant(std::string_view(text)) {}
  // An object; the variant holds a reference of its own.
  explicit TVariant(const TComPtr<IDispatch>& object);
  TVariant(const TVariant& other);
  TVariant(TVariant&& other) noexcept;
  TVariant& operator=(TVariant other) noexcept;
  ~TVariant() { VariantClear(&value_); }

  const VARIANT& get() const { return value_; }
  // For out-parameters: clears what is held and returns the address to fill.
  VARIANT* put() {
    VariantClear(&value_);
    return &value_;
  }

  VARTYPE Type() const { return value_.vt; }

  // The value as text (ANSI code page): numbers become their decimal text.
  // Throws EComError when the value has no text form.
  std::string Text() const;

  // The object held; throws EComError (DISP_E_TYPEMISMATCH) when the value
  // is not an object or is a null object.
  TComPtr<IDispatch> Object() const;

 private:
  VARIANT value_;
};

}  // namespace ns

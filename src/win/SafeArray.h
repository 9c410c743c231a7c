#pragma once
// Reads the elements of a one-dimensional array of variants that an
// automation call returned (the platform returns its clusters, working
// processes and connections so).
#include <windows.h>
#include <oaidl.h>

#include "win/Variant.h"

namespace ns {

class TVariantArray {
 public:
  // Takes the variant returned by the call; throws EComError
  // (DISP_E_TYPEMISMATCH) unless it holds a one-dimensional array of
  // variants.
  explicit TVariantArray(TVariant array);

  // Number of elements.
  long Count() const;

  // The element at `index`, counted from 0 whatever the array's lower bound.
  // Throws EComError (DISP_E_BADINDEX) outside the array, so that asking an
  // empty array for its first element is an error.
  TVariant At(long index) const;

 private:
  TVariant array_;
  SAFEARRAY* elements_ = nullptr;
};

}  // namespace ns

#include "win/SafeArray.h"

#include <oleauto.h>

#include <utility>

#include "win/ComError.h"

namespace ns {

TVariantArray::TVariantArray(TVariant array) : array_(std::move(array)) {
  const VARIANT& value = array_.get();
  if (value.vt == (VT_ARRAY | VT_VARIANT)) {
    elements_ = value.parray;
  } else if (value.vt == (VT_ARRAY | VT_VARIANT | VT_BYREF) && value.pparray) {
    elements_ = *value.pparray;
  }
  if (!elements_ || SafeArrayGetDim(elements_) != 1) ThrowComError(DISP_E_TYPEMISMATCH, "SafeArrayGetDim");
}

long TVariantArray::Count() const {
  LONG lower = 0, upper = -1;
  CheckCom(SafeArrayGetLBound(elements_, 1, &lower), "SafeArrayGetLBound");
  CheckCom(SafeArrayGetUBound(elements_, 1, &upper), "SafeArrayGetUBound");
  return upper - lower + 1;
}

TVariant TVariantArray::At(long index) const {
  LONG lower = 0;
  CheckCom(SafeArrayGetLBound(elements_, 1, &lower), "SafeArrayGetLBound");
  if (index < 0 || index >= Count()) ThrowComError(DISP_E_BADINDEX, "SafeArrayGetElement");
  LONG position = lower + index;
  TVariant element;
  CheckCom(SafeArrayGetElement(elements_, &position, element.put()), "SafeArrayGetElement");
  return element;
}

}  // namespace ns

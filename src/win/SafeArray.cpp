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
  if (!elements_ || SafeArrayGetDim(elements_) != 1) ThrowComError(DISP_E_TYPEMISMATCH);
}

long TVariantArray::Count() const {
  LONG lower = 0, upper = -1;
  CheckCom(SafeArrayGetLBound(elements_, 1, &lower));
  CheckCom(SafeArrayGetUBound(elements_, 1, &upper));
  return upper - lower + 1;
}

TVariant TVariantArray::At(long index) const {
  LONG lower = 0;
  CheckCom(SafeArrayGetLBound(elements_, 1, &lower));
  if (index < 0 || index >= Count()) ThrowComError(DISP_E_BADINDEX);
  LONG position = lower + index;
  TVariant element;
  CheckCom(SafeArrayGetElement(elements_, &position, element.put()));
  return element;
}

}  // namespace ns

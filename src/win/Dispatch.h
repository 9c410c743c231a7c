#pragma once
// Late-bound automation calls by member name: the name is resolved with
// IDispatch::GetIDsOfNames, then IDispatch::Invoke is called, both with the
// system's default locale (the platform's objects are called so). A failed
// call raises EComError carrying the object's own description of the error.
#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string_view>

#include "win/ComPtr.h"
#include "win/Variant.h"

namespace ns {

// A method whose result is wanted ("function").
TVariant CallFunction(const TComPtr<IDispatch>& object, std::string_view name,
                      std::initializer_list<TVariant> arguments = {});

// A method whose result is not asked for ("procedure").
void CallProcedure(const TComPtr<IDispatch>& object, std::string_view name,
                   std::initializer_list<TVariant> arguments = {});

TVariant GetProperty(const TComPtr<IDispatch>& object, std::string_view name);

void PutProperty(const TComPtr<IDispatch>& object, std::string_view name, const TVariant& value);

}  // namespace ns

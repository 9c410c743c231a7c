#include "DispatchObject.h"

#include "StandinError.h"
#include "win/Bstr.h"

namespace ns::standin {

std::atomic<long> gLiveObjects{0};

namespace {

// Asked for by FromDispatch only; the object answers with itself.
const IID kStandinObjectIid = {0x5e0c7a61, 0x2b4d, 0x4f0a, {0x9c, 0x3e, 0x8a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f}};

const VARIANT* Dereferenced(const VARIANT* argument) {
  while (argument->vt == (VT_VARIANT | VT_BYREF) && argument->pvarVal) argument = argument->pvarVal;
  return argument;
}

void Fail(EXCEPINFO* exception, const std::string& message) {
  if (!exception) return;
  *exception = EXCEPINFO{};
  exception->bstrSource = SysAllocString(L"V8.COMConnector");
  std::wstring wide = AnsiToWide(message);
  exception->bstrDescription = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  exception->scode = E_FAIL;
}

}  // namespace

TDispatchObject::TDispatchObject() { ++gLiveObjects; }
TDispatchObject::~TDispatchObject() { --gLiveObjects; }

HRESULT TDispatchObject::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kStandinObjectIid)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG TDispatchObject::AddRef() { return ++references_; }

ULONG TDispatchObject::Release() {
  ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT TDispatchObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT TDispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

DISPID TDispatchObject::Find(const wchar_t* name) const {
  for (size_t i = 0; i < members_.size(); ++i) {
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, members_[i].Name.c_str(), -1, name, -1) == CSTR_EQUAL) {
      // A getter and a setter of one property share the first entry's id.
      return static_cast<DISPID>(i + 1);
    }
  }
  return DISPID_UNKNOWN;
}

HRESULT TDispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  HRESULT outcome = S_OK;
  for (UINT i = 0; i < count; ++i) {
    // Named arguments are not supported; only the member name resolves.
    ids[i] = i == 0 && names[0] ? Find(names[0]) : DISPID_UNKNOWN;
    if (ids[i] == DISPID_UNKNOWN) outcome = DISP_E_UNKNOWNNAME;
  }
  return outcome;
}

HRESULT TDispatchObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                EXCEPINFO* exception, UINT* argumentError) {
  if (id < 1 || static_cast<size_t>(id) > members_.size()) return DISP_E_MEMBERNOTFOUND;
  if (!parameters) return E_POINTER;
  const std::wstring& name = members_[id - 1].Name;
  bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
  const TEntry* entry = nullptr;
  for (const TEntry& candidate : members_) {
    if (candidate.Name != name) continue;
    bool fits = candidate.Kind == TKind::Put ? put
                : candidate.Kind == TKind::Get ? !put && (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))
                                               : !put && (flags & DISPATCH_METHOD);
    if (fits) entry = &candidate;
  }
  if (!entry) return DISP_E_MEMBERNOTFOUND;
  if (entry->Kind == TKind::Put &&
      (parameters->cNamedArgs != 1 || parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)) {
    return DISP_E_PARAMNOTOPTIONAL;
  }
  if (entry->Kind != TKind::Put && parameters->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (parameters->cArgs != entry->Arguments) return DISP_E_BADPARAMCOUNT;
  TArguments arguments;
  for (UINT i = parameters->cArgs; i > 0; --i) arguments.push_back(Dereferenced(&parameters->rgvarg[i - 1]));
  VARIANT value;
  VariantInit(&value);
  try {
    entry->Call(arguments, &value);
  } catch (const std::exception& error) {
    VariantClear(&value);
    if (argumentError) *argumentError = 0;
    Fail(exception, error.what());
    return DISP_E_EXCEPTION;
  }
  if (result) {
    *result = value;
  } else {
    VariantClear(&value);
  }
  return S_OK;
}

TDispatchObject* TDispatchObject::FromDispatch(IDispatch* dispatch) {
  if (!dispatch) return nullptr;
  void* object = nullptr;
  if (FAILED(dispatch->QueryInterface(kStandinObjectIid, &object))) return nullptr;
  auto* own = static_cast<TDispatchObject*>(static_cast<IDispatch*>(object));
  own->Release();  // the caller's argument keeps it alive
  return own;
}

void TDispatchObject::AddMethod(const char* name, size_t arguments, TMember member) {
  members_.push_back({AnsiToWide(name), TKind::Method, arguments, std::move(member)});
}

void TDispatchObject::AddGetter(const char* name, TMember member) {
  members_.push_back({AnsiToWide(name), TKind::Get, 0, std::move(member)});
}

void TDispatchObject::AddSetter(const char* name, TMember member) {
  members_.push_back({AnsiToWide(name), TKind::Put, 1, std::move(member)});
}

std::string ArgumentText(const VARIANT* argument) {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(argument), 0, VT_BSTR))) {
    throw EStandinError("Неверный тип параметра: ожидается строка");
  }
  std::string narrow = BstrToAnsi(text.bstrVal);
  VariantClear(&text);
  return narrow;
}

TDispatchObject* ArgumentObject(const VARIANT* argument) {
  IDispatch* dispatch = nullptr;
  if (argument->vt == VT_DISPATCH) dispatch = argument->pdispVal;
  if (argument->vt == (VT_DISPATCH | VT_BYREF) && argument->ppdispVal) dispatch = *argument->ppdispVal;
  if (argument->vt == VT_UNKNOWN && argument->punkVal) {
    // Some callers pass objects as IUnknown; they still are ours.
    IDispatch* asked = nullptr;
    if (SUCCEEDED(argument->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&asked)))) {
      TDispatchObject* own = TDispatchObject::FromDispatch(asked);
      asked->Release();
      return own;
    }
  }
  return TDispatchObject::FromDispatch(dispatch);
}

void ReturnText(VARIANT* result, const std::string& text) {
  std::wstring wide = AnsiToWide(text);
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

void ReturnNumber(VARIANT* result, long value) {
  result->vt = VT_I4;
  result->lVal = value;
}

void ReturnObject(VARIANT* result, TDispatchObject* object) {
  result->vt = VT_DISPATCH;
  result->pdispVal = object;
}

void ReturnArray(VARIANT* result, const std::vector<TDispatchObject*>& objects) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(objects.size()));
  if (!array) {
    for (TDispatchObject* object : objects) object->Release();
    throw EStandinError("Недостаточно памяти");
  }
  for (LONG i = 0; i < static_cast<LONG>(objects.size()); ++i) {
    VARIANT element;
    VariantInit(&element);
    ReturnObject(&element, objects[i]);
    SafeArrayPutElement(array, &i, &element);  // copies, adding a reference
    VariantClear(&element);
  }
  result->vt = VT_ARRAY | VT_VARIANT;
  result->parray = array;
}

}  // namespace ns::standin

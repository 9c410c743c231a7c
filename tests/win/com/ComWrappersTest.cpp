#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win/Bstr.h"
#include "win/ComError.h"
#include "win/ComPtr.h"
#include "win/Dispatch.h"
#include "win/SafeArray.h"
#include "win/Variant.h"

namespace ns {
namespace {

class ComWrappers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  static void TearDownTestSuite() { CoUninitialize(); }
};

// An automation object that records how it was called. Its one member
// "Record" stores the arguments exactly as Invoke received them; the member
// "Fail" raises an automation exception whose description is filled in late,
// as some servers do.
class TRecorder : public IDispatch {
 public:
  struct TCall {
    WORD kind = 0;
    LCID locale = 0;
    std::vector<std::wstring> arguments;  // in the order of rgvarg
    std::vector<DISPID> named;
    bool resultWanted = false;
  };
  std::vector<TCall> calls;
  std::vector<LCID> lookupLocales;
  ULONG references = 1;

  static HRESULT STDMETHODCALLTYPE FillInLate(EXCEPINFO* late) {
    late->bstrDescription = SysAllocString(L"База данных не найдена");
    late->bstrSource = SysAllocString(L"Recorder");
    late->pfnDeferredFillIn = nullptr;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    lookupLocales.push_back(locale);
    if (count != 1) return E_INVALIDARG;
    if (std::wstring(names[0]) == L"Record") return ids[0] = 1, S_OK;
    if (std::wstring(names[0]) == L"Fail") return ids[0] = 2, S_OK;
    if (std::wstring(names[0]) == L"Свойство") return ids[0] = 3, S_OK;
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID locale, WORD kind, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* info, UINT*) override {
    TCall call;
    call.kind = kind;
    call.locale = locale;
    call.resultWanted = result != nullptr;
    for (UINT i = 0; i < parameters->cArgs; ++i) {
      const VARIANT& argument = parameters->rgvarg[i];
      call.arguments.push_back(argument.vt == VT_BSTR ? std::wstring(argument.bstrVal) : L"<other>");
    }
    call.named.assign(parameters->rgdispidNamedArgs, parameters->rgdispidNamedArgs + parameters->cNamedArgs);
    calls.push_back(call);
    if (id == 2) {
      info->scode = 0x80041234;
      info->pfnDeferredFillIn = FillInLate;
      return DISP_E_EXCEPTION;
    }
    if (result) {
      VariantInit(result);
      result->vt = VT_I4;
      result->lVal = 1541;
    }
    return S_OK;
  }
};

TEST_F(ComWrappers, CyrillicTextCrossesTheBoundaryInTheAnsiCodePage) {
  ASSERT_EQ(GetACP(), 1251u) << "the test prefix must have a Russian locale";
  TBstr text = TBstr::FromAnsi("Бухгалтерия №1");
  EXPECT_EQ(std::wstring(text.get(), SysStringLen(text.get())), L"Бухгалтерия №1");
  EXPECT_EQ(text.Ansi(), "Бухгалтерия №1");
  EXPECT_EQ(TBstr().Ansi(), "");
  EXPECT_EQ(SysStringLen(TBstr::FromAnsi("").get()), 0u);
  EXPECT_EQ(TVariant("Склад").Text(), "Склад");
}

TEST_F(ComWrappers, VariantTextOfANumberIsItsDecimalText) {
  TVariant port;
  VARIANT* number = port.put();
  number->vt = VT_I4;
  number->lVal = 1541;
  EXPECT_EQ(port.Text(), "1541");
  TVariant big;
  VARIANT* real = big.put();
  real->vt = VT_R8;
  real->dblVal = 2560.0;
  EXPECT_EQ(big.Text(), "2560");
  EXPECT_THROW(TVariant("text").Object(), EComError);
  EXPECT_THROW(TVariant().Object(), EComError);
}

TEST_F(ComWrappers, LateBoundCallsPassArgumentsLastToFirstInTheSystemLocale) {
  TRecorder recorder;
  {
    auto object = TComPtr<IDispatch>::FromBorrowed(&recorder);
    TVariant result = CallFunction(object, "Record", {TVariant("first"), TVariant("второй"), TVariant("third")});
    EXPECT_EQ(result.Text(), "1541");
    CallProcedure(object, "Record", {TVariant("only")});
    EXPECT_EQ(GetProperty(object, "Record").Text(), "1541");
    PutProperty(object, "Свойство", TVariant("значение"));
  }
  EXPECT_EQ(recorder.references, 1u) << "every reference taken was given back";
  ASSERT_EQ(recorder.calls.size(), 4u);
  for (LCID locale : recorder.lookupLocales) EXPECT_EQ(locale, 0x0800u);

  const auto& function = recorder.calls[0];
  EXPECT_EQ(function.kind, DISPATCH_METHOD);
  EXPECT_EQ(function.locale, 0x0800u);
  EXPECT_TRUE(function.resultWanted);
  EXPECT_EQ(function.arguments, (std::vector<std::wstring>{L"third", L"второй", L"first"}));
  EXPECT_TRUE(function.named.empty());

  EXPECT_FALSE(recorder.calls[1].resultWanted);
  EXPECT_EQ(recorder.calls[1].kind, DISPATCH_METHOD);

  EXPECT_EQ(recorder.calls[2].kind, DISPATCH_PROPERTYGET);
  EXPECT_TRUE(recorder.calls[2].arguments.empty());

  const auto& put = recorder.calls[3];
  EXPECT_EQ(put.kind, DISPATCH_PROPERTYPUT);
  EXPECT_EQ(put.arguments, (std::vector<std::wstring>{L"значение"}));
  EXPECT_EQ(put.named, (std::vector<DISPID>{DISPID_PROPERTYPUT}));
}

TEST_F(ComWrappers, FailedCallsCarryTheObjectsDescriptionOrTheSystemsText) {
  TRecorder recorder;
  auto object = TComPtr<IDispatch>::FromBorrowed(&recorder);
  try {
    CallProcedure(object, "Fail", {TVariant("x")});
    FAIL() << "no exception";
  } catch (const EComError& error) {
    EXPECT_STREQ(error.what(), "База данных не найдена");
    EXPECT_EQ(error.Code(), static_cast<HRESULT>(0x80041234));
  }
  try {
    CallProcedure(object, "Missing");
    FAIL() << "no exception";
  } catch (const EComError& error) {
    EXPECT_EQ(error.Code(), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(error.what(), ComErrorText(DISP_E_UNKNOWNNAME));
    EXPECT_STRNE(error.what(), "");
  }
  EXPECT_THROW(CallProcedure(TComPtr<IDispatch>(), "Record"), EComError);
  // A code the system has no text for still gives a readable message.
  EXPECT_EQ(ComErrorText(static_cast<HRESULT>(0xA00FFFF1)), "Ошибка COM 0xA00FFFF1");
}

// A real automation server of the system, reached only through IDispatch.
class Dictionary : public ComWrappers {
 protected:
  void SetUp() override {
    CLSID id;
    ASSERT_EQ(CLSIDFromProgID(L"Scripting.Dictionary", &id), S_OK);
    ASSERT_EQ(CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(dictionary.put())),
              S_OK);
  }
  TComPtr<IDispatch> dictionary;
};

TEST_F(Dictionary, ArraysOfVariantsAreReadByIndex) {
  CallProcedure(dictionary, "Add", {TVariant("ключ1"), TVariant("значение1")});
  CallProcedure(dictionary, "Add", {TVariant("ключ2"), TVariant("значение2")});
  EXPECT_EQ(GetProperty(dictionary, "Count").Text(), "2");

  TVariantArray items(CallFunction(dictionary, "Items"));
  ASSERT_EQ(items.Count(), 2);
  EXPECT_EQ(items.At(0).Text(), "значение1");
  EXPECT_EQ(items.At(1).Text(), "значение2");
  EXPECT_THROW(items.At(2), EComError);
  EXPECT_THROW(items.At(-1), EComError);
  EXPECT_THROW(TVariantArray(TVariant("not an array")), EComError);
}

TEST_F(Dictionary, TheFirstElementOfAnEmptyArrayIsAnError) {
  TVariantArray keys(CallFunction(dictionary, "Keys"));
  EXPECT_EQ(keys.Count(), 0);
  try {
    keys.At(0);
    FAIL() << "no exception";
  } catch (const EComError& error) {
    EXPECT_EQ(error.Code(), DISP_E_BADINDEX);
  }
}

TEST_F(Dictionary, PropertyPutAndObjectsPassedBack) {
  PutProperty(dictionary, "CompareMode", TVariant("1"));  // text comparison
  CallProcedure(dictionary, "Add", {TVariant("Key"), TVariant(dictionary)});
  EXPECT_EQ(CallFunction(dictionary, "Exists", {TVariant("KEY")}).Text(), "-1");
  // The object stored comes back as an object that answers calls.
  TVariantArray items(CallFunction(dictionary, "Items"));
  TComPtr<IDispatch> same = items.At(0).Object();
  EXPECT_EQ(GetProperty(same, "Count").Text(), "1");
  // Break the cycle the dictionary now holds with itself.
  CallProcedure(dictionary, "RemoveAll");
  EXPECT_THROW(CallProcedure(dictionary, "Add"), EComError);
}

}  // namespace
}  // namespace ns

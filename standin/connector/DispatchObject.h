#pragma once
// The base of every automation object of the stand-in connector: IDispatch
// without a type library. Members are registered by name (resolved without
// regard to case, like the platform's) and called through Invoke; an
// EStandinError thrown by a member becomes DISP_E_EXCEPTION with its text in
// EXCEPINFO, which late-bound callers show to the user.
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace ns::standin {

// Living objects, for DllCanUnloadNow.
extern std::atomic<long> gLiveObjects;

class TDispatchObject : public IDispatch {
 public:
  // Arguments in call order (DISPPARAMS holds them reversed), references
  // already followed.
  using TArguments = std::vector<const VARIANT*>;
  using TMember = std::function<void(const TArguments&, VARIANT* result)>;

  TDispatchObject();
  virtual ~TDispatchObject();
  TDispatchObject(const TDispatchObject&) = delete;
  TDispatchObject& operator=(const TDispatchObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

  // The stand-in object behind an IDispatch that came back as an argument;
  // nullptr for anybody else's object.
  static TDispatchObject* FromDispatch(IDispatch* dispatch);

 protected:
  void AddMethod(const char* name, size_t arguments, TMember member);
  void AddGetter(const char* name, TMember member);
  void AddSetter(const char* name, TMember member);

 private:
  enum class TKind { Method, Get, Put };
  struct TEntry {
    std::wstring Name;
    TKind Kind;
    size_t Arguments;
    TMember Call;
  };
  DISPID Find(const wchar_t* name) const;

  std::atomic<ULONG> references_{1};
  std::vector<TEntry> members_;
};

// Argument and result helpers. Text travels as BSTR in the ANSI code page.
std::string ArgumentText(const VARIANT* argument);
TDispatchObject* ArgumentObject(const VARIANT* argument);
void ReturnText(VARIANT* result, const std::string& text);
void ReturnNumber(VARIANT* result, long value);
// Hands the caller the object's only reference.
void ReturnObject(VARIANT* result, TDispatchObject* object);
// A one-dimensional SAFEARRAY of VARIANT (VT_ARRAY | VT_VARIANT), lower
// bound 0; takes over the objects' references.
void ReturnArray(VARIANT* result, const std::vector<TDispatchObject*>& objects);

}  // namespace ns::standin

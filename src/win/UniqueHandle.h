#pragma once
// One template makes every RAII wrapper of a Win32 handle: a traits type
// names the handle type, its close function and its "empty" value (null for
// most handles, INVALID_HANDLE_VALUE for files), so every wrapper is
// move-only and offers the same get / release / reset / put.
#include <windows.h>

#include <utility>

namespace ns {

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() = default;
  explicit UniqueResource(Type value) : value_(value) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueResource() { reset(); }

  Type get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Empty(); }

  // Gives up ownership without closing.
  Type release() { return std::exchange(value_, Traits::Empty()); }

  // Closes what is held (if anything) and takes `value`.
  void reset(Type value = Traits::Empty()) {
    Type old = std::exchange(value_, value);
    if (old != Traits::Empty()) Traits::Close(old);
  }

  // For out-parameters: closes what is held and returns the address to fill.
  Type* put() {
    reset();
    return &value_;
  }

 private:
  Type value_ = Traits::Empty();
};

namespace traits {
struct Handle {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct File {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct Find {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::FindClose(h); }
};
struct Key {
  using Type = HKEY;
  static Type Empty() { return nullptr; }
  static void Close(Type k) { ::RegCloseKey(k); }
};
struct View {
  using Type = void*;
  static Type Empty() { return nullptr; }
  static void Close(Type v) { ::UnmapViewOfFile(v); }
};
}  // namespace traits

// Kernel objects whose "no handle" is null: threads, processes, events,
// mutexes, file mappings.
using UniqueHandle = UniqueResource<traits::Handle>;
// Files, whose "no handle" is INVALID_HANDLE_VALUE.
using UniqueFile = UniqueResource<traits::File>;
using UniqueFind = UniqueResource<traits::Find>;
using UniqueKey = UniqueResource<traits::Key>;
using UniqueView = UniqueResource<traits::View>;

}  // namespace ns

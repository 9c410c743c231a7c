#pragma once
// Owns one reference to a COM interface. Copying adds a reference, so an
// object returned by one late-bound call can be kept while it is passed on
// to the next; the reference is released when the last owner goes.
#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace ns {

template <typename Interface>
class TComPtr {
 public:
  TComPtr() = default;
  // Takes over a reference the caller already owns (as a COM out-parameter
  // hands it over); does not add one.
  explicit TComPtr(Interface* owned) : pointer_(owned) {}
  TComPtr(const TComPtr& other) : pointer_(other.pointer_) {
    if (pointer_) pointer_->AddRef();
  }
  TComPtr(TComPtr&& other) noexcept : pointer_(other.release()) {}
  TComPtr& operator=(TComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~TComPtr() { reset(); }

  // Adds a reference of its own to a pointer borrowed from someone else.
  static TComPtr FromBorrowed(Interface* borrowed) {
    if (borrowed) borrowed->AddRef();
    return TComPtr(borrowed);
  }

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // Gives up the reference without releasing it.
  Interface* release() { return std::exchange(pointer_, nullptr); }

  void reset() {
    if (Interface* old = std::exchange(pointer_, nullptr)) old->Release();
  }

  // For out-parameters: releases what is held and returns the address to fill.
  Interface** put() {
    reset();
    return &pointer_;
  }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace ns

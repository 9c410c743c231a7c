// ns::Crc32 dispatches through a function pointer that starts at a resolver:
// the first call picks the best variant for this processor and stores it, so
// every later call goes straight there.
#include "zip/Crc32.h"

#include <atomic>

#include "zip/Crc32Impl.h"

namespace ns {
namespace {

using TCrc32Function = uint32_t (*)(uint32_t, const uint8_t*, size_t);

uint32_t Resolve(uint32_t crc, const uint8_t* data, size_t size);

// Relaxed is enough: every candidate gives the same results, so a thread
// that still sees the resolver merely resolves once more.
std::atomic<TCrc32Function> gCrc32{Resolve};

uint32_t Resolve(uint32_t crc, const uint8_t* data, size_t size) {
  TCrc32Function chosen = crc32::Generic;
  if (!crc32::CpuFeaturesDisabled() && crc32::HavePclmul()) chosen = crc32::Pclmul;
  gCrc32.store(chosen, std::memory_order_relaxed);
  return chosen(crc, data, size);
}

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  return gCrc32.load(std::memory_order_relaxed)(crc, static_cast<const uint8_t*>(data), size);
}

}  // namespace ns

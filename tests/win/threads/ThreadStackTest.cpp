// The backup worker packs archives on a thread that Windows starts itself,
// and 32-bit Windows gives such a thread a stack aligned to 4 bytes only.
// The vectorised CRC-32 and deflate code must work there as on the main
// thread, whose start-up code aligns the stack for it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "zip/Crc32.h"
#include "zip/DeflateEncoder.h"

namespace ns {
namespace {

struct TWork {
  std::vector<uint8_t> Data;
  uint32_t Crc = 0;
  size_t Compressed = 0;
};

DWORD WINAPI CrcAndDeflate(void* parameter) {
  auto* work = static_cast<TWork*>(parameter);
  work->Crc = Crc32(0, work->Data.data(), work->Data.size());
  DeflateEncoder encoder(6, [work](const uint8_t*, size_t size) { work->Compressed += size; }, 2);
  encoder.Write(work->Data.data(), work->Data.size());
  encoder.Finish();
  return 0;
}

TEST(ThreadStack, VectorCodeRunsOnAThreadStartedByWindows) {
  TWork work;
  for (uint32_t i = 0; i < (1u << 20); ++i) work.Data.push_back(static_cast<uint8_t>((i * 2654435761u) >> 24));
  uint32_t expected = Crc32(0, work.Data.data(), work.Data.size());

  // A stack of an odd size and a thread with nothing of the C runtime's
  // start-up between Windows and the routine.
  HANDLE thread = CreateThread(nullptr, 65536 + 4, CrcAndDeflate, &work, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeThread(thread, &exitCode);
  CloseHandle(thread);

  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(work.Crc, expected);
  EXPECT_GT(work.Compressed, 0u);
}

}  // namespace
}  // namespace ns

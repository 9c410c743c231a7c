// The processor count the encoder's threads are sized by follows the
// process's affinity, not the machine's size: a backup pinned to one core
// must not start workers that would only wait for it.
#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#endif

#include <gtest/gtest.h>

#include "zip/FileSystem.h"

namespace ns {
namespace {

// Pins the process (natively: this thread, which is what the count reads)
// to its first usable processor for the life of the object.
class TPinnedToOneProcessor {
 public:
  TPinnedToOneProcessor() {
#ifdef _WIN32
    DWORD_PTR system = 0;
    ::GetProcessAffinityMask(::GetCurrentProcess(), &saved_, &system);
    ok_ = ::SetProcessAffinityMask(::GetCurrentProcess(), saved_ & (~saved_ + 1)) != FALSE;
#else
    ::sched_getaffinity(0, sizeof saved_, &saved_);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
      if (CPU_ISSET(cpu, &saved_)) {
        CPU_SET(cpu, &one);
        break;
      }
    }
    ok_ = ::sched_setaffinity(0, sizeof one, &one) == 0;
#endif
  }
  ~TPinnedToOneProcessor() {
#ifdef _WIN32
    ::SetProcessAffinityMask(::GetCurrentProcess(), saved_);
#else
    ::sched_setaffinity(0, sizeof saved_, &saved_);
#endif
  }
  bool Ok() const { return ok_; }

 private:
#ifdef _WIN32
  DWORD_PTR saved_ = 0;
#else
  cpu_set_t saved_;
#endif
  bool ok_ = false;
};

TEST(UsableProcessorCount, FollowsTheAffinity) {
  const unsigned all = UsableProcessorCount();
  EXPECT_GE(all, 1u);
  {
    TPinnedToOneProcessor pinned;
    ASSERT_TRUE(pinned.Ok());
    EXPECT_EQ(UsableProcessorCount(), 1u);
  }
  EXPECT_EQ(UsableProcessorCount(), all);
}

}  // namespace
}  // namespace ns

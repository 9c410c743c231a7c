#include "app/WorkerRequests.h"

#include <gtest/gtest.h>

#include <memory>

namespace ns {
namespace {

TEST(WorkerRequests, OnlyTheOpenRequestIsFoundByItsTag) {
  TWorkerRequests requests;
  EXPECT_EQ(requests.Find(0), nullptr);
  std::uintptr_t tag;
  {
    TWorkerRequests::TRequest request(requests, {"srv1\\trade", "Admin", "se;cret"});
    tag = request.Tag();
    const auto* found = requests.Find(tag);
    ASSERT_EQ(found, &request);
    EXPECT_EQ(found->ConnectionString(), "Srvr=srv1;Ref=trade;Usr=Admin;Pwd=se;cret");
    EXPECT_EQ(found->Logon().Password, "se;cret");
    // Whatever another process may put into the message is not a request.
    EXPECT_EQ(requests.Find(tag + 1), nullptr);
    EXPECT_EQ(requests.Find(0), nullptr);
    EXPECT_EQ(requests.Find(reinterpret_cast<std::uintptr_t>(&request)), nullptr);
  }
  // Once the worker has its answer, the same value names nothing.
  EXPECT_EQ(requests.Find(tag), nullptr);
}

}  // namespace
}  // namespace ns

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/sim/Faults.h"

namespace {

class Faults : public ::testing::Test {
 protected:
  void TearDown() override { sim::ClearFaults(); }
};

TEST_F(Faults, FailsOnceAfterTheSkippedOperationsOfItsKind) {
  sim::FailNext(sim::Fault::FileWrite, 2);
  EXPECT_FALSE(sim::ShouldFail(sim::Fault::FileRename));  // other kinds do not count
  EXPECT_FALSE(sim::ShouldFail(sim::Fault::FileWrite));
  EXPECT_FALSE(sim::ShouldFail(sim::Fault::FileWrite));
  EXPECT_FALSE(sim::ShouldFail(sim::Fault::FileCreate));
  EXPECT_TRUE(sim::ShouldFail(sim::Fault::FileWrite));
  EXPECT_FALSE(sim::ShouldFail(sim::Fault::FileWrite));
}

TEST_F(Faults, RequestsOfDifferentKindsAreKeptApart) {
  sim::FailNext(sim::Fault::FileCreate);
  sim::FailNext(sim::Fault::FileDelete, 1);
  EXPECT_FALSE(sim::ShouldFail(sim::Fault::FileDelete));
  EXPECT_TRUE(sim::ShouldFail(sim::Fault::FileDelete));
  EXPECT_TRUE(sim::ShouldFail(sim::Fault::FileCreate));
  EXPECT_FALSE(sim::ShouldFail(sim::Fault::FileCreate));
}

TEST_F(Faults, ClearFaultsForgetsPendingRequests) {
  sim::FailNext(sim::Fault::FileRename);
  sim::FailNext(sim::Fault::FileWrite, 1);
  sim::ClearFaults();
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(sim::ShouldFail(sim::Fault::FileRename));
    EXPECT_FALSE(sim::ShouldFail(sim::Fault::FileWrite));
  }
}

TEST_F(Faults, EachRequestFailsExactlyOneOperationAcrossThreads) {
  constexpr int Requests = 100;
  for (int i = 0; i < Requests; ++i) sim::FailNext(sim::Fault::FileWrite);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&failures] {
      for (int i = 0; i < 1000; ++i)
        if (sim::ShouldFail(sim::Fault::FileWrite)) ++failures;
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), Requests);
}

}  // namespace

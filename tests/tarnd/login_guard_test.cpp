// The login defences: delays grow with failures, stop growing at the cap, end with a success
// or with time, and the tables stay bounded.
#include <gtest/gtest.h>

#include "tarnd/login_guard.h"

namespace tarn::tarnd {
namespace {

TEST(FailureLimiter, DelaysGrowAfterTheFreeFailuresUpToTheCap) {
  FailureLimiter::Policy p;
  p.freeFailures = 2;
  p.baseDelayMs = 1000;
  p.maxDelayMs = 5000;
  FailureLimiter l(p);
  int64_t now = 1000000;
  l.Failed("a", now);
  l.Failed("a", now);
  EXPECT_EQ(l.WaitMs("a", now), 0);
  l.Failed("a", now);
  EXPECT_EQ(l.WaitMs("a", now), 1000);
  l.Failed("a", now);
  EXPECT_EQ(l.WaitMs("a", now), 2000);
  l.Failed("a", now);
  EXPECT_EQ(l.WaitMs("a", now), 4000);
  for (int i = 0; i < 60; ++i) l.Failed("a", now);  // no overflow, and the cap holds
  EXPECT_EQ(l.WaitMs("a", now), 5000);
  EXPECT_EQ(l.WaitMs("a", now + 4999), 1);
  EXPECT_EQ(l.WaitMs("a", now + 5000), 0);
  EXPECT_EQ(l.WaitMs("b", now), 0);  // keys are separate
}

TEST(FailureLimiter, SuccessAndTimeForgetFailures) {
  FailureLimiter::Policy p;
  p.freeFailures = 1;
  p.forgetAfterMs = 60000;
  FailureLimiter l(p);
  l.Failed("a", 0);
  l.Failed("a", 0);
  EXPECT_GT(l.WaitMs("a", 0), 0);
  l.Succeeded("a");
  EXPECT_EQ(l.WaitMs("a", 0), 0);
  l.Failed("a", 0);
  EXPECT_EQ(l.WaitMs("a", 0), 0);  // counting starts afresh
  l.Failed("b", 0);
  l.Failed("b", 100000);  // long after the first: the first is forgotten
  EXPECT_EQ(l.WaitMs("b", 100000), 0);
}

TEST(FailureLimiter, TheTableStaysBoundedUnderManyKeys) {
  FailureLimiter::Policy p;
  p.freeFailures = 0;
  p.maxKeys = 100;
  FailureLimiter l(p);
  for (int i = 0; i < 1000; ++i) l.Failed("k" + std::to_string(i), i);
  EXPECT_LE(l.Size(), 100u);
  EXPECT_GT(l.WaitMs("k999", 999), 0);  // the newest are kept
}

TEST(AddressCounter, LimitsEachAddressAlone) {
  AddressCounter c(2);
  EXPECT_TRUE(c.Acquire("10.0.0.1"));
  EXPECT_TRUE(c.Acquire("10.0.0.1"));
  EXPECT_FALSE(c.Acquire("10.0.0.1"));
  EXPECT_TRUE(c.Acquire("10.0.0.2"));
  c.Release("10.0.0.1");
  EXPECT_EQ(c.Count("10.0.0.1"), 1);
  EXPECT_TRUE(c.Acquire("10.0.0.1"));
  c.Release("unknown");  // harmless
  EXPECT_EQ(c.Count("unknown"), 0);
}

}  // namespace
}  // namespace tarn::tarnd

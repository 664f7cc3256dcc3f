// The condition orders waiting on one contract: the order they are looked at in, and the
// invariant check catching an order that waits twice, one that no longer waits, or one of
// another contract.
#include <gtest/gtest.h>

#include <string>

#include "libs/exchange/broker/condition_book.h"

namespace tarn::test {
namespace {

using namespace tarn::exchange;

Order Waiting(uint64_t id, ContractId c) {
  Order o;
  o.id = id;
  o.contract = c;
  o.condition = true;
  o.state = kStWaiting;
  return o;
}

TEST(ConditionBookTest, KeepsArrivalOrderAndItsInvariantCatchesWhatDoesNotWaitHere) {
  ConditionBook::Orders orders;
  for (uint64_t id : {5, 2, 9}) orders[id] = Waiting(id, 3);
  ConditionBook book;
  for (uint64_t id : {5, 2, 9}) book.Add(id);
  EXPECT_EQ(book.Ids(), (std::vector<uint64_t>{5, 2, 9}));
  std::string why;
  EXPECT_TRUE(book.CheckInvariant(3, orders, &why)) << why;
  book.Remove(2);
  book.Remove(42);  // not here: nothing
  EXPECT_EQ(book.Ids(), (std::vector<uint64_t>{5, 9}));
  EXPECT_TRUE(book.HoldsOnce(9));
  EXPECT_FALSE(book.HoldsOnce(2));

  {
    ConditionBook twice = book;
    twice.Add(5);
    EXPECT_FALSE(twice.HoldsOnce(5));
    EXPECT_FALSE(twice.CheckInvariant(3, orders, &why));
    EXPECT_NE(why.find("twice"), std::string::npos) << why;
  }
  {
    ConditionBook::Orders fired = orders;
    fired[9].state = kStTriggered;
    EXPECT_FALSE(book.CheckInvariant(3, fired, &why));
    EXPECT_NE(why.find("not a waiting condition order"), std::string::npos) << why;
    ConditionBook::Orders plain = orders;
    plain[5].condition = false;
    EXPECT_FALSE(book.CheckInvariant(3, plain, &why));
  }
  EXPECT_FALSE(book.CheckInvariant(4, orders, &why));
  EXPECT_NE(why.find("another contract"), std::string::npos) << why;
  ConditionBook::Orders gone = orders;
  gone.erase(5);
  EXPECT_FALSE(book.CheckInvariant(3, gone, &why));
  EXPECT_NE(why.find("unknown"), std::string::npos) << why;
}

}  // namespace
}  // namespace tarn::test

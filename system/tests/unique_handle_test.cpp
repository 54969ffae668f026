#include "system/unique_handle.hpp"

#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace tornak {
namespace {

// What the owners closed, in order, and what a close answers.
std::vector<int> closed;
int closeResult = 0;

int CloseNumber(int handle) {
  closed.push_back(handle);
  return closeResult;
}

std::vector<int*> closedPointers;
void ClosePointer(int* handle) { closedPointers.push_back(handle); }

// 0 is a handle like any other here (a descriptor: standard input), -1 the empty value.
using Descriptor = UniqueHandle<int, CloseNumber, -1>;
using Pointer = UniqueHandle<int*, ClosePointer>;

class UniqueHandleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    closed.clear();
    closedPointers.clear();
    closeResult = 0;
  }
};

TEST_F(UniqueHandleTest, ClosesWhatItHoldsOnceAndNeverTheEmptyValue) {
  {
    Descriptor zero(0);
    Descriptor seven(7);
    Descriptor none;
    Descriptor explicitlyNone(-1);
    EXPECT_TRUE(zero);
    EXPECT_FALSE(none);
    EXPECT_FALSE(explicitlyNone);
    EXPECT_EQ(none.Get(), -1);
  }
  EXPECT_EQ(closed, (std::vector<int>{7, 0}));

  int value = 0;
  { Pointer pointer(&value); }
  { Pointer empty; }
  EXPECT_EQ(closedPointers, (std::vector<int*>{&value}));
}

TEST_F(UniqueHandleTest, MovingHandsOverWithoutClosing) {
  Descriptor first(3);
  Descriptor second(std::move(first));
  EXPECT_TRUE(closed.empty());
  EXPECT_FALSE(first);
  EXPECT_EQ(second.Get(), 3);

  Descriptor third(4);
  third = std::move(second);
  EXPECT_EQ(closed, (std::vector<int>{4}));
  EXPECT_EQ(third.Get(), 3);
  auto& self = third;
  third = std::move(self);
  EXPECT_EQ(third.Get(), 3);
  EXPECT_EQ(closed, (std::vector<int>{4}));
}

TEST_F(UniqueHandleTest, ResetClosesTheOldHandleAndReleaseGivesItUp) {
  Descriptor owner(5);
  owner.Reset(6);
  EXPECT_EQ(closed, (std::vector<int>{5}));
  owner.Reset(6);  // the same value again is a new handle that happens to reuse the number
  EXPECT_EQ(closed, (std::vector<int>{5, 6}));
  EXPECT_EQ(owner.Release(), 6);
  EXPECT_FALSE(owner);
  owner.Reset();
  EXPECT_EQ(closed, (std::vector<int>{5, 6}));
}

TEST_F(UniqueHandleTest, CloseReportsWhatTheSystemSaidAndLeavesItEmpty) {
  Descriptor owner(8);
  closeResult = -1;
  EXPECT_EQ(owner.Close(), -1);
  EXPECT_FALSE(owner);
  EXPECT_EQ(closed, (std::vector<int>{8}));
}

}  // namespace
}  // namespace tornak

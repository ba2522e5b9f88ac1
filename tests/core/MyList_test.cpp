#include <gtest/gtest.h>

#include "EtcLists/IntegerList.h"
#include "EtcLists/MyList.h"

namespace {

TEST(MyList, GrowsByFourThenSixteenThenAQuarter) {
  TMyList list;
  int dummy;
  std::vector<int32_t> capacities;
  for (int i = 0; i < 5; ++i) {
    list.Add(&dummy);
    capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{4, 4, 4, 4, 8}));
  for (int i = 5; i < 9; ++i) list.Add(&dummy);
  EXPECT_EQ(list.Capacity(), 12);  // from 8 (not above 8) by 4
  list.Add(&dummy);
  list.Add(&dummy);
  list.Add(&dummy);
  list.Add(&dummy);
  EXPECT_EQ(list.Capacity(), 28);  // from 12 by 16

  TMyList big;
  big.SetCapacity(100);
  big.SetCount(100);
  big.Add(nullptr);
  EXPECT_EQ(big.Capacity(), 125);
}

TEST(MyList, ErrorsChangeNothingAndSayListError) {
  TMyList list;
  int a, b, c;
  list.Add(&a);
  list.Add(&b);
  list.Add(&c);
  struct Bad {
    const char* What;
    std::function<void()> Call;
  };
  const Bad calls[] = {
      {"index -1", [&] { list.Items(-1); }},
      {"index = count", [&] { list.Items(3); }},
      {"delete out of range", [&] { list.Delete(3); }},
      {"capacity below count", [&] { list.SetCapacity(2); }},
      {"capacity above limit", [&] { list.SetCapacity(TMyList::MaxListSize + 1); }},
      {"negative count", [&] { list.SetCount(-1); }},
  };
  for (const Bad& bad : calls) {
    try {
      bad.Call();
      ADD_FAILURE() << bad.What << " did not fail";
    } catch (const EListError& e) {
      EXPECT_STREQ(e.what(), "Listエラー") << bad.What;
    }
    EXPECT_EQ(list.Count(), 3) << bad.What;
  }
  list.Delete(0);
  EXPECT_EQ(list.Items(0), &b);
  list.SetCount(5);
  EXPECT_EQ(list.Items(4), nullptr);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(IntegerList, AddAssignAndRangeErrors) {
  TIntegerList a;
  EXPECT_EQ(a.Add(7), 0);
  EXPECT_EQ(a.Add(-3), 1);
  TIntegerList b;
  b.Add(1);
  b.Assign(a);
  EXPECT_EQ(b.Values(), (std::vector<int32_t>{7, -3}));
  EXPECT_THROW(b.Items(2), EListError);
  b.Clear();
  EXPECT_EQ(b.Count(), 0);
}

}  // namespace

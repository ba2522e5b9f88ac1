#include "columns/ZmRowSelection.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

namespace {

// The selection as one flag per row, for comparison.
std::vector<bool> Flags(const TZmRowSelection& s, int rows) {
  std::vector<bool> flags(size_t(rows), false);
  for (const auto& [first, last] : s.Ranges())
    for (int r = first; r <= last && r < rows; ++r) flags[size_t(r)] = true;
  return flags;
}

// Intervals must stay disjoint and apart (touching ones merged), and the count must match.
void ExpectWellFormed(const TZmRowSelection& s) {
  int64_t count = 0;
  int64_t previousLast = -2;
  for (const auto& [first, last] : s.Ranges()) {
    EXPECT_LE(first, last);
    EXPECT_GT(int64_t(first), previousLast + 1) << "intervals touch or overlap at " << first;
    previousLast = last;
    count += last - first + 1;
  }
  EXPECT_EQ(count, s.Count());
}

TEST(ZmRowSelection, AddingMergesTouchingAndOverlappingIntervals) {
  struct Case {
    std::vector<std::pair<int, int>> Adds;
    std::vector<std::pair<int, int>> Expected;
  };
  const Case cases[] = {
      {{{5, 5}, {6, 6}, {4, 4}}, {{4, 6}}},
      {{{1, 2}, {8, 9}, {3, 7}}, {{1, 9}}},
      {{{1, 2}, {8, 9}, {0, 20}}, {{0, 20}}},
      {{{1, 2}, {5, 6}}, {{1, 2}, {5, 6}}},
      {{{10, 12}, {11, 11}}, {{10, 12}}},
      {{{3, 1}, {-1, 4}}, {}},  // reversed or negative: ignored
      {{{INT_MAX - 1, INT_MAX}, {0, 0}}, {{0, 0}, {INT_MAX - 1, INT_MAX}}},
  };
  for (const Case& c : cases) {
    TZmRowSelection s;
    for (const auto& [f, l] : c.Adds) s.Add(f, l);
    const std::vector<std::pair<int, int>> got(s.Ranges().begin(), s.Ranges().end());
    EXPECT_EQ(got, c.Expected);
    ExpectWellFormed(s);
  }
}

TEST(ZmRowSelection, RemovingSplitsIntervals) {
  TZmRowSelection s;
  s.Add(0, 99);
  EXPECT_TRUE(s.Remove(10, 19));
  EXPECT_TRUE(s.Remove(50, 50));
  EXPECT_FALSE(s.Remove(10, 19));
  EXPECT_FALSE(s.Remove(200, 300));
  EXPECT_EQ(s.Count(), 89);
  EXPECT_TRUE(s.IsSelected(9));
  EXPECT_FALSE(s.IsSelected(10));
  EXPECT_TRUE(s.IsSelected(20));
  EXPECT_FALSE(s.IsSelected(50));
  EXPECT_TRUE(s.Remove(5, 95));
  const std::vector<std::pair<int, int>> got(s.Ranges().begin(), s.Ranges().end());
  EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{0, 4}, {96, 99}}));
  EXPECT_TRUE(s.Truncate(97));
  EXPECT_EQ(s.Count(), 6);
  EXPECT_TRUE(s.Truncate(0));
  EXPECT_EQ(s.Count(), 0);
}

TEST(ZmRowSelection, ChangesAreReportedOnlyWhenRowsChange) {
  TZmRowSelection s;
  EXPECT_FALSE(s.Clear());
  EXPECT_TRUE(s.Add(3, 4));
  EXPECT_FALSE(s.Add(3, 3));
  EXPECT_FALSE(s.SelectOnly(3, 4));
  EXPECT_TRUE(s.SelectOnly(3, 3));
  EXPECT_FALSE(s.Invert(0));
  EXPECT_TRUE(s.Invert(5));
  EXPECT_EQ(s.Count(), 4);
  EXPECT_FALSE(s.IsSelected(3));
  EXPECT_FALSE(s.IsSelected(-1));
}

// Random operations against one flag per row.
TEST(ZmRowSelection, MatchesAPerRowModelUnderRandomOperations) {
  constexpr int kRows = 300;
  std::mt19937 rng(7);
  TZmRowSelection s;
  std::vector<bool> model(kRows, false);
  for (int step = 0; step < 4000; ++step) {
    const int a = int(rng() % kRows), b = int(rng() % kRows);
    const int first = std::min(a, b), last = std::max(a, b);
    const std::vector<bool> before = model;
    bool changed = false;
    switch (rng() % 6) {
      case 0:
      case 1:
        changed = s.Add(first, last);
        for (int r = first; r <= last; ++r) model[size_t(r)] = true;
        break;
      case 2:
        changed = s.Remove(first, last);
        for (int r = first; r <= last; ++r) model[size_t(r)] = false;
        break;
      case 3:
        changed = s.SelectOnly(first, last);
        for (int r = 0; r < kRows; ++r) model[size_t(r)] = r >= first && r <= last;
        break;
      case 4:
        changed = s.Invert(kRows);
        model.flip();
        break;
      case 5:
        changed = s.Add(a, a);
        model[size_t(a)] = true;
        break;
    }
    ASSERT_EQ(Flags(s, kRows), model) << "step " << step;
    ASSERT_EQ(changed, before != model) << "step " << step;
    ExpectWellFormed(s);
  }
}

}  // namespace

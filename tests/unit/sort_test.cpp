// The heapsort that orders the module's lists. Equal elements end up in the order this particular
// procedure gives, and lists show that order, so the expected sequences below were worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ge_mtools.h"

namespace {

struct Pair {
  int32_t key;
  char tag;
};

// Compares by key only, so that elements with one key are equivalent.
class ByKey : public GeSortAndSearchEx {
 public:
  int32_t Compare(const void* a, const void* b) override {
    ++calls;
    const int32_t ka = static_cast<const Pair*>(a)->key;
    const int32_t kb = static_cast<const Pair*>(b)->key;
    return ka < kb ? -1 : (ka > kb ? 1 : 0);
  }
  int calls = 0;
};

std::string Tags(const std::vector<Pair>& pairs) {
  std::string tags;
  for (const Pair& p : pairs) tags += std::to_string(p.key) + p.tag + " ";
  return tags;
}

std::string SortedTags(std::vector<Pair> pairs) {
  ByKey sorter;
  sorter.Sort(pairs.data(), static_cast<int32_t>(pairs.size()), sizeof(Pair));
  return Tags(pairs);
}

TEST(Sort, EquivalentElementsFollowTheHeapOrder) {
  EXPECT_EQ(SortedTags({{5, 'a'}, {5, 'b'}}), "5b 5a ") << "two equal elements swap";
  EXPECT_EQ(SortedTags({{3, 'a'}, {1, 'b'}}), "1b 3a ");
  EXPECT_EQ(SortedTags({{1, 'a'}, {3, 'b'}}), "1a 3b ");
  EXPECT_EQ(SortedTags({{2, 'a'}, {1, 'b'}, {2, 'c'}}), "1b 2c 2a ");
  EXPECT_EQ(SortedTags({{1, 'a'}, {0, 'b'}, {1, 'c'}, {0, 'd'}}), "0b 0d 1c 1a ");
  EXPECT_EQ(SortedTags({{7, 'a'}, {7, 'b'}, {7, 'c'}}), "7b 7c 7a ");
}

TEST(Sort, FewerThanTwoElementsAreNotTouched) {
  ByKey sorter;
  Pair one{9, 'x'};
  sorter.Sort(&one, 1, sizeof(Pair));
  sorter.Sort(nullptr, 0, sizeof(Pair));
  EXPECT_EQ(one.key, 9);
  EXPECT_EQ(sorter.calls, 0);
}

// Sorts elements of N bytes whose first byte is the key; the other bytes must travel with it.
template <size_t N>
class FirstByte : public GeSortAndSearchEx {
 public:
  int32_t Compare(const void* a, const void* b) override {
    return static_cast<int32_t>(*static_cast<const uint8_t*>(a)) - *static_cast<const uint8_t*>(b);
  }
};

template <size_t N>
void CheckElementSize() {
  std::vector<std::array<uint8_t, N>> elements(57);
  std::vector<uint8_t> keys(elements.size());
  for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<uint8_t>(i * 3);
  std::shuffle(keys.begin(), keys.end(), std::mt19937(static_cast<unsigned>(N)));
  for (size_t i = 0; i < elements.size(); ++i) {
    for (size_t b = 0; b < N; ++b) elements[i][b] = static_cast<uint8_t>(keys[i] + b);
  }
  FirstByte<N> sorter;
  sorter.Sort(elements.data(), static_cast<int32_t>(elements.size()), static_cast<int32_t>(N));
  for (size_t i = 0; i < elements.size(); ++i) {
    ASSERT_EQ(elements[i][0], i * 3) << "element size " << N << ", position " << i;
    for (size_t b = 1; b < N; ++b) ASSERT_EQ(elements[i][b], static_cast<uint8_t>(i * 3 + b)) << "size " << N;
  }
}

template <size_t... N>
void CheckElementSizes() {
  (CheckElementSize<N>(), ...);
}

TEST(Sort, WholeElementsMoveForEverySize) {
  CheckElementSizes<1, 2, 3, 4, 6, 8, 12>();
}

int32_t ComparePairs(Pair* const* a, Pair* const* b) {
  return (*a)->key - (*b)->key;
}

TEST(Sort, PointerListsSortByTheItemsTheyReferTo) {
  Pair items[] = {{1, 'a'}, {0, 'b'}, {1, 'c'}, {0, 'd'}};
  Pair* list[] = {&items[0], &items[1], &items[2], &items[3]};
  GeSchmodderSort<Pair> sorter(&ComparePairs);
  sorter.Sort(list, 4);
  std::string order;
  for (Pair* item : list) order += item->tag;
  EXPECT_EQ(order, "bdca");
  EXPECT_EQ(items[0].tag, 'a') << "the items themselves stay where they are";
}

}  // namespace

// The symbol table of the distribution builder: its seeds, the duplicate lookup and symbol
// substitution (longest stored name first, its first occurrence, plain substring search).
#include <gtest/gtest.h>

#include <string>

#include "makedistri/symbol_table.h"
#include "unit/with_host.h"

namespace {

using test_support::RealHostTable;
using test_support::WithHost;

std::string Substituted(const SymbolTable& table, std::string text, bool* replaced = nullptr) {
  const bool any = table.Substitute(text);
  if (replaced) *replaced = any;
  return text;
}

TEST(SymbolTable, StartsWithTheTwoSeedsThatSubstitutionUses) {
  WithHost host(RealHostTable());
  SymbolTable table;
  ASSERT_TRUE(table.Create());
  EXPECT_EQ(table.Count(), 2);
  EXPECT_EQ(table.Find("sizeof(Int16)"), 0);
  EXPECT_EQ(table.Find("sizeof(PIX_F)"), 1);
  EXPECT_EQ(table.Find("sizeof(Int1"), -1);
  EXPECT_EQ(table.Find("sizeof(Int16)x"), -1);
  EXPECT_EQ(Substituted(table, "sizeof(Int16)*sizeof(PIX_F)"), "2*4");
  // a second Create starts over
  ASSERT_TRUE(table.Add("A", 1));
  ASSERT_TRUE(table.Create());
  EXPECT_EQ(table.Count(), 2);
  EXPECT_EQ(table.Find("A"), -1);
}

TEST(SymbolTable, SubstitutesTheLongestNameFirstAtItsFirstOccurrence) {
  WithHost host(RealHostTable());
  SymbolTable table;
  ASSERT_TRUE(table.Create());
  ASSERT_TRUE(table.Add("AB", 1));
  ASSERT_TRUE(table.Add("ABC", 2));
  ASSERT_TRUE(table.Add("NEG", -7));
  ASSERT_TRUE(table.Add("XY", 30));
  ASSERT_TRUE(table.Add("YZ", 40));
  EXPECT_EQ(table.Find("AB"), 2);
  EXPECT_EQ(table.Find("ABC"), 3);

  EXPECT_EQ(Substituted(table, "ABC+AB"), "2+1");
  EXPECT_EQ(Substituted(table, "AB+ABC"), "1+2");
  // only the first occurrence per round, every occurrence in the end
  EXPECT_EQ(Substituted(table, "AB|AB|AB"), "1|1|1");
  // a plain substring: AB inside a longer word is replaced too
  EXPECT_EQ(Substituted(table, "xABy"), "x1y");
  EXPECT_EQ(Substituted(table, "0-NEG"), "0--7");
  // XY and YZ overlap in XYZ and are equally long: the earlier entry wins, and Z is left
  EXPECT_EQ(Substituted(table, "XYZ"), "30Z");
  bool replaced = true;
  EXPECT_EQ(Substituted(table, "1+Q", &replaced), "1+Q");
  EXPECT_FALSE(replaced);
  EXPECT_EQ(Substituted(table, "", &replaced), "");
  EXPECT_FALSE(replaced);
}

TEST(SymbolTable, AReplacementThatFormsANewNameIsReplacedInTheNextRound) {
  WithHost host(RealHostTable());
  SymbolTable table;
  ASSERT_TRUE(table.Create());
  ASSERT_TRUE(table.Add("K1", 11));
  ASSERT_TRUE(table.Add("ONE", 1));
  // K followed by ONE: ONE is the only name, gives K1, which is a name in the next round
  EXPECT_EQ(Substituted(table, "KONE"), "11");
}

TEST(SymbolTable, HoldsExactlyItsCapacity) {
  WithHost host(RealHostTable());
  SymbolTable table;
  ASSERT_TRUE(table.Create());
  for (int32_t i = table.Count(); i < MAX_IDENTIFIER_ENTRIES; ++i)
    ASSERT_TRUE(table.Add("S" + std::to_string(i), i));
  EXPECT_TRUE(table.IsFull());
  EXPECT_FALSE(table.Add("ONE_MORE", 1));
  EXPECT_EQ(table.Count(), MAX_IDENTIFIER_ENTRIES);
  EXPECT_EQ(table.Find("S49999"), 49999);
  EXPECT_EQ(table.Value(table.Find("S12345")), 12345);
  EXPECT_EQ(table.Name(777), "S777");
  // S49999 is the longest name in the text; S4 and S49 are shorter ones inside it
  EXPECT_EQ(Substituted(table, "S49999+S4"), "49999+4");
}

}  // namespace

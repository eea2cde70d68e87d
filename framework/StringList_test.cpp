// Sorted and unsorted string lists: order, case, duplicates and the objects they own.
#include "framework/StringList.h"

#include "framework/Resources.h"
#include "text/StringTableIds.h"
#include "text/TextConvert.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

template <typename Object> std::vector<std::u16string> Texts(const TStringList<Object>& list) {
  std::vector<std::u16string> texts;
  for (int i = 0; i < list.Count(); ++i)
    texts.push_back(list.Strings(i));
  return texts;
}

TEST(StringListTest, SortedOrderFoldsAsciiLettersToUpperCase) {
  TStringList<> list;
  list.Sorted = true;
  for (const char16_t* text : {u"gamma", u"_under", u"Beta", u"alpha", u"\u00e9t\u00e9", u"Zulu"})
    list.Add(text);
  // "_" sorts after the letters: they compare as capitals, whatever their case.
  EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"alpha", u"Beta", u"gamma", u"Zulu",
                                                      u"_under", u"\u00e9t\u00e9"}));
  EXPECT_EQ(list.IndexOf(u"BETA"), 1);
  EXPECT_EQ(list.IndexOf(u"ZULU"), 3);
  EXPECT_EQ(list.IndexOf(u"\u00c9T\u00c9"), -1) << "only ASCII letters fold";
  int index = -1;
  EXPECT_FALSE(list.Find(u"delta", index));
  EXPECT_EQ(index, 2) << "where it would go";
  EXPECT_FALSE(list.Find(u"~", index));
  EXPECT_EQ(index, 5) << "after every ASCII text, before the accented one";
  EXPECT_FALSE(list.Find(u"\uffff", index));
  EXPECT_EQ(index, list.Count());
}

TEST(StringListTest, CaseSensitiveListsCompareOrdinally) {
  TStringList<> list;
  list.Sorted = true;
  list.CaseSensitive = true;
  for (const char16_t* text : {u"beta", u"alpha", u"Alpha", u"_x"})
    list.Add(text);
  EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"Alpha", u"_x", u"alpha", u"beta"}));
  EXPECT_EQ(list.IndexOf(u"ALPHA"), -1);
  EXPECT_EQ(list.IndexOf(u"alpha"), 2);
}

TEST(StringListTest, DuplicatesInSortedLists) {
  // Test tuple <what a sorted list does with a duplicate, texts afterwards>
  const struct {
    TDuplicates duplicates;
    std::vector<std::u16string> texts;
  } cases[] = {
      {TDuplicates::dupIgnore, {u"one", u"two"}},
      {TDuplicates::dupAccept, {u"one", u"TWO", u"two"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.duplicates));
    TStringList<> list;
    list.Sorted = true;
    list.Duplicates = c.duplicates;
    list.Add(u"two");
    list.Add(u"one");
    int at = list.Add(u"TWO");
    EXPECT_EQ(Texts(list), c.texts);
    EXPECT_EQ(CompareTextOrdinalIgnoreCase(list.Strings(at), u"two"), 0)
        << "the index answered holds the text or its equal";
  }
}

TEST(StringListTest, DuplicateRaisesTheTableTextAndLeavesTheListAsItWas) {
  TStringList<int> list;
  list.Sorted = true;
  list.Duplicates = TDuplicates::dupError;
  list.AddObject(u"Key", std::make_unique<int>(1));
  try {
    list.AddObject(u"KEY", std::make_unique<int>(2));
    FAIL() << "a duplicate was accepted";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), LoadStr(SDuplicateString));
    EXPECT_FALSE(e.Message().empty());
  }
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(*list.Objects(0), 1);
  // Unsorted lists keep everything, in insertion order.
  TStringList<> unsorted;
  unsorted.Duplicates = TDuplicates::dupError;
  for (const char16_t* text : {u"b", u"a", u"B"})
    unsorted.Add(text);
  EXPECT_EQ(Texts(unsorted), (std::vector<std::u16string>{u"b", u"a", u"B"}));
  EXPECT_EQ(unsorted.IndexOf(u"B"), 0) << "the first of equal texts";
}

TEST(StringListTest, ObjectsTravelWithTheirTextsAndAreOwned) {
  struct Counted {
    explicit Counted(int& alive) : alive(alive) { ++alive; }
    ~Counted() { --alive; }
    int& alive;
  };
  int alive = 0;
  {
    TStringList<Counted> list;
    list.Sorted = true;
    for (const char16_t* text : {u"c", u"a", u"b"})
      list.AddObject(text, std::make_unique<Counted>(alive));
    const Counted* ofB = list.Objects(1);
    list.AddObject(u"0", std::make_unique<Counted>(alive));
    EXPECT_EQ(list.Objects(2), ofB) << "the object moved with its text";
    EXPECT_EQ(alive, 4);
    list.Delete(0);
    EXPECT_EQ(alive, 3);
    std::unique_ptr<Counted> taken = list.Extract(0);
    EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"b", u"c"}));
    EXPECT_EQ(alive, 3) << "an extracted object lives on";
    taken.reset();
    EXPECT_EQ(alive, 2);
  }
  EXPECT_EQ(alive, 0) << "the list destroys what it still owns";
}

} // namespace

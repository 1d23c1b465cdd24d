#include "host/Strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/Exceptions.h"
#include "host/Stream.h"

namespace {

using host::TStringList;

std::vector<std::string> Lines(const host::TStrings& s) {
    std::vector<std::string> out;
    for (int i = 0; i < s.Count(); ++i)
        out.push_back(s.Strings(i));
    return out;
}

using V = std::vector<std::string>;

// A list that records its change events.
struct Watched {
    TStringList list;
    std::vector<std::string> events;
    Watched() {
        list.SetOnChanging([this](host::TObject* sender) {
            EXPECT_EQ(sender, &list);
            events.push_back("changing");
        });
        list.SetOnChange(
            [this](host::TObject*) { events.push_back("change:" + std::to_string(list.Count())); });
    }
};

TEST(StringListNameValue, ValuesFindsTheFirstNameIgnoringCase) {
    TStringList s;
    s.Add("Host=localhost");
    s.Add("noequals");
    s.Add("PORT=1114");
    s.Add("port=9999");
    s.Add("Empty=");
    EXPECT_EQ(s.Values("port"), "1114");
    EXPECT_EQ(s.Values("HOST"), "localhost");
    EXPECT_EQ(s.Values("missing"), "");
    EXPECT_EQ(s.Values("noequals"), ""); // a line without '=' has no name
    EXPECT_EQ(s.IndexOfName("noequals"), -1);
    EXPECT_EQ(s.IndexOfName("empty"), 4);
    EXPECT_EQ(s.Names(0), "Host");
    EXPECT_EQ(s.Names(1), "");
    EXPECT_EQ(s.ValueFromIndex(0), "localhost");
}

TEST(StringListNameValue, ValueKeepsEverythingAfterTheFirstEquals) {
    TStringList s;
    s.Add("Filter=a=b");
    EXPECT_EQ(s.Names(0), "Filter");
    EXPECT_EQ(s.Values("Filter"), "a=b");
}

TEST(StringListNameValue, SettingValuesReplacesAppendsOrDeletes) {
    TStringList s;
    s.Add("A=1");
    s.Add("B=2");
    s.SetValues("a", "10");
    EXPECT_EQ(Lines(s), (V{"a=10", "B=2"}));
    s.SetValues("C", "3");
    EXPECT_EQ(Lines(s), (V{"a=10", "B=2", "C=3"}));
    s.SetValues("b", "");
    EXPECT_EQ(Lines(s), (V{"a=10", "C=3"}));
    s.SetValues("nothing", ""); // deleting an absent name does nothing
    EXPECT_EQ(s.Count(), 2);
}

TEST(StringListChanges, EveryModificationFiresChangingThenChange) {
    Watched w;
    w.list.Add("a");
    w.list.Insert(0, "b");
    w.list.SetStrings(0, "c");
    w.list.Delete(0);
    V expected = {"changing", "change:1", "changing", "change:2",
                  "changing", "change:2", "changing", "change:1"};
    EXPECT_EQ(w.events, expected);
}

TEST(StringListChanges, UpdateBracketBatchesIntoOnePair) {
    Watched w;
    w.list.BeginUpdate();
    w.list.BeginUpdate();
    w.list.Add("a");
    w.list.Add("b");
    w.list.EndUpdate();
    EXPECT_EQ(w.events, V{"changing"});
    w.list.Add("c");
    w.list.EndUpdate();
    EXPECT_EQ(w.events, (V{"changing", "change:3"}));
}

TEST(StringListChanges, EmptyBracketStillFiresBothEvents) {
    Watched w;
    w.list.BeginUpdate();
    w.list.EndUpdate();
    EXPECT_EQ(w.events, (V{"changing", "change:0"}));
}

TEST(StringListChanges, ClearOfAnEmptyListFiresNothing) {
    Watched w;
    w.list.Clear();
    EXPECT_TRUE(w.events.empty());
}

TEST(StringListChanges, TextAndCommaTextAssignmentFireOncePair) {
    Watched w;
    w.list.SetText("a\r\nb\nc");
    EXPECT_EQ(w.events, (V{"changing", "change:3"}));
    w.events.clear();
    w.list.SetCommaText("x,y");
    EXPECT_EQ(w.events, (V{"changing", "change:2"}));
    w.events.clear();
    TStringList other;
    other.Add("1");
    w.list.Assign(&other);
    EXPECT_EQ(w.events, (V{"changing", "change:1"}));
}

TEST(StringListText, LinesEndWithCrLfAndAnyBreakSplits) {
    TStringList s;
    s.SetText("one\r\ntwo\nthree\rfour\r\n\r\nsix");
    EXPECT_EQ(Lines(s), (V{"one", "two", "three", "four", "", "six"}));
    EXPECT_EQ(s.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n\r\nsix\r\n");
    s.SetText("only\r\n");
    EXPECT_EQ(Lines(s), V{"only"});
    s.SetText("");
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Text(), "");
}

TEST(StringListCommaText, QuotesItemsWithBlanksQuotesOrCommas) {
    TStringList s;
    s.Add("plain");
    s.Add("two words");
    s.Add("say \"hi\"");
    s.Add("a,b");
    s.Add("");
    EXPECT_EQ(s.CommaText(), "plain,\"two words\",\"say \"\"hi\"\"\",\"a,b\",");
}

TEST(StringListCommaText, SingleEmptyItemIsTwoQuotesAndEmptyListIsEmpty) {
    TStringList s;
    EXPECT_EQ(s.CommaText(), "");
    s.Add("");
    EXPECT_EQ(s.CommaText(), "\"\"");
}

TEST(StringListCommaText, ParsingRules) {
    TStringList s;
    s.SetCommaText("a b,c"); // unquoted blanks split items
    EXPECT_EQ(Lines(s), (V{"a", "b", "c"}));
    s.SetCommaText("  \"x, y\" , \"he said \"\"no\"\"\",z");
    EXPECT_EQ(Lines(s), (V{"x, y", "he said \"no\"", "z"}));
    s.SetCommaText("a,,b");
    EXPECT_EQ(Lines(s), (V{"a", "", "b"}));
    s.SetCommaText("a,");
    EXPECT_EQ(Lines(s), (V{"a", ""}));
    s.SetCommaText("");
    EXPECT_EQ(s.Count(), 0);
    s.SetCommaText("\"\"");
    EXPECT_EQ(Lines(s), V{""});
}

TEST(StringListCommaText, RoundTripsAwkwardItems) {
    TStringList s;
    V items = {"", "a b", "\"", ",", "x\ty", "end"};
    for (const auto& i : items)
        s.Add(i);
    TStringList back;
    back.SetCommaText(s.CommaText());
    EXPECT_EQ(Lines(back), items);
}

TEST(StringListSorted, AddInsertsInCaseInsensitiveOrder) {
    TStringList s;
    s.SetSorted(true);
    s.Add("delta");
    s.Add("Alpha");
    s.Add("charlie");
    s.Add("Bravo");
    EXPECT_EQ(Lines(s), (V{"Alpha", "Bravo", "charlie", "delta"}));
    EXPECT_EQ(s.IndexOf("CHARLIE"), 2);
    EXPECT_EQ(s.IndexOf("echo"), -1);
    int index = -1;
    EXPECT_FALSE(s.Find("bz", index));
    EXPECT_EQ(index, 2);
}

TEST(StringListSorted, SettingSortedSortsExistingLines) {
    TStringList s;
    s.Add("b");
    s.Add("C");
    s.Add("a");
    s.SetSorted(true);
    EXPECT_EQ(Lines(s), (V{"a", "b", "C"}));
}

TEST(StringListSorted, InsertAndPutAreRefused) {
    TStringList s;
    s.SetSorted(true);
    s.Add("a");
    try {
        s.Insert(0, "b");
        FAIL();
    } catch (const host::EStringListError& e) {
        EXPECT_EQ(e.Message(), "Operation not allowed on sorted list");
    }
    EXPECT_THROW(s.SetStrings(0, "z"), host::EStringListError);
    EXPECT_EQ(Lines(s), V{"a"});
}

TEST(StringListSorted, DuplicatesIgnoreReturnsTheExistingIndex) {
    TStringList s;
    s.SetSorted(true);
    s.Add("a");
    s.Add("b");
    EXPECT_EQ(s.Add("B"), 1);
    EXPECT_EQ(s.Count(), 2);
}

TEST(StringListSorted, DuplicatesAcceptAddsAndFindReturnsTheFirst) {
    TStringList s;
    s.SetSorted(true);
    s.SetDuplicates(host::dupAccept);
    for (const char* x : {"b", "a", "b", "B", "c"})
        s.Add(x);
    EXPECT_EQ(s.Count(), 5);
    int index = -1;
    EXPECT_TRUE(s.Find("b", index));
    EXPECT_EQ(index, 1);
}

TEST(StringListSorted, DuplicatesErrorRaises) {
    TStringList s;
    s.SetSorted(true);
    s.SetDuplicates(host::dupError);
    s.Add("x");
    try {
        s.Add("X");
        FAIL();
    } catch (const host::EStringListError& e) {
        EXPECT_EQ(e.Message(), "String list does not allow duplicates");
    }
}

TEST(StringListSorted, DuplicatesDoNotApplyToUnsortedLists) {
    TStringList s;
    s.SetDuplicates(host::dupError);
    s.Add("x");
    s.Add("x");
    EXPECT_EQ(s.Count(), 2);
}

TEST(StringListCase, CaseSensitiveChangesLookupAndResorts) {
    TStringList s;
    s.Add("abc");
    EXPECT_EQ(s.IndexOf("ABC"), 0);
    s.SetCaseSensitive(true);
    EXPECT_EQ(s.IndexOf("ABC"), -1);

    TStringList sorted;
    sorted.SetSorted(true);
    sorted.Add("b");
    sorted.Add("B"); // ignored as a duplicate while case-insensitive
    sorted.SetDuplicates(host::dupAccept);
    sorted.Add("B");
    sorted.Add("a");
    sorted.SetCaseSensitive(true); // byte order: upper case first
    EXPECT_EQ(Lines(sorted), (V{"B", "a", "b"}));
    EXPECT_EQ(sorted.IndexOf("b"), 2);
}

TEST(StringListObjects, ObjectsTravelWithTheirLines) {
    host::TObject o1, o2;
    TStringList s;
    s.AddObject("z", &o1);
    s.AddObject("a", &o2);
    s.SetSorted(true);
    EXPECT_EQ(s.Objects(0), &o2);
    EXPECT_EQ(s.Objects(1), &o1);
    EXPECT_EQ(s.IndexOfObject(&o1), 1);
    TStringList copy;
    copy.Assign(&s);
    EXPECT_EQ(copy.Objects(0), &o2);
    s.SetObjects(0, nullptr);
    EXPECT_EQ(s.Objects(0), nullptr);
}

TEST(StringListErrors, IndexErrorsAreStringListErrorsWithTheIndex) {
    TStringList s;
    s.Add("a");
    try {
        s.Strings(1);
        FAIL();
    } catch (const host::EStringListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (1)");
    }
    EXPECT_THROW(s.Delete(-1), host::EStringListError);
    EXPECT_THROW(s.Objects(2), host::EStringListError);
    EXPECT_THROW(s.Insert(3, "x"), host::EStringListError);
}

TEST(StringListMove, MoveAndExchangeKeepObjects) {
    host::TObject o;
    TStringList s;
    s.Add("a");
    s.AddObject("b", &o);
    s.Add("c");
    s.Move(1, 2);
    EXPECT_EQ(Lines(s), (V{"a", "c", "b"}));
    EXPECT_EQ(s.Objects(2), &o);
    s.Exchange(0, 2);
    EXPECT_EQ(Lines(s), (V{"b", "c", "a"}));
    EXPECT_EQ(s.Objects(0), &o);
}

TEST(StringListAssign, AssignCopiesAndEqualsCompares) {
    TStringList a, b;
    a.Add("x");
    a.Add("y");
    b.Add("old");
    b.Assign(&a);
    EXPECT_TRUE(b.Equals(a));
    b.Add("z");
    EXPECT_FALSE(b.Equals(a));
    a.AddStrings(a); // adding a list to itself doubles it
    EXPECT_EQ(Lines(a), (V{"x", "y", "x", "y"}));
}

TEST(StringListStream, SaveAndLoadThroughAStream) {
    TStringList s;
    s.Add("first");
    s.Add("second");
    host::TMemoryStream stream;
    s.SaveToStream(stream);
    EXPECT_EQ(stream.Size(), 15);
    stream.SetPosition(0);
    TStringList back;
    back.LoadFromStream(stream);
    EXPECT_EQ(Lines(back), (V{"first", "second"}));
}

TEST(StringListSort, CustomSortUsesTheCallersOrder) {
    TStringList s;
    for (const char* x : {"ccc", "a", "bb"})
        s.Add(x);
    s.CustomSort([](TStringList* list, int i, int j) {
        return static_cast<int>(list->Strings(i).size()) - static_cast<int>(list->Strings(j).size());
    });
    EXPECT_EQ(Lines(s), (V{"a", "bb", "ccc"}));
}

} // namespace

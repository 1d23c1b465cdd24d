// Key searches and ranges of the table component on the index in force: FindKey / FindNearest /
// GotoKey / GotoNearest over one- and two-field indexes of several types, the key buffers, and
// ranges over full and partial keys.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TableFixture.h"
#include "host/Messages.h"

namespace corvane::test {
namespace {

class TableKeysTest : public TableTest {
protected:
    void SetUp() override {
        TableTest::SetUp();
        CreatePeople();
        table = NewTmTable("people");
    }
    // Opens the table on index name.
    void OpenOn(const std::string& name) {
        table->SetIndexName(name);
        table->Open();
    }
    int Id() { return table->FieldByName("id")->AsInteger(); }

    TmSQLTable* table = nullptr;
};

TEST_F(TableKeysTest, FindKeyOnOneFieldIndexesOfTextIntegerDateAndMoney) {
    OpenOn("by_name");
    EXPECT_TRUE(table->FindKey({host::Variant("O'Neil")}));
    EXPECT_EQ(Id(), 4);
    EXPECT_TRUE(table->FindKey({host::Variant("back\\slash")}));
    EXPECT_EQ(Id(), 5);
    EXPECT_FALSE(table->FindKey({host::Variant("brown")})) << "an exact, case-sensitive match";
    EXPECT_EQ(Id(), 5) << "a failed search leaves the current row";

    table->SetIndexName("by_id");
    EXPECT_TRUE(table->FindKey({host::Variant(3)}));
    EXPECT_EQ(table->FieldByName("name")->AsString(), "Brown");

    table->SetIndexName("by_born");
    EXPECT_TRUE(table->FindKey({host::Variant(host::EncodeDate(1981, 1, 1))}));
    EXPECT_EQ(Id(), 4);
    EXPECT_FALSE(table->FindKey({host::Variant(host::EncodeDate(1981, 1, 2))}));

    table->Close();
    table->AddIndex("by_pay", "pay", {});
    table->SetIndexFieldNames("pay");
    table->Open();
    host::Variant pay(150.25);
    EXPECT_TRUE(table->FindKey({pay}));
    EXPECT_EQ(Id(), 3);
}

TEST_F(TableKeysTest, FindKeyOnATwoFieldIndexSearchesOnEveryValueGiven) {
    OpenOn("by_city");
    EXPECT_TRUE(table->FindKey({host::Variant("Oslo"), host::Variant("Smith")}));
    EXPECT_EQ(Id(), 1);
    EXPECT_FALSE(table->FindKey({host::Variant("Oslo"), host::Variant("jones")}));
    EXPECT_TRUE(table->FindKey({host::Variant("Bergen")})) << "one value: the leading field only";
    EXPECT_EQ(Id(), 4);
    // More values than the index has fields.
    const std::string message = ExpectHostError([&] {
        table->FindKey({host::Variant("Oslo"), host::Variant("Smith"), host::Variant(1)});
    });
    EXPECT_NE(message.find(host::SFieldIndexError), std::string::npos) << message;
}

TEST_F(TableKeysTest, FindNearestGoesToTheFirstRowAtOrAfterTheKeyInIndexOrder) {
    OpenOn("by_name");
    table->FindNearest({host::Variant("C")});
    EXPECT_EQ(table->FieldByName("name")->AsString(), "O'Neil");
    table->FindNearest({host::Variant("zzz")});
    EXPECT_EQ(table->FieldByName("name")->AsString(), "jones") << "beyond every row: the last one";

    // Two fields compare in key order: the first decides, the second breaks ties.
    table->SetIndexName("by_city");
    table->FindNearest({host::Variant("Bergen"), host::Variant("z")});
    EXPECT_EQ(table->FieldByName("city")->AsString(), "Oslo");
    EXPECT_EQ(table->FieldByName("name")->AsString(), "Brown");
    table->FindNearest({host::Variant("Oslo"), host::Variant("C")});
    EXPECT_EQ(Id(), 1);

    table->SetIndexName("by_born");
    table->FindNearest({host::Variant(host::EncodeDate(1985, 1, 1))});
    EXPECT_EQ(Id(), 3);
    EXPECT_EQ(
        Inspect(table)->LocateNearestRecord("born", host::Variant(host::EncodeDate(2000, 1, 1)), {}, true),
        DBIERR_EOF);
}

TEST_F(TableKeysTest, SetKeyTypesTheSearchKeyIntoTheIndexFields) {
    OpenOn("by_city");
    table->SetKey();
    EXPECT_EQ(table->State(), host::dsSetKey);
    table->FieldByName("city")->SetAsString("Oslo");
    table->FieldByName("name")->SetAsString("Smith");
    const std::string message = ExpectHostError([&] { table->FieldByName("id")->SetAsInteger(1); });
    EXPECT_EQ(message, host::Format(host::SNotIndexField, "id"));
    EXPECT_TRUE(table->GotoKey()) << "every index field that was given a value";
    EXPECT_EQ(Id(), 1);
    EXPECT_EQ(table->State(), host::dsBrowse);

    // EditKey keeps the key; with a field count only the leading fields take part.
    table->EditKey();
    EXPECT_EQ(table->FieldByName("name")->AsString(), "Smith");
    table->FieldByName("name")->SetAsString("nobody");
    EXPECT_FALSE(table->GotoKey());
    table->EditKey();
    table->SetKeyFieldCount(1);
    EXPECT_EQ(table->KeyFieldCount(), 1);
    EXPECT_FALSE(table->KeyExclusive());
    EXPECT_TRUE(table->GotoKey());
    EXPECT_EQ(table->FieldByName("city")->AsString(), "Oslo");

    // Cancelling the key edit restores the key as it was.
    table->EditKey();
    table->FieldByName("city")->SetAsString("Bergen");
    table->Cancel();
    table->EditKey();
    EXPECT_EQ(table->FieldByName("city")->AsString(), "Oslo");
    table->Cancel();
    EXPECT_THROW(table->KeyFieldCount(), host::EDatabaseError) << "outside the set-key state";
}

TEST_F(TableKeysTest, WithoutAnIndexKeySearchesNameTheTable) {
    Exec("create table plain (a int)");
    Exec("insert into plain values (1)");
    TmSQLTable* plain = NewTmTable("plain");
    plain->Open();
    EXPECT_EQ(plain->IndexFieldCount(), 0);
    const std::string expected = "Table 'plain' has no index to search on";
    EXPECT_EQ(ExpectHostError([&] { plain->FindKey({host::Variant(1)}); }), expected);
    EXPECT_EQ(ExpectHostError([&] { plain->FindNearest({host::Variant(1)}); }), expected);
    EXPECT_EQ(ExpectHostError([&] { plain->GotoKey(); }), expected);
    EXPECT_EQ(ExpectHostError([&] { plain->SetRange({host::Variant(1)}, {host::Variant(1)}); }),
              host::SNoFieldIndexes);
}

TEST_F(TableKeysTest, TheKeyProtocolFollowsTheIndexInForce) {
    OpenOn("by_id");
    InspectTable* inspect = Inspect(table);
    EXPECT_EQ(inspect->fKeySize, 4 + 1) << "an INT key slot and its presence byte";
    EXPECT_TRUE(inspect->MapsToIndex({table->FieldByName("id")}, false));
    EXPECT_FALSE(inspect->MapsToIndex({table->FieldByName("name")}, false));
    EXPECT_FALSE(inspect->MapsToIndex({table->FieldByName("id"), table->FieldByName("name")}, false));
    table->SetRange({host::Variant(2)}, {host::Variant(3)});
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"2", "3"}));

    // A switch lifts the range; keys and ranges then work on the new index's fields.
    table->SetIndexName("by_city");
    EXPECT_EQ(table->RecordCount(), 5);
    EXPECT_EQ(inspect->fKeySize, 2 * (20 + 1));
    EXPECT_TRUE(inspect->MapsToIndex({table->FieldByName("city"), table->FieldByName("name")}, false));
    EXPECT_FALSE(inspect->MapsToIndex({table->FieldByName("city")}, true)) << "the index is case-sensitive";
    table->SetRange({host::Variant("Oslo"), host::Variant("A")}, {host::Variant("Oslo"), host::Variant("C")});
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"3"}));
}

TEST_F(TableKeysTest, LinkRangesFillStartAndEndAlikeAndAnUnchangedRangeIsNotApplied) {
    OpenOn("by_city");
    InspectTable* inspect = Inspect(table);
    auto* master = NewTmTable("people");
    master->SetIndexName("by_id");
    master->Open();
    master->Next(); // Bergen, jones
    inspect->SetLinkRanges({master->FieldByName("city"), master->FieldByName("name")});
    const uint8_t* start = inspect->GetKeyBuffer(host::kiRangeStart);
    const uint8_t* end = inspect->GetKeyBuffer(host::kiRangeEnd);
    EXPECT_EQ(std::memcmp(start, end, inspect->KeyBufferSize()), 0);
    host::TKeyBuffer header;
    std::memcpy(&header, start, sizeof header);
    EXPECT_EQ(static_cast<int>(header.FieldCount), 2);
    EXPECT_EQ(header.Modified, 1);
    EXPECT_TRUE(inspect->SetCursorRange());
    EXPECT_FALSE(inspect->SetCursorRange()) << "the range in force";
    table->First();
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"2"}));
    const std::string message = ExpectHostError([&] { table->IndexFields(2); });
    EXPECT_NE(message.find(host::SFieldIndexError), std::string::npos);
}

TEST_F(TableKeysTest, RangesOverFullAndPartialKeysWithAndWithoutTheirBounds) {
    OpenOn("by_id");
    table->Last();
    table->SetRange({host::Variant(2)}, {host::Variant(4)});
    EXPECT_EQ(Id(), 2) << "the range starts at its first row";
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"2", "3", "4"}));

    // Exclusive bounds, typed into the fields.
    table->SetRangeStart();
    table->FieldByName("id")->SetAsInteger(2);
    table->SetKeyExclusive(true);
    table->SetRangeEnd();
    table->FieldByName("id")->SetAsInteger(4);
    table->SetKeyExclusive(true);
    table->ApplyRange();
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"3"}));

    // Only a start: no upper bound.
    table->SetRangeStart();
    table->FieldByName("id")->SetAsInteger(4);
    table->SetRangeEnd();
    table->ApplyRange();
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"4", "5"}));
    table->CancelRange();
    EXPECT_EQ(table->RecordCount(), 5);

    // A partial key on the two-field index; texts with quotes and backslashes reach the server whole.
    table->SetIndexName("by_city");
    table->SetRange({host::Variant("Oslo")}, {host::Variant("Oslo")});
    EXPECT_EQ(Values(*table, "name"), (std::vector<std::string>{"Brown", "Smith"}));
    table->SetIndexName("by_name");
    table->SetRange({host::Variant("O'Neil")}, {host::Variant("O'Neil")});
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"4"}));
    table->SetRange({host::Variant("back\\slash")}, {host::Variant("back\\slash")});
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"5"}));
    table->SetIndexName("by_born");
    table->SetRange({host::Variant(host::EncodeDate(1980, 1, 1))},
                    {host::Variant(host::EncodeDate(1990, 1, 1))});
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"1", "4"}));
}

} // namespace
} // namespace corvane::test

// Hostile values through the statements the table component writes itself: Insert / Edit / Delete
// with Post, key and non-key columns, memo writes through the field and through a blob stream, long
// texts, and values the columns cannot hold.
#include <gtest/gtest.h>

#include <string>

#include "HostileFixture.h"
#include "access/BlobStreams.h"

namespace corvane::test {
namespace {

class GeneratedWritesTest : public HostileTest {
protected:
    // Moves table (open on t_id) to the row with id.
    static void GoTo(TmSQLTable* table, int id) { ASSERT_TRUE(table->FindKey({host::Variant(id)})) << id; }
};

TEST_F(GeneratedWritesTest, InsertPostWritesEveryValueExactly) {
    TmSQLTable* table = OpenT("t_id");
    ForEachValue("Insert/Post", [&](size_t i, const Value& v) {
        const int id = 100 + static_cast<int>(i);
        table->Insert();
        table->FieldByName("id")->SetAsInteger(id);
        Assign(table->FieldByName("k"), KeyOf(v));
        Assign(table->FieldByName("s"), v);
        Assign(table->FieldByName("m"), v);
        table->Post();
        ModelInsert({id, KeyOf(v), v, MemoWritten(v)});
        EXPECT_EQ(CurrentId(*table), id) << "the dataset stays on the new row";
        EXPECT_EQ(Read(table->FieldByName("s")), v) << "the dataset reads the value back";
        EXPECT_EQ(Read(table->FieldByName("m")), MemoWritten(v));
    });
}

TEST_F(GeneratedWritesTest, EditPostOfANonKeyColumnChangesOnlyThatRow) {
    TmSQLTable* table = OpenT("t_id");
    ForEachValue("Edit/Post non-key", [&](size_t i, const Value& v) {
        const int id = OtherId(i);
        GoTo(table, id);
        table->Edit();
        Assign(table->FieldByName("s"), v);
        table->Post();
        ModelRow(id)->s = v;
        EXPECT_EQ(Read(table->FieldByName("s")), v);
    });
}

TEST_F(GeneratedWritesTest, EditPostOfTheKeyColumnAndBackAgain) {
    TmSQLTable* table = OpenT("t_id");
    ForEachValue(
        "Edit/Post key",
        [&](size_t i, const Value& v) {
            const int id = OtherId(i);
            const Value before = ModelRow(id)->k;
            GoTo(table, id);
            table->Edit();
            Assign(table->FieldByName("k"), v);
            table->Post();
            ModelRow(id)->k = v;
            EXPECT_EQ(Read(table->FieldByName("k")), v);
            ExpectModel("key written");
            // The old value goes back with the hostile one in the row's old values.
            table->Edit();
            Assign(table->FieldByName("k"), before);
            table->Post();
            ModelRow(id)->k = before;
        },
        false);
}

TEST_F(GeneratedWritesTest, EditsThroughALiveQueryWithTheValueInItsParameter) {
    // The query's own WHERE holds the value as a parameter; its edits are written by the dataset.
    TmSQLQuery* query = NewQuery("select * from t where s = :p or id = :id");
    query->SetRequestLive(true);
    ForEachValue("live query Edit/Post", [&](size_t i, const Value& v) {
        const int id = OtherId(i);
        query->Close();
        query->ParamByName("p")->SetDataType(host::ftString);
        if (v)
            query->ParamByName("p")->SetAsString(*v);
        else
            query->ParamByName("p")->Clear();
        query->ParamByName("id")->SetAsInteger(id);
        query->Open();
        ASSERT_TRUE(query->CanModify());
        std::vector<int> expected = ModelIds([&](const Row& row) { return row.s == v || row.id == id; });
        EXPECT_EQ(AllIds(*query), expected);
        ASSERT_TRUE(query->Locate("id", host::Variant(id), {}));
        query->Edit();
        Assign(query->FieldByName("s"), v);
        Assign(query->FieldByName("k"), KeyOf(v));
        query->Post();
        ModelRow(id)->s = v;
        ModelRow(id)->k = KeyOf(v);
    });
}

TEST_F(GeneratedWritesTest, ANullKeyIsRefusedByTheServerAndChangesNothing) {
    TmSQLTable* table = OpenT("t_id");
    GoTo(table, 3);
    table->Edit();
    table->FieldByName("k")->Clear();
    const std::string message = ExpectDatabaseError(DBIERR_NATIVE, [&] { table->Post(); });
    EXPECT_NE(message.find("cannot be NULL"), std::string::npos) << message;
    table->Cancel();
    ExpectModel("null key");
}

TEST_F(GeneratedWritesTest, DeleteRemovesExactlyTheRowHoldingTheValue) {
    TmSQLTable* table = OpenT("t_k");
    ForEachValue("Delete", [&](size_t i, const Value& v) {
        ASSERT_TRUE(table->FindKey({host::Variant(KeyOf(v))}));
        ASSERT_EQ(CurrentId(*table), IdOf(i));
        table->Delete();
        ModelDelete(IdOf(i));
        EXPECT_EQ(table->RecordCount(), static_cast<int>(fModelT.size()));
    });
}

TEST_F(GeneratedWritesTest, MemoWritesThroughTheFieldAndThroughABlobStream) {
    TmSQLTable* table = OpenT("t_id");
    ForEachValue("memo field", [&](size_t i, const Value& v) {
        const int id = OtherId(i);
        GoTo(table, id);
        table->Edit();
        Assign(table->FieldByName("m"), v);
        table->Post();
        ModelRow(id)->m = MemoWritten(v);
        EXPECT_EQ(Read(table->FieldByName("m")), MemoWritten(v));
    });
    ForEachValue(
        "memo blob stream",
        [&](size_t i, const Value& v) {
            const int id = IdOf(i);
            GoTo(table, id);
            table->Edit();
            {
                auto stream = table->CreateBlobStream(table->FieldByName("m"), host::bmWrite);
                const std::string text = *v + *v;
                EXPECT_EQ(stream->Write(text.data(), static_cast<int64_t>(text.size())),
                          static_cast<int64_t>(text.size()));
            }
            table->Post();
            ModelRow(id)->m = MemoWritten(*v + *v);
        },
        false);
    ForEachValue(
        "memo blob stream insert",
        [&](size_t i, const Value& v) {
            const int id = 600 + static_cast<int>(i);
            table->Insert();
            table->FieldByName("id")->SetAsInteger(id);
            table->FieldByName("k")->SetAsString(*v);
            {
                auto stream = table->CreateBlobStream(table->FieldByName("m"), host::bmWrite);
                stream->Write(v->data(), static_cast<int64_t>(v->size()));
            }
            table->Post();
            ModelInsert({id, v, std::nullopt, MemoWritten(v)});
        },
        false);
}

TEST_F(GeneratedWritesTest, LongTextsInTheMemoRoundTrip) {
    TmSQLTable* table = OpenT("t_id");
    std::string pattern;
    for (const Hostile& h : Catalogue())
        if (h.value) pattern += *h.value;
    for (const size_t length : {size_t{17}, size_t{4096}, size_t{20000}}) {
        SCOPED_TRACE(length);
        std::string text;
        while (text.size() < length)
            text += pattern;
        text.resize(length);
        table->Insert();
        table->FieldByName("id")->SetAsInteger(500 + static_cast<int>(length));
        table->FieldByName("k")->SetAsString("long");
        Assign(table->FieldByName("m"), text);
        table->Post();
        ModelInsert({500 + static_cast<int>(length), "long", std::nullopt, text});
        ExpectModel("long insert");
        EXPECT_EQ(table->FieldByName("m")->AsString(), text);

        std::string reversed(text.rbegin(), text.rend());
        table->Edit();
        Assign(table->FieldByName("m"), reversed);
        table->Post();
        ModelRow(500 + static_cast<int>(length))->m = reversed;
        ExpectModel("long edit");
    }
}

TEST_F(GeneratedWritesTest, LongMemoTextsRoundTripAndTextsBeyondTheLimitAreRefused) {
    TmSQLTable* table = OpenT("t_id");
    // Every byte escaped: the statement is twice the value's length, and a statement must fit one
    // packet (131069 bytes).
    std::string quotes(60 * 1024, '\'');
    std::string mixed(60 * 1024, '\\');
    mixed.replace(0, 8, "x'; --\r\n");
    for (std::string* text : {&quotes, &mixed}) {
        SCOPED_TRACE(text->size());
        table->Insert();
        table->FieldByName("id")->SetAsInteger(700);
        table->FieldByName("k")->SetAsString("limit");
        Assign(table->FieldByName("m"), *text);
        table->Post();
        ModelInsert({700, "limit", std::nullopt, *text});
        ExpectModel("long text");
        table->Delete();
        ModelDelete(700);
    }
    // Twice as many: the INSERT carrying them is too long, refused before anything is sent.
    table->Insert();
    table->FieldByName("id")->SetAsInteger(701);
    table->FieldByName("k")->SetAsString("limit");
    Assign(table->FieldByName("m"), quotes + quotes);
    try {
        table->Post();
        ADD_FAILURE() << "a statement past the limit was sent";
    } catch (const EmSQLDatabaseError& e) {
        EXPECT_NE(e.Message().find("Query too long (limit 131069 bytes)"), std::string::npos) << e.Message();
    }
    table->Cancel();
    ExpectModel("statement beyond the limit");

    const std::string full(MaxTextValueSize, 'f');
    GoTo(table, 2);
    table->Edit();
    const std::string message =
        ExpectDatabaseError(DBIERR_INVALIDPARAM, [&] { Assign(table->FieldByName("m"), full + "x"); });
    EXPECT_NE(message.find(std::to_string(MaxTextValueSize)), std::string::npos) << message;
    table->Cancel();
    ExpectModel("text beyond the limit");
}

} // namespace
} // namespace corvane::test

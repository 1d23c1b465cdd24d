// Hostile values as parameter values of the statements applications write: query parameters in WHERE,
// INSERT and UPDATE, TmSQLDatabase.Execute, and the update-SQL object's statements with OLD_ values.
// Values longer than the column fail with the server's error and change nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "HostileFixture.h"
#include "access/ModifySQL.h"
#include "host/Params.h"

namespace corvane::test {
namespace {

class StatementsTest : public HostileTest {
protected:
    // Sets a string parameter to v (NULL: a typed parameter without value).
    static void SetParam(host::TParam* param, const Value& v) {
        param->SetDataType(host::ftString);
        if (v)
            param->SetAsString(*v);
        else
            param->Clear();
    }
};

TEST_F(StatementsTest, QueryParametersInWhereInsertAndUpdate) {
    TmSQLQuery* select = NewQuery("select id, s from t where s = :p");
    ForEachValue("query :p in WHERE", [&](size_t, const Value& v) {
        select->Close();
        SetParam(select->ParamByName("p"), v);
        select->Open();
        EXPECT_EQ(AllIds(*select), ModelIds([&](const Row& row) { return row.s == v; }));
    });
    select->Close();

    // Markers inside the text's own literals are text, not parameters.
    TmSQLQuery* literals =
        NewQuery("select id from t where s = ':p' or s = :p or s = 'it\\'s :p\\\\' or s = '#:p'");
    ForEachValue("query :p beside literals", [&](size_t, const Value& v) {
        literals->Close();
        SetParam(literals->ParamByName("p"), v);
        literals->Open();
        EXPECT_EQ(AllIds(*literals), ModelIds([&](const Row& row) { return row.s == v; }));
    });
    EXPECT_EQ(literals->Params()->Count(), 1);
    literals->Close();

    TmSQLQuery* insert = NewQuery("insert into t (id, k, s, m) values (:id, :k, :s, :m)");
    ForEachValue("query :p in INSERT", [&](size_t i, const Value& v) {
        const int id = 200 + static_cast<int>(i);
        insert->ParamByName("id")->SetAsInteger(id);
        SetParam(insert->ParamByName("k"), KeyOf(v));
        SetParam(insert->ParamByName("s"), v);
        SetParam(insert->ParamByName("m"), v);
        insert->ExecSQL();
        EXPECT_EQ(insert->GetRowsAffected(), 1);
        ModelInsert({id, KeyOf(v), v, v});
    });

    // The value in SET and in WHERE: the copy inserted above takes the value reversed.
    TmSQLQuery* update = NewQuery("update t set s = :s, m = :m where k = :k and id >= 200");
    ForEachValue("query :p in UPDATE", [&](size_t i, const Value& v) {
        const Value reversed = v ? Value(std::string(v->rbegin(), v->rend())) : v;
        SetParam(update->ParamByName("s"), reversed);
        SetParam(update->ParamByName("m"), reversed);
        SetParam(update->ParamByName("k"), KeyOf(v));
        update->ExecSQL();
        EXPECT_EQ(update->GetRowsAffected(), 1);
        Row* row = ModelRow(200 + static_cast<int>(i));
        row->s = reversed;
        row->m = reversed;
    });
}

TEST_F(StatementsTest, DatabaseExecuteWithParameters) {
    ForEachValue("Execute params", [&](size_t i, const Value& v) {
        const int id = 300 + static_cast<int>(i);
        host::TParams params;
        params.CreateParam(host::ftInteger, "id", host::ptInput)->SetAsInteger(id);
        SetParam(params.CreateParam(host::ftString, "k", host::ptInput), KeyOf(v));
        SetParam(params.CreateParam(host::ftString, "s", host::ptInput), v);
        EXPECT_EQ(database->Execute("insert into t (id, k, s) values (:id, :k, :s)", &params), 1);
        ModelInsert({id, KeyOf(v), v, std::nullopt});

        // Deleting by the value removes its two rows and nothing else.
        host::TParams byValue;
        SetParam(byValue.CreateParam(host::ftString, "s", host::ptInput), v);
        EXPECT_EQ(database->Execute("delete from t where s = :s", &byValue), 2);
        ModelDelete(id);
        ModelDelete(IdOf(i));
    });
}

TEST_F(StatementsTest, ProviderStatementsWithParameters) {
    TmSQLTable* table = NewTmTable("t");
    ForEachValue("PSExecuteStatement", [&](size_t i, const Value& v) {
        host::TParams byValue;
        SetParam(byValue.CreateParam(host::ftString, "s", host::ptInput), v);
        std::unique_ptr<host::TDataSet> result;
        EXPECT_EQ(table->PSExecuteStatement("select id from t where s = :s", &byValue, &result), 0);
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(AllIds(*result), ModelIds([&](const Row& row) { return row.s == v; }));
        result.reset();

        host::TParams params;
        SetParam(params.CreateParam(host::ftString, "m", host::ptInput), v);
        SetParam(params.CreateParam(host::ftString, "k", host::ptInput), KeyOf(v));
        EXPECT_EQ(table->PSExecuteStatement("update t set m = :m where k = :k", &params), 1);
        ModelRow(IdOf(i))->m = v;
    });
}

TEST_F(StatementsTest, CachedExecuteAndParametersFromAMasterDataSet) {
    // One cached statement takes every value in turn.
    const std::string sql = "update t set m = :m where k = :k";
    ForEachValue("Execute cached", [&](size_t i, const Value& v) {
        host::TParams params;
        SetParam(params.CreateParam(host::ftString, "m", host::ptInput), v);
        SetParam(params.CreateParam(host::ftString, "k", host::ptInput), KeyOf(v));
        EXPECT_EQ(database->Execute(sql, &params, true), 1);
        ModelRow(IdOf(i))->m = v;
    });
    database->ClearStatements();

    // A detail query whose parameters are the master's fields of the same names.
    TmSQLTable* master = OpenT("t_id");
    TmSQLQuery* detail = NewQuery("select id from d where k = :k and s = :s");
    detail->SetDataSource(NewSource(master));
    detail->Open();
    ForEachValue("query params from master fields", [&](size_t i, const Value& v) {
        ASSERT_TRUE(master->FindKey({host::Variant(IdOf(i))}));
        EXPECT_EQ(AllIds(*detail), std::vector<int>{IdOf(i)}) << "the decoy row of " << Describe(v);
    });
}

TEST_F(StatementsTest, DatabaseExecuteWithTheValueQuotedIntoTheText) {
    ForEachValue(
        "Execute quoted text",
        [&](size_t i, const Value& v) {
            const int id = OtherId(i);
            const std::string sql = "update t set s = " + mSQLQuote(*v) + " where id = " + std::to_string(id);
            EXPECT_EQ(database->Execute(sql), 1) << sql;
            ModelRow(id)->s = v;
        },
        false);
    // A zero byte cannot be carried by a literal: refused before anything is sent.
    EXPECT_THROW(mSQLQuote(std::string("a\0b", 3)), EmSQLException);
}

TEST_F(StatementsTest, UpdateObjectStatementsWithOldValues) {
    auto update = std::make_unique<TmSQLUpdateSQL>(nullptr);
    update->ModifySQL()->SetText(
        "update t set s = :s, m = :m where id = :OLD_id and k = :OLD_k and s = :OLD_s");
    update->InsertSQL()->SetText("insert into t (id, k, s, m) values (:id, :k, :s, :m)");
    update->DeleteSQL()->SetText("delete from t where k = :OLD_k and s = :OLD_s");
    TmSQLTable* table = OpenT("t_id");
    table->SetUpdateObject(update.get());

    ForEachValue("UpdateSQL ModifySQL", [&](size_t i, const Value& v) {
        // Old values hostile, new ones plain; then the other way round.
        ASSERT_TRUE(table->FindKey({host::Variant(IdOf(i))}));
        table->Edit();
        table->FieldByName("s")->SetAsString("plain");
        table->FieldByName("m")->SetAsString("plain");
        update->Apply(host::ukModify);
        table->Cancel();
        EXPECT_EQ(update->GetQuery(host::ukModify)->GetRowsAffected(), 1);
        ModelRow(IdOf(i))->s = "plain";
        ModelRow(IdOf(i))->m = "plain";
        ExpectModel("old values hostile");

        table->Refresh();
        ASSERT_TRUE(table->FindKey({host::Variant(IdOf(i))}));
        table->Edit();
        Assign(table->FieldByName("s"), v);
        Assign(table->FieldByName("m"), v);
        update->Apply(host::ukModify);
        table->Cancel();
        EXPECT_EQ(update->GetQuery(host::ukModify)->GetRowsAffected(), 1);
        ModelRow(IdOf(i))->s = v;
        ModelRow(IdOf(i))->m = MemoWritten(v);
        table->Refresh();
    });
    ForEachValue("UpdateSQL InsertSQL", [&](size_t i, const Value& v) {
        const int id = 400 + static_cast<int>(i);
        table->Insert();
        table->FieldByName("id")->SetAsInteger(id);
        Assign(table->FieldByName("k"), KeyOf(v));
        Assign(table->FieldByName("s"), v);
        Assign(table->FieldByName("m"), v);
        update->Apply(host::ukInsert);
        table->Cancel();
        ModelInsert({id, KeyOf(v), v, MemoWritten(v)});
    });
    table->Refresh();
    ForEachValue("UpdateSQL DeleteSQL", [&](size_t i, const Value&) {
        // The value's two rows (the original and the inserted copy) go; the decoy's stay.
        ASSERT_TRUE(table->FindKey({host::Variant(IdOf(i))}));
        update->Apply(host::ukDelete);
        EXPECT_EQ(update->GetQuery(host::ukDelete)->GetRowsAffected(), 2);
        ModelDelete(IdOf(i));
        ModelDelete(400 + static_cast<int>(i));
    });
    table->SetUpdateObject(nullptr);
}

TEST_F(StatementsTest, AZeroByteIsRefusedBeforeAnythingIsSent) {
    const std::string zero = std::string("a") + '\0' + "'; DROP TABLE d; --";
    TmSQLQuery* update = NewQuery("update t set s = :s where id = 1");
    update->ParamByName("s")->SetAsString(zero);
    std::string message = ExpectDatabaseError(DBIERR_INVALIDPARAM, [&] { update->ExecSQL(); });
    EXPECT_NE(message.find("zero byte"), std::string::npos) << message;
    host::TParams params;
    params.CreateParam(host::ftString, "s", host::ptInput)->SetAsString(zero);
    message = ExpectDatabaseError(DBIERR_INVALIDPARAM,
                                  [&] { database->Execute("delete from t where s = :s", &params); });
    EXPECT_NE(message.find("zero byte"), std::string::npos) << message;
    ExpectModel("zero byte");
}

TEST_F(StatementsTest, AValueLongerThanTheColumnFailsAndChangesNothing) {
    const std::string tooLong = std::string(kWidth - 1, 'w') + "'\\";
    TmSQLQuery* insert = NewQuery("insert into t (id, k, s) values (900, :k, 'x')");
    SetParam(insert->ParamByName("k"), tooLong);
    std::string message = ExpectDatabaseError(DBIERR_NATIVE, [&] { insert->ExecSQL(); });
    EXPECT_NE(message.find("too large"), std::string::npos) << message;
    ExpectModel("too long insert");

    host::TParams params;
    SetParam(params.CreateParam(host::ftString, "s", host::ptInput), tooLong);
    message = ExpectDatabaseError(DBIERR_NATIVE,
                                  [&] { database->Execute("update t set s = :s where id = 2", &params); });
    EXPECT_NE(message.find("too large"), std::string::npos) << message;
    ExpectModel("too long update");
}

} // namespace
} // namespace corvane::test

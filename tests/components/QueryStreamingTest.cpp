// Form files with queries: the published properties, the parameters streamed as "ParamData", the
// "Data" block, references to the database, data source and update object, read back and written
// again unchanged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QueryFixture.h"
#include "host/DateTime.h"
#include "host/Forms.h"
#include "host/Streaming.h"

namespace corvane::test {
namespace {

class QueryStreamingTest : public QueryTest {
protected:
    void SetUp() override {
        QueryTest::SetUp();
        // The form brings its own database component of that name.
        database->SetDatabaseName("");
        Exec("create table m (id int, label char(10))");
        Exec("create table t (id int, name char(20), d date)");
        Exec("insert into m values (1, 'first')");
        Exec("insert into m values (2, 'second')");
        Exec("insert into t values (1, 'it\\'s', '29-Feb-2024')");
        Exec("insert into t values (2, 'two', '1-Mar-2024')");
        Exec("insert into t values (3, 'three', '29-Feb-2024')");
    }

    // A form with a database, a master query and its source, a detail query with an update object,
    // and a query whose parameters carry values of several kinds.
    void BuildForm(host::TForm& form) {
        form.SetName("Form1");
        auto* db = new TmSQLDatabase(&form);
        db->SetName("Db");
        db->SetDatabaseName("test");
        auto* master = new TmSQLQuery(&form);
        master->SetName("Master");
        master->SetDatabase(db);
        master->SQL()->SetText("select id, label from m order by id");
        auto* source = new host::TDataSource(&form);
        source->SetName("MasterSource");
        source->SetDataSet(master);
        auto* update = new TmSQLUpdateSQL(&form);
        update->SetName("Upd");
        update->ModifySQL()->SetText("update t set name = :name\nwhere id = :OLD_id");
        update->DeleteSQL()->SetText("delete from t where id = :OLD_id");
        auto* detail = new TmSQLQuery(&form);
        detail->SetName("Detail");
        detail->SetDatabase(db);
        detail->SetDataSource(source);
        detail->SetRequestLive(true);
        detail->SetUpdateObject(update);
        detail->SQL()->SetText("select id, name from t where id = :id");
        auto* lookup = new TmSQLQuery(&form);
        lookup->SetName("Lookup");
        lookup->SetDatabase(db);
        lookup->SetUniDirectional(true);
        lookup->SQL()->Add("select id from t");
        lookup->SQL()->Add("where d = :d and name <> :name and id > :low order by id");
        lookup->ParamByName("d")->SetAsDate(host::EncodeDate(2024, 2, 29));
        lookup->ParamByName("name")->SetAsString("it's");
        lookup->ParamByName("low")->SetAsInteger(0);
        master->Open();
    }
};

TEST_F(QueryStreamingTest, AFormWithQueriesAndTheirParametersReadsBack) {
    host::TForm form(nullptr);
    BuildForm(form);
    const std::string text = host::WriteComponentToText(&form);
    for (const char* expected : {"Database = Db", "DataSource = MasterSource", "UpdateObject = Upd",
                                 "RequestLive = True", "UniDirectional = True", "ParamData = <",
                                 "Name = 'low'", "SQL.Strings = (", "ModifySQL.Strings = ("})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
    EXPECT_EQ(text.find("ParamCheck"), std::string::npos) << "defaults are not written";
    EXPECT_EQ(text.find("Data = {"), std::string::npos) << "no data block to write";

    form.DestroyComponents();
    host::TForm copy(nullptr);
    host::ReadComponentFromText(text, &copy);
    EXPECT_EQ(host::WriteComponentToText(&copy), text);

    auto* master = dynamic_cast<TmSQLQuery*>(copy.FindComponent("Master"));
    auto* detail = dynamic_cast<TmSQLQuery*>(copy.FindComponent("Detail"));
    auto* lookup = dynamic_cast<TmSQLQuery*>(copy.FindComponent("Lookup"));
    auto* update = dynamic_cast<TmSQLUpdateSQL*>(copy.FindComponent("Upd"));
    ASSERT_TRUE(master && detail && lookup && update);
    EXPECT_TRUE(master->Active()) << "streamed as active";
    EXPECT_EQ(detail->DataSource(), copy.FindComponent("MasterSource"));
    EXPECT_EQ(detail->UpdateObject(), update);
    EXPECT_EQ(update->GetDataSet(), detail);
    EXPECT_TRUE(detail->RequestLive());
    EXPECT_TRUE(lookup->UniDirectional());
    EXPECT_EQ(lookup->Text(), "select id from t\r\nwhere d = ? and name <> ? and id > ? order by id\r\n");
    ASSERT_EQ(lookup->GetParamsCount(), 3);
    EXPECT_EQ(lookup->ParamByName("d")->DataType(), host::ftDate);
    EXPECT_EQ(lookup->ParamByName("d")->AsDateTime(), host::EncodeDate(2024, 2, 29));
    EXPECT_EQ(lookup->ParamByName("name")->AsString(), "it's");
    EXPECT_EQ(lookup->ParamByName("low")->AsInteger(), 0);

    // The values read back run as they were given.
    lookup->Open();
    EXPECT_EQ(Values(*lookup, "id"), std::vector<std::string>{"3"});
    detail->Open();
    EXPECT_EQ(Values(*detail, "name"), std::vector<std::string>{"it's"});
    master->Next();
    EXPECT_EQ(Values(*detail, "name"), std::vector<std::string>{"two"});
    detail->Edit();
    detail->FieldByName("name")->SetAsString("TWO");
    update->Apply(host::ukModify);
    detail->Cancel();
    EXPECT_EQ(Column("select name from t where id = 2"), std::vector<std::string>{"TWO"});
    EXPECT_EQ(Values(*detail, "name"), std::vector<std::string>{"TWO"});
}

TEST_F(QueryStreamingTest, TheDataBlockIsKeptUntilTheSQLChanges) {
    const std::string text = "object Form1: TForm\n"
                             "  object Db: TmSQLDatabase\n"
                             "    DatabaseName = 'test'\n"
                             "  end\n"
                             "  object Q: TmSQLQuery\n"
                             "    Database = Db\n"
                             "    SQL.Strings = (\n"
                             "      'select id from t where id = :id')\n"
                             "    Data = {\n"
                             "      0A0B00}\n"
                             "    ParamData = <\n"
                             "      item\n"
                             "        DataType = ftInteger\n"
                             "        Name = 'id'\n"
                             "        ParamType = ptInput\n"
                             "        Value = 2\n"
                             "      end>\n"
                             "  end\n"
                             "end\n";
    host::TForm form(nullptr);
    host::ReadComponentFromText(text, &form);
    auto* query = dynamic_cast<TmSQLQuery*>(form.FindComponent("Q"));
    ASSERT_NE(query, nullptr);
    ASSERT_TRUE(query->SQLBinary().has_value());
    EXPECT_EQ(*query->SQLBinary(), (std::vector<uint8_t>{0x0A, 0x0B, 0x00}));
    EXPECT_NE(host::WriteComponentToText(&form).find("Data = {"), std::string::npos);
    query->Open();
    EXPECT_EQ(Values(*query, "id"), std::vector<std::string>{"2"});

    query->SQL()->SetText("select id from t where id < :id order by id");
    EXPECT_FALSE(query->SQLBinary().has_value());
    EXPECT_EQ(host::WriteComponentToText(&form).find("Data = {"), std::string::npos);
    EXPECT_EQ(query->ParamByName("id")->AsInteger(), 2);
    query->Open();
    EXPECT_EQ(Values(*query, "id"), std::vector<std::string>{"1"});
}

TEST_F(QueryStreamingTest, TheClassesAreRegisteredWithTheirProperties) {
    const host::TClassInfo* query = host::FindClass("TmSQLQuery");
    ASSERT_NE(query, nullptr);
    EXPECT_TRUE(query->CanCreate());
    for (const char* name : {"Active", "AutoRefresh", "Database", "DataSource", "ParamCheck", "RequestLive",
                             "SQL", "UniDirectional", "UpdateMode", "UpdateObject", "Filter"})
        EXPECT_NE(query->FindProperty(name), nullptr) << name;
    EXPECT_EQ(query->FindProperty("Params"), nullptr) << "streamed as ParamData only";
    const host::TClassInfo* update = host::FindClass("TmSQLUpdateSQL");
    ASSERT_NE(update, nullptr);
    EXPECT_TRUE(update->CanCreate());
    for (const char* name : {"ModifySQL", "InsertSQL", "DeleteSQL"})
        EXPECT_NE(update->FindProperty(name), nullptr) << name;
    EXPECT_FALSE(host::FindClass("TmSQLSQLUpdateObject")->CanCreate());
}

} // namespace
} // namespace corvane::test

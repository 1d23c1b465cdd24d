// Every client call of a component scenario fails in turn (N = 1, 2, ... until the scenario completes), as
// a call that fails once, as a connection lost before the request, and as a reply lost after the server
// did the work. For every failure point: no crash or leak, a database error with a readable message,
// components that close, reconnect, reopen and read, and the data in a state the scenario passes through.
#include <algorithm>
#include <string>
#include <vector>

#include "ComponentScenario.h"
#include "host/Fields.h"
#include "host/Params.h"

namespace corvane::test {
namespace {

class ComponentFaultsTest : public TableScenarioTest<ComponentScenario> {
protected:
    ComponentFaultsTest() : TableScenarioTest("components: ") {}
};

using Keys = std::vector<int32_t>;
const Keys AllKeys = {1, 2, 3, 4, 5};

// Opens dataSet (connecting its database).
void Open(ComponentScenario& s, host::TDataSet& dataSet) {
    s.Step("Open", [&] { dataSet.Open(); });
}

// Moves dataSet onto the row with key k, which must be there.
void Find(ComponentScenario& s, host::TDataSet& dataSet, int32_t k) {
    s.Expect(s.Step("Locate", [&] { return dataSet.Locate("k", k, {}); }),
             "Locate finds k = " + std::to_string(k));
    s.Expect(ComponentScenario::K(dataSet) == k, "Locate moves onto the row");
}

TEST_F(ComponentFaultsTest, OpenAndScroll) {
    RunScenario("open and scroll", [](ComponentScenario& s, ScenarioCheckpoints&) {
        TmSQLTable& table = s.NewTable();
        Open(s, table);
        s.Expect(s.Keys(table) == AllKeys, "every row, forwards");
        s.Expect(s.Keys(table, true) == Keys{5, 4, 3, 2, 1}, "every row, backwards");
        s.Step("MoveBy", [&] {
            table.First();
            table.MoveBy(3);
        });
        s.Expect(ComponentScenario::K(table) == 4, "MoveBy(3) from the first row");
        s.Step("MoveBy back", [&] { table.MoveBy(-2); });
        s.Expect(ComponentScenario::K(table) == 2, "MoveBy(-2)");
        s.Expect(s.Step("RecordCount", [&] { return table.RecordCount(); }) == ScenarioRows, "record count");
        s.Step("Refresh", [&] { table.Refresh(); });
        s.Expect(s.Keys(table) == AllKeys, "every row after a refresh");
    });
}

TEST_F(ComponentFaultsTest, LocateAndFindKey) {
    // The index on s is not the table's first: a key search must use the index in force.
    RunScenario("locate and find key", [](ComponentScenario& s, ScenarioCheckpoints&) {
        TmSQLTable& table = s.NewTable("ts");
        Open(s, table);
        s.Expect(s.Keys(table) == Keys{5, 4, 3, 2, 1}, "the rows in the order of s");
        Find(s, table, 3);
        s.Expect(table.FieldByName("s")->AsString() == "r7", "the located row's fields");
        s.Expect(s.Step("Locate s", [&] { return table.Locate("s", "r8", {}); }), "Locate by s");
        s.Expect(ComponentScenario::K(table) == 2, "Locate by s finds k = 2");
        s.Expect(s.Step("FindKey", [&] { return table.FindKey({host::Variant("r6")}); }), "FindKey r6");
        s.Expect(ComponentScenario::K(table) == 4, "FindKey moves onto the row");
        s.Expect(!s.Step("FindKey absent", [&] { return table.FindKey({host::Variant("r0")}); }),
                 "FindKey r0 finds nothing");
        s.Expect(ComponentScenario::K(table) == 4, "a failed FindKey stays on the row");
    });
}

TEST_F(ComponentFaultsTest, Ranges) {
    RunScenario("ranges", [](ComponentScenario& s, ScenarioCheckpoints&) {
        TmSQLTable& table = s.NewTable("tk");
        Open(s, table);
        s.Step("SetRange", [&] { table.SetRange({host::Variant(int32_t{2})}, {host::Variant(int32_t{4})}); });
        s.Expect(s.Keys(table) == Keys{2, 3, 4}, "rows in the range");
        s.Step("ApplyRange", [&] {
            table.SetRangeStart();
            table.FieldByName("k")->SetAsInteger(4);
            table.SetRangeEnd();
            table.FieldByName("k")->SetAsInteger(5);
            table.ApplyRange();
        });
        s.Expect(s.Keys(table, true) == Keys{5, 4}, "rows in the applied range, backwards");
        s.Step("CancelRange", [&] { table.CancelRange(); });
        s.Expect(s.Keys(table) == AllKeys, "every row again");
    });
}

TEST_F(ComponentFaultsTest, EditAndPost) {
    RunScenario("edit and post", [](ComponentScenario& s, ScenarioCheckpoints& checkpoints) {
        TmSQLTable& table = s.NewTable("tk");
        Open(s, table);
        Find(s, table, 3);
        s.Step("Edit", [&] { table.Edit(); });
        table.FieldByName("s")->SetAsString("changed");
        table.FieldByName("n")->SetAsFloat(-2.5);
        s.Step("Post", [&] { table.Post(); });
        checkpoints.Mark();
        s.Expect(ComponentScenario::K(table) == 3, "the dataset stands on the changed row");
        s.Step("Refresh", [&] { table.Refresh(); });
        s.Expect(table.FieldByName("s")->AsString() == "changed", "the change is read back");
        s.Expect(s.Keys(table) == AllKeys, "no row lost or added");
    });
}

TEST_F(ComponentFaultsTest, InsertAndPost) {
    RunScenario("insert and post", [](ComponentScenario& s, ScenarioCheckpoints& checkpoints) {
        TmSQLTable& table = s.NewTable("tk");
        Open(s, table);
        s.Step("Insert", [&] { table.Insert(); });
        table.FieldByName("k")->SetAsInteger(7);
        table.FieldByName("s")->SetAsString("new7");
        table.FieldByName("n")->SetAsFloat(7.25);
        s.Step("Post", [&] { table.Post(); });
        checkpoints.Mark();
        s.Expect(ComponentScenario::K(table) == 7, "the dataset stands on the new row");
        s.Expect(s.Keys(table) == Keys{1, 2, 3, 4, 5, 7}, "the new row is read back");
    });
}

TEST_F(ComponentFaultsTest, Delete) {
    RunScenario("delete", [](ComponentScenario& s, ScenarioCheckpoints& checkpoints) {
        TmSQLTable& table = s.NewTable("tk");
        Open(s, table);
        Find(s, table, 2);
        s.Step("Delete", [&] { table.Delete(); });
        checkpoints.Mark();
        s.Expect(s.Keys(table) == Keys{1, 3, 4, 5}, "the row is gone");
    });
}

TEST_F(ComponentFaultsTest, BlobWrite) {
    RunScenario("blob write", [](ComponentScenario& s, ScenarioCheckpoints& checkpoints) {
        TmSQLTable& table = s.NewTable("tk");
        Open(s, table);
        Find(s, table, 4);
        const std::string text(300, 'z');
        s.Step("Edit", [&] { table.Edit(); });
        s.Step("CreateBlobStream", [&] {
            auto stream = table.CreateBlobStream(table.FieldByName("b"), host::bmWrite);
            stream->Write(text.data(), static_cast<int64_t>(text.size()));
        });
        s.Step("Post", [&] { table.Post(); });
        checkpoints.Mark();
        s.Step("Refresh", [&] { table.Refresh(); });
        s.Expect(ComponentScenario::K(table) == 4, "the dataset stands on the written row");
        s.Expect(s.Step("read the blob", [&] { return table.FieldByName("b")->AsString(); }) == text,
                 "the whole text was written");
    });
}

TEST_F(ComponentFaultsTest, QueryWithParameters) {
    RunScenario("query with parameters", [](ComponentScenario& s, ScenarioCheckpoints&) {
        TmSQLQuery& query = s.NewQuery("select k, s from t where k >= :low and s <> :s");
        query.ParamByName("low")->SetAsInteger(4);
        query.ParamByName("s")->SetAsString("it's : none");
        Open(s, query);
        Keys keys = s.Keys(query);
        std::sort(keys.begin(), keys.end());
        s.Expect(keys == Keys{4, 5}, "the selected rows");
        s.Step("Close", [&] { query.Close(); });
        query.ParamByName("low")->SetAsInteger(2);
        Open(s, query);
        keys = s.Keys(query, true);
        std::sort(keys.begin(), keys.end());
        s.Expect(keys == Keys{2, 3, 4, 5}, "the rows selected with the new value");
    });
}

TEST_F(ComponentFaultsTest, ExecSQL) {
    RunScenario("ExecSQL", [](ComponentScenario& s, ScenarioCheckpoints& checkpoints) {
        TmSQLQuery& insert = s.NewQuery("insert into t (k, s) values (:k, :s)");
        insert.ParamByName("k")->SetAsInteger(8);
        insert.ParamByName("s")->SetAsString("it's 8");
        s.Step("ExecSQL insert", [&] { insert.ExecSQL(); });
        checkpoints.Mark();
        s.Expect(s.Step("RowsAffected", [&] { return insert.GetRowsAffected(); }) == 1, "one row inserted");

        TmSQLQuery& update = s.NewQuery("update t set s = :s where k > :k");
        update.ParamByName("s")->SetAsString("upd");
        update.ParamByName("k")->SetAsInteger(3);
        s.Step("ExecSQL update", [&] { update.ExecSQL(); });
        checkpoints.Mark();
        s.Expect(s.Step("RowsAffected", [&] { return update.GetRowsAffected(); }) == 3, "three rows updated");

        TmSQLQuery& remove = s.NewQuery("delete from t where k = :k");
        remove.ParamByName("k")->SetAsInteger(1);
        s.Step("ExecSQL delete", [&] { remove.ExecSQL(); });
        checkpoints.Mark();
    });
}

TEST_F(ComponentFaultsTest, UpdateObject) {
    RunScenario("update object", [](ComponentScenario& s, ScenarioCheckpoints& checkpoints) {
        TmSQLUpdateSQL& update = s.NewUpdate();
        update.ModifySQL()->SetText("update t set s = :s where k = :OLD_k");
        update.InsertSQL()->SetText("insert into t (k, s) values (:k, :s)");
        update.DeleteSQL()->SetText("delete from t where k = :OLD_k");
        TmSQLTable& table = s.NewTable("tk");
        table.SetUpdateObject(&update);
        Open(s, table);
        Find(s, table, 2);
        s.Step("Edit", [&] { table.Edit(); });
        table.FieldByName("s")->SetAsString("applied");
        s.Step("Apply modify", [&] { update.Apply(host::ukModify); });
        checkpoints.Mark();
        s.Step("Cancel", [&] { table.Cancel(); });
        s.Step("Insert", [&] { table.Insert(); });
        table.FieldByName("k")->SetAsInteger(6);
        table.FieldByName("s")->SetAsString("six");
        s.Step("Apply insert", [&] { update.Apply(host::ukInsert); });
        checkpoints.Mark();
        s.Step("Cancel", [&] { table.Cancel(); });
        Find(s, table, 5);
        s.Step("Apply delete", [&] { update.Apply(host::ukDelete); });
        checkpoints.Mark();
        s.Expect(s.Keys(table) == Keys{1, 2, 3, 4, 6},
                 "the rows after the update object's work are read back");
        Find(s, table, 2);
        s.Expect(table.FieldByName("s")->AsString() == "applied", "the applied change is shown");
    });
}

TEST_F(ComponentFaultsTest, EditingSession) {
    RunScenario("editing session", [](ComponentScenario& s, ScenarioCheckpoints& checkpoints) {
        TmSQLTable& table = s.NewTable("tk");
        Open(s, table);
        s.Step("Append", [&] { table.Append(); });
        table.FieldByName("k")->SetAsInteger(6);
        table.FieldByName("s")->SetAsString("new6");
        s.Step("Post append", [&] { table.Post(); });
        checkpoints.Mark();
        s.Expect(ComponentScenario::K(table) == 6, "the dataset stands on the appended row");
        Find(s, table, 1);
        s.Step("Edit", [&] { table.Edit(); });
        table.FieldByName("n")->SetAsFloat(-1.5);
        s.Step("Post edit", [&] { table.Post(); });
        checkpoints.Mark();
        s.Expect(ComponentScenario::K(table) == 1, "the dataset stands on the edited row");
        Find(s, table, 5);
        s.Step("Delete", [&] { table.Delete(); });
        checkpoints.Mark();
        s.Expect(s.Keys(table) == Keys{1, 2, 3, 4, 6}, "the edited table");
    });
}

TEST_F(ComponentFaultsTest, LiveQueryEdit) {
    RunScenario("live query edit", [](ComponentScenario& s, ScenarioCheckpoints& checkpoints) {
        TmSQLQuery& query = s.NewQuery("select k, s, n from t where k <= :high");
        query.SetRequestLive(true);
        query.ParamByName("high")->SetAsInteger(4);
        Open(s, query);
        s.Expect(query.CanModify(), "a live query on one table can be edited");
        // Its writes find their row by the table's unique index: the query must know it.
        CURProps props{};
        s.Step("GetCursorProps",
               [&] { Check(query.Engine(), query.Engine()->GetCursorProps(query.Handle(), props)); });
        s.Expect(props.iIndexes == 2, "the live query knows the table's indexes");
        Find(s, query, 4);
        s.Step("Edit", [&] { query.Edit(); });
        query.FieldByName("s")->SetAsString("live");
        s.Step("Post", [&] { query.Post(); });
        checkpoints.Mark();
        s.Expect(ComponentScenario::K(query) == 4, "the query stands on the changed row");
        s.Expect(query.FieldByName("s")->AsString() == "live", "the change is shown");
        Find(s, query, 1);
        s.Step("Delete", [&] { query.Delete(); });
        checkpoints.Mark();
        Keys keys = s.Keys(query);
        std::sort(keys.begin(), keys.end());
        s.Expect(keys == Keys{2, 3, 4}, "the deleted row is gone from the result");
    });
}

TEST_F(ComponentFaultsTest, FilterAndLookup) {
    RunScenario("filter and lookup", [](ComponentScenario& s, ScenarioCheckpoints&) {
        TmSQLTable& table = s.NewTable("tk");
        table.SetFilter("k > 2");
        table.SetFiltered(true);
        Open(s, table);
        s.Expect(s.Keys(table) == Keys{3, 4, 5}, "the filtered rows");
        s.Expect(s.Keys(table, true) == Keys{5, 4, 3}, "the filtered rows, backwards");
        const host::Variant found = s.Step("Lookup", [&] { return table.Lookup("k", int32_t{4}, "s"); });
        s.Expect(found.AsString() == "r6", "Lookup reads the row's field");
        s.Step("unfilter", [&] { table.SetFiltered(false); });
        s.Expect(s.Keys(table) == AllKeys, "every row without the filter");
    });
}

TEST_F(ComponentFaultsTest, EmptyTable) {
    RunScenario("empty table", [](ComponentScenario& s, ScenarioCheckpoints& checkpoints) {
        TmSQLTable& table = s.NewTable("tk");
        Open(s, table);
        s.Expect(s.Keys(table) == AllKeys, "every row");
        s.Step("EmptyTable", [&] { table.EmptyTable(); });
        checkpoints.Mark();
        s.Expect(s.Keys(table).empty(), "no row is left");
        s.Expect(table.Eof() && table.Bof(), "the empty table stands nowhere");
    });
}

TEST_F(ComponentFaultsTest, MasterDetail) {
    // The detail follows the master's row through a range on its index: every scroll re-reads it.
    RunScenario("master and detail", [](ComponentScenario& s, ScenarioCheckpoints&) {
        TmSQLTable& master = s.NewTable("tk");
        TmSQLTable& detail = s.NewTable("tk");
        detail.SetMasterSource(&s.NewSource(master));
        detail.SetMasterFields("k");
        Open(s, master);
        Open(s, detail);
        s.Step("master First", [&] { master.First(); });
        for (int32_t k = 1; k <= ScenarioRows; ++k) {
            s.Expect(ComponentScenario::K(master) == k, "the master stands on k = " + std::to_string(k));
            s.Expect(s.Keys(detail) == Keys{k}, "the detail shows the master's row");
            s.Step("master Next", [&] { master.Next(); });
        }
        s.Expect(master.Eof(), "the master is at its end");
        // Past the end the master still stands on its last row: one step back is the row before it.
        s.Step("master Prior", [&] { master.Prior(); });
        s.Expect(ComponentScenario::K(master) == ScenarioRows - 1,
                 "the master stands on the row before the last");
        s.Expect(s.Keys(detail, true) == Keys{ScenarioRows - 1}, "the detail follows the master back");
    });
}

TEST_F(ComponentFaultsTest, DetailQuery) {
    // A query whose parameter comes from its master's current row runs again on every scroll.
    RunScenario("detail query", [](ComponentScenario& s, ScenarioCheckpoints&) {
        TmSQLTable& master = s.NewTable("tk");
        TmSQLQuery& detail = s.NewQuery("select k, s from t where k = :k");
        detail.SetDataSource(&s.NewSource(master));
        Open(s, master);
        Open(s, detail);
        for (int32_t k = 1; k <= 3; ++k) {
            s.Expect(ComponentScenario::K(master) == k, "the master stands on k = " + std::to_string(k));
            s.Expect(s.Keys(detail) == Keys{k}, "the detail query selects the master's row");
            s.Step("master Next", [&] { master.Next(); });
        }
    });
}

TEST_F(ComponentFaultsTest, KeySearches) {
    RunScenario("key searches", [](ComponentScenario& s, ScenarioCheckpoints&) {
        TmSQLTable& table = s.NewTable("tk");
        Open(s, table);
        s.Step("SetKey", [&] { table.SetKey(); });
        table.FieldByName("k")->SetAsInteger(3);
        s.Expect(s.Step("GotoKey", [&] { return table.GotoKey(); }), "GotoKey finds k = 3");
        s.Expect(ComponentScenario::K(table) == 3, "GotoKey moves onto the row");
        s.Step("FindNearest", [&] { table.FindNearest({host::Variant(int32_t{0})}); });
        s.Expect(ComponentScenario::K(table) == 1, "the nearest row at or after 0 is the first");
        s.Step("SetKey past the end", [&] { table.SetKey(); });
        table.FieldByName("k")->SetAsInteger(9);
        s.Expect(!s.Step("GotoKey past the end", [&] { return table.GotoKey(); }), "GotoKey 9 finds nothing");
        s.Expect(ComponentScenario::K(table) == 1, "a failed GotoKey stays on the row");
    });
}

TEST_F(ComponentFaultsTest, CatalogQueries) {
    RunScenario("catalog queries", [](ComponentScenario& s, ScenarioCheckpoints&) {
        host::TStringList tables;
        s.Step("GetTableNames", [&] { s.Database().GetTableNames(&tables); });
        s.Expect(tables.IndexOf(ScenarioTable) >= 0, "the table is listed");
        TmSQLTable& table = s.NewTable();
        s.Expect(s.Step("Exists", [&] { return table.Exists(); }), "the table exists");
        host::TStringList indexes;
        s.Step("GetIndexNames", [&] { table.GetIndexNames(&indexes); });
        s.Expect(indexes.Count() == 2 && indexes.IndexOf("tk") >= 0 && indexes.IndexOf("ts") >= 0,
                 "both indexes are listed");
    });
}

// Posts dataSet; a failed post whose edit is still pending is tried once more, as an application offers
// its user to. A post that wrote the row and then failed to read it back leaves no edit pending.
void PostWithRetry(ComponentScenario& s, host::TDataSet& dataSet) {
    try {
        dataSet.Post();
        return;
    } catch (const host::EDatabaseError& e) {
        ComponentScenario::ExpectReadable(e, "Post");
    }
    if (dataSet.State() != host::dsEdit && dataSet.State() != host::dsInsert) throw ScenarioStopped{"Post"};
    s.Step("Post again", [&] { dataSet.Post(); });
}

TEST_F(ComponentFaultsTest, PostRetried) {
    // After a failed post the edit is still there to post again: the row is written once.
    RunScenario("post retried", [](ComponentScenario& s, ScenarioCheckpoints& checkpoints) {
        TmSQLTable& table = s.NewTable("tk");
        Open(s, table);
        s.Step("Insert", [&] { table.Insert(); });
        table.FieldByName("k")->SetAsInteger(7);
        table.FieldByName("s")->SetAsString("new7");
        PostWithRetry(s, table);
        checkpoints.Mark();
        s.Expect(table.State() == host::dsBrowse, "the insert is posted");
        Find(s, table, 2);
        s.Step("Edit", [&] { table.Edit(); });
        table.FieldByName("s")->SetAsString("again");
        PostWithRetry(s, table);
        checkpoints.Mark();
        s.Expect(table.State() == host::dsBrowse, "the edit is posted");
        s.Step("Refresh", [&] { table.Refresh(); });
        s.Expect(s.Keys(table) == Keys{1, 2, 3, 4, 5, 7}, "every row once");
        Find(s, table, 2);
        s.Expect(table.FieldByName("s")->AsString() == "again", "the edit is read back");
    });
}

TEST_F(ComponentFaultsTest, PreparedStatementReused) {
    // One prepared statement run with new values each time; a failed run is tried once more, and the
    // statement stays usable after it.
    RunScenario("prepared statement reused", [](ComponentScenario& s, ScenarioCheckpoints& checkpoints) {
        TmSQLQuery& insert = s.NewQuery("insert into t (k, s) values (:k, :s)");
        s.Step("Prepare", [&] { insert.Prepare(); });
        for (int32_t k = 6; k <= 8; ++k) {
            insert.ParamByName("k")->SetAsInteger(k);
            insert.ParamByName("s")->SetAsString("p" + std::to_string(k));
            try {
                insert.ExecSQL();
            } catch (const host::EDatabaseError& e) {
                ComponentScenario::ExpectReadable(e, "ExecSQL");
                s.Step("ExecSQL again", [&] { insert.ExecSQL(); });
            }
            checkpoints.Mark();
            s.Expect(insert.Prepared(), "the statement stays prepared");
            s.Expect(s.Step("RowsAffected", [&] { return insert.GetRowsAffected(); }) == 1,
                     "one row inserted");
        }
        TmSQLTable& table = s.NewTable("tk");
        Open(s, table);
        s.Expect(s.Keys(table) == Keys{1, 2, 3, 4, 5, 6, 7, 8}, "every row once");
    });
}

} // namespace
} // namespace corvane::test

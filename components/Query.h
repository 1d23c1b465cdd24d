// TmSQLQuery runs an SQL statement written by the application: a statement that returns rows is opened
// like any dataset (and edited when it is live), any other statement is run with ExecSQL. `:name`
// references in the text are parameters (Params), filled by the application or, through DataSource,
// from the current row of a master dataset, and written into the statement as literals when it runs.
//
// Preparing allocates the statement on the engine and decides whether an opened result is live: it is
// when RequestLive is set and the text names one table (no comma between the first "from" and the
// first WHERE, GROUP BY or ORDER BY); otherwise the result is read-only.
//
// TmSQLQueryDataLink is the link through which a master dataset drives a query's parameters: every
// new current row of the master re-opens an active query with the new values.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "components/DataSet.h"
#include "host/DataSource.h"
#include "host/Params.h"
#include "host/Strings.h"

namespace host {
class TFiler;
class TReader;
class TWriter;
} // namespace host

namespace corvane {

class TmSQLQuery;

class TmSQLQueryDataLink : public host::TDetailDataLink {
public:
    // query is not owned.
    explicit TmSQLQueryDataLink(TmSQLQuery* query) : fQuery(query) {}

    host::TDataSet* DetailDataSet() const override;

protected:
    void ActiveChanged() override;
    void RecordChanged(host::TField* field) override;
    void CheckBrowseMode() override;

private:
    TmSQLQuery* fQuery;
};

class TmSQLQuery : public TmSQLDataSet {
public:
    explicit TmSQLQuery(host::TComponent* owner);
    ~TmSQLQuery() override;
    void BeforeDestruction() override;

    // ---- published properties (and those of the dataset: Database, AutoRefresh, UpdateMode,
    // UpdateObject)
    // The master source (read through DataSource()); one that leads back to this query is refused
    // (SCircularDataLink).
    void SetDataSource(host::TDataSource* value);
    bool ParamCheck() const { return fParamCheck; }
    // Whether SQL changes rebuild Params (off: Params and the text are left as they are).
    void SetParamCheck(bool value) { fParamCheck = value; }
    bool RequestLive() const { return fRequestLive; }
    // Taken into account the next time the statement is prepared.
    void SetRequestLive(bool value) { fRequestLive = value; }
    // The statement lines. Every change closes and unprepares the query and rebuilds Params, keeping
    // the values of parameters whose names survive.
    host::TStrings* SQL() const { return fSQL.get(); }
    // Replaces the lines when their text differs (SetQuery).
    void SetSQL(host::TStrings* lines);
    bool UniDirectional() const { return fUniDirectional; }
    // Passed to the statement; the native cursor scrolls both ways regardless.
    void SetUniDirectional(bool value) { fUniDirectional = value; }

    // ---- parameters
    host::TParams* Params() const { return fParams.get(); }
    // Takes the values of equally named parameters of value.
    void SetParamsList(host::TParams* value);
    // The parameter of that name, or the host's parameter-not-found error.
    host::TParam* ParamByName(const std::string& name);
    int GetParamsCount() const { return fParams->Count(); }
    // Re-opens an active query when its master is active and not entering a key.
    void RefreshParams();
    // Clears both lists; then for each parameter that names a master field: that field into
    // masterFields and, when this query has a field of that name too, that one into detailFields.
    void GetDetailLinkFields(std::vector<host::TField*>& masterFields,
                             std::vector<host::TField*>& detailFields);

    // ---- preparing and running
    void Prepare();
    void UnPrepare();
    bool Prepared() const { return fPrepared; }
    void SetPrepare(bool value);
    // Runs a statement that returns no rows (the query must be closed). An unprepared query is
    // prepared for the run and unprepared again.
    void ExecSQL();
    // The rows the last run changed: the statement's count while prepared, else the count kept when
    // it was unprepared; -1 before any run and when the engine cannot tell.
    int GetRowsAffected();
    // The text that is prepared: the SQL text with its parameter references replaced by markers.
    const std::string& Text() const { return fText; }
    // The block streamed as "Data" (kept and written back unchanged; dropped when the SQL changes).
    const std::optional<std::vector<uint8_t>>& SQLBinary() const { return fSQLBinary; }

    // ---- statement handling
    // Frees the statement (its code is checked unless the query is being destroyed).
    virtual void FreeStatement();
    // A new statement on the database, with its liveness decided from text when it is prepared for
    // an open, and text prepared on it; freed again when any step after the allocation fails.
    virtual hDBIStmt GetStatementHandle(const std::string& text);

    // ---- dataset overrides
    // Closes, then unprepares.
    void Disconnect() override;
    // Releasing the last reason to hold the database unprepares first.
    bool SetDBFlag(int flag, bool value) override;
    bool IsSequenced() override { return false; }

#if CORVANE_HOST_GENERATION >= 5
    // ---- provider support
    std::unique_ptr<host::TIndexDef> PSGetDefaultOrder() override;
    host::TParams* PSGetParams() override {
        return fParams.get();
    }
    void PSSetParams(host::TParams* params) override;
    std::string PSGetTableName() override;
    void PSExecute() override {
        ExecSQL();
    }
    void PSSetCommandText(const std::string& text) override;
#endif

protected:
    hDBICur CreateHandle() override {
        return CreateCursor(true);
    }
    host::TDataSource* GetDataSource() override {
        return fDataLink->DataSource();
    }
    void DefineProperties(host::TFiler* filer) override;

    // Run whenever the SQL lines change.
    void QueryChanged(host::TObject* sender);
    // Prepares (for an open when wantCursor, else for a run) and runs the statement; the cursor, or
    // none for a run.
    hDBICur CreateCursor(bool wantCursor);
    // Writes the parameter values into the statement and runs it.
    hDBICur GetQueryCursor(bool wantCursor);
    void PrepareSQL(const std::string& text);
    // Refused while a cursor is open (SDataSetOpen).
    void SetPrepared(bool value);
    // Every parameter not bound by the application takes the value of the master field of its name
    // (a missing field is the host's field-not-found error) and stays unbound for the next run.
    void SetParamsFromCursor();

private:
    void ReadParamData(host::TReader& reader);
    void WriteParamData(host::TWriter& writer);
    void ReadBinaryData(host::TStream& stream);
    void WriteBinaryData(host::TStream& stream);
    // Closes and frees the statement once, before the dataset's own teardown.
    void Teardown() noexcept;

    std::unique_ptr<host::TStringList> fSQL;
    bool fPrepared = false;
    std::unique_ptr<host::TParams> fParams;
    std::string fText;
    std::unique_ptr<TmSQLQueryDataLink> fDataLink;
    int32_t fRowsAffected = -1;
    bool fUniDirectional = false;
    bool fRequestLive = false;
    std::optional<std::vector<uint8_t>> fSQLBinary;
    bool fParamCheck = true;
    bool fExecuting = false;
    bool fCheckRowsAffected = false;
    bool fTornDown = false;
};

// Whether a SELECT text names one table only, as the live decision reads it: no comma between the
// first "from" and the first "where", GROUP BY or ORDER BY.
bool NamesOneTable(const std::string& sql);

} // namespace corvane

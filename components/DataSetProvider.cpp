// The provider operations (PS*) of the dataset core, for the host generation that asks for them.
#include "components/DataSet.h"

#if CORVANE_HOST_GENERATION >= 5

namespace corvane {

std::shared_ptr<host::EUpdateError> TmSQLDataSet::PSGetUpdateException(const host::Exception& e,
                                                                       host::EUpdateError* previous) {
    if (const auto* error = dynamic_cast<const EmSQLDatabaseError*>(&e))
        return std::make_shared<host::EUpdateError>(error->Message(), "", error->ErrorCode(),
                                                    previous ? previous->ErrorCode() : 0,
                                                    std::make_shared<EmSQLDatabaseError>(*error));
    return host::TDataSet::PSGetUpdateException(e, previous);
}

bool TmSQLDataSet::PSIsSQLBased() {
    const bool previous = SetDBFlag(dbfProvider, true);
    SetDBFlag(dbfProvider, previous);
    return true;
}

void TmSQLDataSet::PSReset() {
    host::TDataSet::PSReset();
    if (!fHandle) return;
    if (TmSQLEngine* engine = Engine()) engine->ForceReread(fHandle);
}

int TmSQLDataSet::PSExecuteStatement(const std::string& sql, host::TParams* params,
                                     std::unique_ptr<host::TDataSet>* resultSet) {
    if (!fDatabase) throw host::EDatabaseError("Property Database not set!");
    const bool previous = SetDBFlag(dbfProvider, true);
    int rows = 0;
    try {
        if (resultSet) {
            hDBICur cursor = nullptr;
            rows = fDatabase->Execute(sql, params, true, &cursor);
            // The result set runs on this dataset's database, so that it can be opened and read.
            auto result = std::make_unique<TmSQLDataSet>(nullptr);
            result->SetDatabase(fDatabase);
            result->SetHandle(cursor);
            *resultSet = std::move(result);
        } else {
            rows = fDatabase->Execute(sql, params, true, nullptr);
        }
    } catch (...) {
        SetDBFlag(dbfProvider, previous);
        throw;
    }
    SetDBFlag(dbfProvider, previous);
    return rows;
}

} // namespace corvane

#endif

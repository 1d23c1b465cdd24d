// Dataset filters: expression filters built from the filter text and the record-event filter, as
// engine filters of the dataset's cursor.
#include "components/DataSet.h"
#include "host/Application.h"
#include "host/FilterExpr.h"

namespace corvane {

hDBIFilter TmSQLDataSet::CreateExprFilter(const std::string& text, host::TFilterOptions options,
                                          int priority) {
    TmSQLEngine* engine = RequireEngine();
    host::TExprParser parser(this, text, options, {}, "", nullptr, host::FldTypeMap);
    hDBIFilter filter = nullptr;
    // The engine keeps a copy of the expression.
    Check(engine,
          engine->AddFilter(fHandle, 0, static_cast<uint16_t>(priority), false,
                            reinterpret_cast<const host::CANExpr*>(parser.FilterData()), nullptr, filter));
    return filter;
}

hDBIFilter TmSQLDataSet::CreateFuncFilter(pfGENFilter callback, int priority) {
    TmSQLEngine* engine = RequireEngine();
    hDBIFilter filter = nullptr;
    Check(engine, engine->AddFilter(fHandle, reinterpret_cast<uintptr_t>(this),
                                    static_cast<uint16_t>(priority), false, nullptr, callback, filter));
    return filter;
}

void TmSQLDataSet::ActivateFilters() {
    TmSQLEngine* engine = RequireEngine();
    if (fExprFilter && engine->ActivateFilter(fHandle, fExprFilter) != DBIERR_NONE) {
        // The cursor lost the filter: it is built again from the current text.
        engine->DropFilter(fHandle, fExprFilter);
        fExprFilter = nullptr;
        fExprFilter = CreateExprFilter(Filter(), FilterOptions(), 0);
        Check(engine, engine->ActivateFilter(fHandle, fExprFilter));
    }
    if (fFuncFilter && engine->ActivateFilter(fHandle, fFuncFilter) != DBIERR_NONE) {
        engine->DropFilter(fHandle, fFuncFilter);
        fFuncFilter = nullptr;
        fFuncFilter = CreateFuncFilter(&TmSQLDataSet::RecordFilter, 1);
        Check(engine, engine->ActivateFilter(fHandle, fFuncFilter));
    }
}

void TmSQLDataSet::DeactivateFilters() {
    TmSQLEngine* engine = RequireEngine();
    if (fFuncFilter) Check(engine, engine->DeactivateFilter(fHandle, fFuncFilter));
    if (fExprFilter) Check(engine, engine->DeactivateFilter(fHandle, fExprFilter));
}

int16_t TmSQLDataSet::RecordFilter(uintptr_t clientData, uint8_t* recordBuffer, int32_t /*recordNumber*/) {
    auto* dataSet = reinterpret_cast<TmSQLDataSet*>(clientData);
    bool accept = true;
    const host::TDataSetState saved = dataSet->SetTempState(host::dsFilter);
    dataSet->fFilterBuffer = recordBuffer;
    try {
        if (const host::TFilterRecordEvent& handler = dataSet->OnFilterRecord()) handler(dataSet, accept);
    } catch (...) {
        // The engine cannot take an exception: it goes to the application's handler, and the row
        // counts as accepted unless the handler said otherwise before it failed.
        host::Application().HandleException(dataSet);
    }
    dataSet->fFilterBuffer = nullptr;
    dataSet->RestoreState(saved);
    return accept ? 1 : 0;
}

} // namespace corvane

// The table's indexes: the index choice (by name or by field list), the index definitions read from
// the cursor or the server's index listing, index descriptors both ways, and the table maintenance
// that runs on the server (AddIndex, DeleteIndex, EmptyTable).
#include <algorithm>
#include <cstring>

#include "components/Table.h"
#include "host/Application.h"
#include "host/Messages.h"

namespace corvane {

namespace {

// Longest index name handed to the engine.
constexpr size_t kIndexNameLength = 127;

// text without anything up to its last path separator.
std::string FileNamePart(const std::string& text) {
    const size_t separator = text.find_last_of("\\/:");
    return separator == std::string::npos ? text : text.substr(separator + 1);
}

// The zero-terminated text in a fixed character array.
template <size_t N>
std::string FixedText(const char (&text)[N]) {
    return std::string(text, strnlen(text, N));
}

// Copies text (native form, at most N - 1 characters) into a fixed character array.
template <size_t N>
void SetFixedText(TmSQLEngine* engine, const std::string& text, char (&dest)[N]) {
    AnsiToNativeBuf(engine, text, dest, N - 1);
}

} // namespace

// ---- The index choice

void TmSQLTable::GetIndexParams(const std::string& indexString, bool byFields, std::string& indexName,
                                std::string& tagName) {
    indexName.clear();
    tagName.clear();
    if (indexString.empty()) return;
    fIndexDefs->Update();
    const std::string name = byFields ? fIndexDefs->FindIndexForFields(indexString)->Name() : indexString;
    char native[kIndexNameLength + 1] = {};
    AnsiToNativeBuf(Engine(), name, native, kIndexNameLength);
    indexName = native;
}

void TmSQLTable::SetIndex(const std::string& value, bool byFields) {
    if (Active()) CheckBrowseMode();
    if (value == fIndexName && byFields == fFieldsIndex) return;
    if (Active()) {
        std::string indexName;
        std::string tagName;
        GetIndexParams(value, byFields, indexName, tagName);
        SwitchToIndex(indexName, tagName);
        CheckMasterRange();
    }
    fIndexName = value;
    fFieldsIndex = byFields;
    if (Active()) Resync({});
}

void TmSQLTable::SetIndexName(const std::string& value) {
    SetIndex(value, false);
}

void TmSQLTable::SetIndexFieldNames(const std::string& value) {
    SetIndex(value, !value.empty());
}

host::TIndexDef* TmSQLTable::ChosenIndexDef() {
    try {
        fIndexDefs->Update();
        if (!IndexName().empty()) return fIndexDefs->Find(IndexName());
        if (!IndexFieldNames().empty()) return fIndexDefs->FindIndexForFields(IndexFieldNames());
    } catch (const host::EDatabaseError&) {
        // No definition answers the choice: there is none.
    }
    return nullptr;
}

void TmSQLTable::GetIndexNames(host::TStrings* list) {
    fIndexDefs->Update();
    list->BeginUpdate();
    try {
        list->Clear();
        for (int i = 0; i < fIndexDefs->Count(); ++i)
            list->Add(fIndexDefs->Items(i)->Name());
    } catch (...) {
        list->EndUpdate();
        throw;
    }
    list->EndUpdate();
}

// ---- Index definitions

void TmSQLTable::UpdateIndexDefs() {
    const bool previous = SetDBFlag(dbfIndexList, true);
    auto add = [this](const IDXDesc& desc) {
        std::string source;
        std::string name;
        std::string fields;
        std::string descFields;
        host::TIndexOptions options;
        DecodeIndexDesc(desc, source, name, fields, descFields, options);
        host::TIndexDef* def = fIndexDefs->AddIndexDef();
        def->SetName(name);
        if (options.Contains(host::ixExpression))
            def->SetExpression(fields);
        else
            def->SetFields(fields);
        def->SetOptions(options);
        if (!descFields.empty()) def->SetDescFields(descFields);
        if (!source.empty()) def->SetSource(source);
    };
    try {
        FieldDefs()->Update();
        fIndexDefs->Clear();
        TmSQLEngine* engine = RequireEngine();
        if (fHandle) {
            CURProps props{};
            Check(engine, engine->GetCursorProps(fHandle, props));
            if (props.iIndexes > 0) {
                std::vector<IDXDesc> descs(props.iIndexes);
                Check(engine, engine->GetIndexDescs(fHandle, descs.data()));
                for (const IDXDesc& desc : descs)
                    add(desc);
            }
        } else {
            if (fTableName.empty()) host::DatabaseError(host::SNoTableName, this);
            hDBIDb database = GetDBHandle();
            hDBICur list = nullptr;
            while (!CheckOpen(engine->OpenIndexList(database, fTableName, "", list))) {
            }
            try {
                IDXDesc desc{};
                while (engine->GetNextRecord(list, dbiNOLOCK, reinterpret_cast<uint8_t*>(&desc), nullptr) ==
                       DBIERR_NONE)
                    if (desc.bMaintained != DescFalse) add(desc);
            } catch (...) {
                engine->CloseCursor(list);
                throw;
            }
            engine->CloseCursor(list);
        }
    } catch (...) {
        SetDBFlag(dbfIndexList, previous);
        throw;
    }
    SetDBFlag(dbfIndexList, previous);
}

void TmSQLTable::DecodeIndexDesc(const IDXDesc& desc, std::string& source, std::string& name,
                                 std::string& fields, std::string& descFields, host::TIndexOptions& options) {
    TmSQLEngine* engine = Engine();
    const std::string indexName = NativeToAnsi(engine, FixedText(desc.szName).c_str());
    const std::string tagName = NativeToAnsi(engine, FixedText(desc.szTagName).c_str());
    if (!tagName.empty()) {
        source = FileNamePart(indexName);
        name = FileNamePart(tagName);
    } else {
        source.clear();
        name = FileNamePart(indexName);
    }
    options = {};
    if (desc.bPrimary != DescFalse) options.Include(host::ixPrimary);
    if (desc.bUnique != DescFalse) options.Include(host::ixUnique);
    if (desc.bDescending != DescFalse) options.Include(host::ixDescending);
    if (desc.bCaseInsensitive != DescFalse) options.Include(host::ixCaseInsensitive);
    if (desc.bMaintained == DescFalse) options.Include(host::ixNonMaintained);
    fields.clear();
    descFields.clear();
    if (desc.bExpIdx != DescFalse) {
        options.Include(host::ixExpression);
        fields = NativeToAnsi(engine, FixedText(desc.szKeyExp).c_str());
        return;
    }
    host::TFieldDefs* defs = FieldDefs();
    const int count = std::min<int>(desc.iFldsInKey, DBIMAXFLDSINKEY);
    for (int i = 0; i < count; ++i) {
        const int number = desc.aiKeyFld[i];
        if (number < 1 || number > defs->Count()) continue;
        const std::string& fieldName = defs->Items(number - 1)->Name();
        fields += (fields.empty() ? "" : ";") + fieldName;
        if (desc.abDescending[i] != DescFalse) descFields += (descFields.empty() ? "" : ";") + fieldName;
    }
    if (options.Contains(host::ixDescending) && descFields == fields) descFields.clear();
}

void TmSQLTable::EncodeIndexDesc(IDXDesc& desc, const std::string& name, const std::string& fields,
                                 host::TIndexOptions options, const std::string& descFields) {
    TmSQLEngine* engine = Engine();
    desc = IDXDesc{};
    SetFixedText(engine, name, desc.szName);
    constexpr auto kTrue = static_cast<BOOL16>(-1);
    desc.bPrimary = options.Contains(host::ixPrimary) ? kTrue : DescFalse;
    desc.bUnique = options.Contains(host::ixUnique) ? kTrue : DescFalse;
    desc.bDescending = options.Contains(host::ixDescending) && descFields.empty() ? kTrue : DescFalse;
    desc.bMaintained = options.Contains(host::ixNonMaintained) ? DescFalse : kTrue;
    desc.bCaseInsensitive = options.Contains(host::ixCaseInsensitive) ? 1 : 0;
    if (options.Contains(host::ixExpression)) {
        desc.bExpIdx = kTrue;
        SetFixedText(engine, fields, desc.szKeyExp);
        return;
    }
    size_t pos = 0;
    while (pos < fields.size() && desc.iFldsInKey < DBIMAXFLDSINKEY) {
        const std::string fieldName = host::ExtractFieldName(fields, pos);
        if (fieldName.empty()) continue;
        desc.aiKeyFld[desc.iFldsInKey] = static_cast<uint16_t>(FieldDefs()->Find(fieldName)->FieldNo());
        ++desc.iFldsInKey;
    }
    if (descFields.empty()) return;
    desc.bDescending = kTrue;
    pos = 0;
    while (pos < descFields.size()) {
        const std::string fieldName = host::ExtractFieldName(descFields, pos);
        if (fieldName.empty()) continue;
        const auto number = static_cast<uint16_t>(FieldDefs()->Find(fieldName)->FieldNo());
        // The descriptor is packed: its arrays are read element by element.
        int position = 0;
        while (position < desc.iFldsInKey && desc.aiKeyFld[position] != number)
            ++position;
        if (position == desc.iFldsInKey) host::DatabaseErrorFmt(host::SIndexFieldMissing, {fieldName}, this);
        desc.abDescending[position] = kTrue;
    }
}

void TmSQLTable::EncodeFieldDesc(FLDDesc& desc, const std::string& name, host::TFieldType type, int size,
                                 int precision) {
    desc = FLDDesc{};
    SetFixedText(Engine(), name, desc.szName);
    desc.iFldType = host::FldTypeMap[type];
    desc.iSubType = host::FldSubTypeMap[type];
    switch (type) {
    case host::ftString:
    case host::ftFixedChar:
    case host::ftWideString:
    case host::ftBytes:
    case host::ftVarBytes:
    case host::ftBlob:
    case host::ftMemo:
    case host::ftGraphic:
    case host::ftFmtMemo:
    case host::ftParadoxOle:
    case host::ftDBaseOle:
    case host::ftTypedBinary:
        desc.iUnits1 = static_cast<int16_t>(size);
        break;
    case host::ftBCD:
        desc.iUnits1 = static_cast<int16_t>(precision >= 1 && precision <= 32 ? precision : 32);
        desc.iUnits2 = static_cast<int16_t>(size);
        break;
    default:
        break;
    }
}

// ---- Table maintenance on the server

void TmSQLTable::AddIndex(const std::string& name, const std::string& fields, host::TIndexOptions options,
                          const std::string& descFields) {
    FieldDefs()->Update();
    IDXDesc desc;
    EncodeIndexDesc(desc, name, fields, options, descFields);
    TmSQLEngine* engine = RequireEngine();
    if (Active()) {
        CheckBrowseMode();
        CursorPosChanged();
        Check(engine, engine->AddIndex(GetDBHandle(), fHandle, "", "", desc, ""));
        // The cursor read its indexes again; the first one may be another now.
        GetIndexInfo();
    } else {
        const bool previous = SetDBFlag(dbfTable, true);
        try {
            Check(engine, engine->AddIndex(GetDBHandle(), nullptr, fTableName, "", desc, ""));
        } catch (...) {
            SetDBFlag(dbfTable, previous);
            throw;
        }
        SetDBFlag(dbfTable, previous);
    }
    fIndexDefs->SetUpdated(false);
}

void TmSQLTable::DeleteIndex(const std::string& name) {
    std::string indexName;
    std::string tagName;
    GetIndexParams(name, false, indexName, tagName);
    TmSQLEngine* engine = RequireEngine();
    if (Active()) {
        CheckBrowseMode();
        const bool inForce = !fIndexInForce.empty() && indexName == fIndexInForce;
        Check(engine, engine->DeleteIndex(GetDBHandle(), fHandle, "", "", indexName, tagName, 0));
        // Without the index in force the cursor went back to the natural order and ran again.
        if (inForce) fIndexInForce.clear();
        GetIndexInfo();
        if (inForce) {
            CursorPosChanged();
            Resync({});
        }
    } else {
        const bool previous = SetDBFlag(dbfTable, true);
        try {
            Check(engine, engine->DeleteIndex(GetDBHandle(), nullptr, fTableName, "", indexName, tagName, 0));
        } catch (...) {
            SetDBFlag(dbfTable, previous);
            throw;
        }
        SetDBFlag(dbfTable, previous);
    }
    fIndexDefs->SetUpdated(false);
}

void TmSQLTable::EmptyTable() {
    TmSQLEngine* engine = RequireEngine();
    if (Active()) {
        CheckBrowseMode();
        Check(engine, engine->EmptyTable(GetDBHandle(), fHandle, "", ""));
        ClearBuffers();
        DataEvent(host::deDataSetChange, 0);
        return;
    }
    const bool previous = SetDBFlag(dbfTable, true);
    try {
        Check(engine, engine->EmptyTable(GetDBHandle(), nullptr, fTableName, ""));
    } catch (...) {
        SetDBFlag(dbfTable, previous);
        throw;
    }
    SetDBFlag(dbfTable, previous);
}

} // namespace corvane

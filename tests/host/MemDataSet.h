// An in-memory dataset for the host framework tests: an array of rows in native field formats,
// stable 8-byte row ids as bookmarks, OnFilterRecord filtering, and a log of the contract calls.
//
// Row layout: per column one presence byte and the native value (DataSize bytes). Buffer layout:
// row | calc area (CalcFieldsSize) | 8-byte row id | 1-byte bookmark flag. Blob columns keep only
// the presence byte in the row; their bytes live beside the row and, while a row is edited, in a
// per-column edit copy that Post stores and Cancel drops.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/Application.h"
#include "host/DB.h"
#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace hosttest {

using namespace host;

struct Column {
    std::string name;
    TFieldType type;
    int size = 0;
    bool required = false;
};

class MemDataSet : public TDataSet {
public:
    explicit MemDataSet(TComponent* owner, std::vector<Column> columns = {})
        : TDataSet(owner), fColumns(std::move(columns)) {}
    ~MemDataSet() override { Close(); }

    std::vector<std::string> log; // contract calls, in order
    bool logging = true;

    // Appends a row directly (values by column, Null/Unassigned = null); the dataset is closed or
    // will be resynchronised by the caller.
    void AddRow(const std::vector<Variant>& values) {
        ComputeLayout();
        Row row{fNextId++, std::vector<uint8_t>(static_cast<size_t>(fRecordSize), 0), {}};
        row.blobs.resize(fColumns.size());
        for (size_t i = 0; i < values.size() && i < fColumns.size(); ++i) {
            if (ftBlobTypes.Contains(fColumns[i].type)) {
                if (VarIsClear(values[i])) continue;
                row.blobs[i] = values[i].AsString();
                row.data[fOffsets[i]] = 1;
                continue;
            }
            WriteNative(row.data.data() + fOffsets[i], fColumns[i], values[i]);
        }
        fRows.push_back(std::move(row));
    }
    int RowCount() const { return static_cast<int>(fRows.size()); }
    // The id stored in a bookmark.
    static int64_t IdOf(const TBookmark& b) {
        int64_t id = 0;
        if (b.size() == 8) std::memcpy(&id, b.data(), 8);
        return id;
    }
    void SetCanModifyFlag(bool v) { fCanModify = v; }
    // The stored bytes of a blob column of row (0-based).
    const std::string& StoredBlob(int row, int column) const {
        return fRows[static_cast<size_t>(row)].blobs[static_cast<size_t>(column)];
    }

    // Blob streams: bmRead copies the value the field shows now (the edit copy while editing);
    // bmWrite starts empty and bmReadWrite with that value; both store their bytes into the edit
    // copy when destroyed (edit modes only).
    std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override {
        const size_t column = static_cast<size_t>(field->FieldNo() - 1);
        if (field->FieldNo() < 1 || !ftBlobTypes.Contains(fColumns[column].type))
            DatabaseErrorFmt(SFieldAccessError, {field->DisplayName(), "Blob"});
        if (mode != bmRead && State() != dsEdit && State() != dsInsert) DatabaseError(SNotEditing, this);
        std::unique_ptr<TMemoryStream> stream;
        if (mode == bmRead)
            stream = std::make_unique<TMemoryStream>();
        else
            stream = std::make_unique<BlobWriteStream>(this, field, column);
        if (mode != bmWrite) {
            const std::string value = CurrentBlob(column);
            if (!value.empty()) stream->WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
            stream->SetPosition(0);
        }
        return stream;
    }
    int ActiveRecordIndex() const { return ActiveRecord(); }
    int BufferedCount() const { return BufferedRecordCount(); }
    int WindowSize() const { return BufferCount(); }
    using TDataSet::BufferCount;

    bool Locate(const std::string& keyFields, const Variant& keyValues, TLocateOptions options) override {
        CheckBrowseMode();
        DoBeforeScroll();
        const int row = FindRow(keyFields, keyValues, options);
        if (row < 0) return false;
        fCursor = row;
        Resync({rmExact, rmCenter});
        DoAfterScroll();
        return true;
    }

    Variant Lookup(const std::string& keyFields, const Variant& keyValues,
                   const std::string& resultFields) override {
        const int row = FindRow(keyFields, keyValues, {});
        if (row < 0) return Null();
        Variant result;
        WithRow(row, [&] { result = FieldValues(resultFields); });
        return result;
    }

    bool FindRecord(bool restart, bool goForward) override {
        CheckBrowseMode();
        DoBeforeScroll();
        SetFound(false);
        UpdateCursorPos();
        CursorPosChanged();
        fForceFilter = true;
        int cursor = restart ? (goForward ? -1 : RowCount()) : fCursor;
        bool found = false;
        try {
            for (cursor += goForward ? 1 : -1; cursor >= 0 && cursor < RowCount();
                 cursor += goForward ? 1 : -1)
                if (Accept(cursor)) {
                    found = true;
                    break;
                }
        } catch (...) {
            fForceFilter = false;
            throw;
        }
        fForceFilter = false;
        if (found) {
            fCursor = cursor;
            Resync({rmExact, rmCenter});
            SetFound(true);
            DoAfterScroll();
        }
        return found;
    }

    int CompareBookmarks(const TBookmark& a, const TBookmark& b) override {
        if (a.empty() && b.empty()) return 0;
        if (b.empty()) return -1;
        if (a.empty()) return 1;
        const int ia = IndexOfId(IdOf(a)), ib = IndexOfId(IdOf(b));
        return ia < ib ? -1 : (ia > ib ? 1 : 0);
    }
    bool BookmarkValid(const TBookmark& b) override { return b.size() == 8 && IndexOfId(IdOf(b)) >= 0; }

    bool GetFieldData(TField* field, void* buffer) override {
        TRecordBuffer rec = RecBuf();
        if (rec == nullptr) return false;
        const size_t offset = field->FieldNo() > 0 ? fOffsets[static_cast<size_t>(field->FieldNo() - 1)]
                                                   : static_cast<size_t>(fRecordSize + field->Offset());
        const size_t size = field->FieldNo() > 0 ? fSizes[static_cast<size_t>(field->FieldNo() - 1)]
                                                 : static_cast<size_t>(field->DataSize());
        if (rec[offset] == 0) return false;
        if (buffer != nullptr) std::memcpy(buffer, rec + offset + 1, size);
        return true;
    }
    using TDataSet::GetFieldData;

    void SetFieldData(TField* field, const void* buffer) override {
        if (!dsWriteModes.Contains(State())) DatabaseError(SNotEditing, this);
        TRecordBuffer rec = RecBuf();
        if (field->FieldNo() > 0) {
            if (State() == dsCalcFields) DatabaseError(SNotEditing, this);
            if (field->ReadOnly() && State() != dsSetKey && State() != dsFilter)
                DatabaseErrorFmt(SFieldReadOnly, {field->DisplayName()});
            field->Validate(buffer);
            const size_t i = static_cast<size_t>(field->FieldNo() - 1);
            rec[fOffsets[i]] = buffer != nullptr ? 1 : 0;
            if (buffer != nullptr)
                std::memcpy(rec + fOffsets[i] + 1, buffer, fSizes[i]);
            else
                std::memset(rec + fOffsets[i] + 1, 0, fSizes[i]);
        } else {
            const size_t offset = static_cast<size_t>(fRecordSize + field->Offset());
            rec[offset] = buffer != nullptr ? 1 : 0;
            if (buffer != nullptr)
                std::memcpy(rec + offset + 1, buffer, static_cast<size_t>(field->DataSize()));
        }
        if (State() != dsCalcFields && State() != dsFilter && State() != dsNewValue)
            DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
    }

protected:
    TRecordBuffer AllocRecordBuffer() override {
        ++allocated;
        auto* buffer = new uint8_t[static_cast<size_t>(BufferSize())];
        std::memset(buffer, 0, static_cast<size_t>(BufferSize()));
        return buffer;
    }
    void FreeRecordBuffer(TRecordBuffer& buffer) override {
        --allocated;
        delete[] buffer;
        buffer = nullptr;
    }

    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool /*doCheck*/) override {
        if (logging)
            log.push_back(std::string("GetRecord(") +
                          (mode == gmNext    ? "gmNext"
                           : mode == gmPrior ? "gmPrior"
                                             : "gmCurrent") +
                          ")");
        switch (mode) {
        case gmCurrent:
            if (fCursor < 0) return grBOF;
            if (fCursor >= RowCount()) return grEOF;
            if (!Accept(fCursor)) return grError;
            break;
        case gmNext:
            do
                ++fCursor;
            while (fCursor < RowCount() && !Accept(fCursor));
            if (fCursor >= RowCount()) {
                fCursor = RowCount();
                return grEOF;
            }
            break;
        case gmPrior:
            do
                --fCursor;
            while (fCursor >= 0 && !Accept(fCursor));
            if (fCursor < 0) {
                fCursor = -1;
                return grBOF;
            }
            break;
        }
        const Row& row = fRows[static_cast<size_t>(fCursor)];
        std::memcpy(buffer, row.data.data(), static_cast<size_t>(fRecordSize));
        std::memcpy(buffer + BookmarkOffset(), &row.id, 8);
        buffer[BookmarkOffset() + 8] = bfCurrent;
        GetCalcFields(buffer);
        return grOK;
    }

    void InternalOpen() override {
        log.push_back("InternalOpen");
        fOpen = true; // the cursor exists from here on (field defs are read from it)
        SetBookmarkSize(8);
        FieldDefs()->SetUpdated(false);
        FieldDefs()->Update();
        if (DefaultFields()) CreateFields();
        BindFields(true);
        ComputeLayout();
        fFilterBuffer.assign(static_cast<size_t>(BufferSize()), 0);
        fCursor = -1;
    }
    void InternalClose() override {
        log.push_back("InternalClose");
        BindFields(false);
        if (DefaultFields()) DestroyFields();
        fOpen = false;
    }
    void InternalInitFieldDefs() override {
        FieldDefs()->Clear();
        for (const Column& c : fColumns)
            FieldDefs()->Add(c.name, c.type, c.size, c.required);
    }
    bool IsCursorOpen() override { return fOpen; }
    void InternalHandleException() override {
        log.push_back("HandleException");
        TDataSet::InternalHandleException();
    }
    void InternalInitRecord(TRecordBuffer buffer) override {
        std::memset(buffer, 0, static_cast<size_t>(fRecordSize));
    }
    void ClearCalcFields(TRecordBuffer buffer) override {
        std::memset(buffer + fRecordSize, 0, static_cast<size_t>(CalcFieldsSize()));
    }
    void InternalFirst() override { fCursor = -1; }
    void InternalLast() override { fCursor = RowCount(); }
    void InternalSetToRecord(TRecordBuffer buffer) override {
        InternalGotoBookmark(buffer + BookmarkOffset());
    }
    void InternalGotoBookmark(const uint8_t* bookmark) override {
        int64_t id = 0;
        std::memcpy(&id, bookmark, 8);
        const int index = IndexOfId(id);
        fCursor = index >= 0 ? index : -1;
    }
    void GetBookmarkData(TRecordBuffer buffer, uint8_t* data) override {
        std::memcpy(data, buffer + BookmarkOffset(), 8);
    }
    void SetBookmarkData(TRecordBuffer buffer, const uint8_t* data) override {
        std::memcpy(buffer + BookmarkOffset(), data, 8);
    }
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override {
        return static_cast<TBookmarkFlag>(buffer[BookmarkOffset() + 8]);
    }
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag value) override {
        buffer[BookmarkOffset() + 8] = value;
    }
    int GetRecordSize() override { return fRecordSize; }
    bool GetCanModify() override { return fCanModify; }
    int GetRecordCount() override { return RowCount(); }
    int GetRecNo() override {
        if (IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return -1;
        int64_t id = 0;
        std::memcpy(&id, ActiveBuffer() + BookmarkOffset(), 8);
        return IndexOfId(id) + 1;
    }

    void InternalEdit() override {
        log.push_back("InternalEdit");
        fBlobEdits.clear();
        fOldRow.assign(ActiveBuffer(), ActiveBuffer() + fRecordSize);
    }
    void InternalInsert() override {
        log.push_back("InternalInsert");
        fBlobEdits.clear();
    }
    void InternalCancel() override {
        log.push_back("InternalCancel");
        fBlobEdits.clear();
    }
    void CloseBlob(TField* field) override { log.push_back("CloseBlob(" + field->FieldName() + ")"); }
    void InternalRefresh() override { log.push_back("InternalRefresh"); }
    void InternalPost() override {
        log.push_back("InternalPost");
        TDataSet::InternalPost();
        TRecordBuffer buffer = ActiveBuffer();
        if (State() == dsEdit) {
            Row& row = fRows[static_cast<size_t>(fCursor)];
            std::memcpy(row.data.data(), buffer, static_cast<size_t>(fRecordSize));
            StoreBlobEdits(row);
            return;
        }
        int position = RowCount();
        const TBookmarkFlag flag = GetBookmarkFlag(buffer);
        if (flag == bfBOF) {
            position = 0;
        } else if (flag == bfInserted) {
            int64_t id = 0;
            std::memcpy(&id, buffer + BookmarkOffset(), 8);
            const int index = IndexOfId(id);
            position = index >= 0 ? index : RowCount();
        }
        InsertRowAt(position, buffer);
    }
    void InternalAddRecord(TRecordBuffer buffer, bool append) override {
        log.push_back(append ? "InternalAddRecord(append)" : "InternalAddRecord(insert)");
        InsertRowAt(append ? RowCount() : std::clamp(fCursor, 0, RowCount()), buffer);
    }
    void InternalDelete() override {
        log.push_back("InternalDelete");
        fBlobEdits.clear();
        fRows.erase(fRows.begin() + fCursor);
        if (fCursor >= RowCount()) fCursor = RowCount();
    }

public:
    int allocated = 0; // live record buffers

private:
    struct Row {
        int64_t id;
        std::vector<uint8_t> data;
        std::vector<std::string> blobs; // by column; used by blob columns only
    };

    // Stores its bytes into the dataset's edit copy when destroyed.
    class BlobWriteStream : public TMemoryStream {
    public:
        BlobWriteStream(MemDataSet* owner, TField* field, size_t column)
            : fOwner(owner), fField(field), fColumn(column) {}
        ~BlobWriteStream() override {
            // A destructor must not throw: a failing change notification (the field's OnChange)
            // goes to the application's handler.
            try {
                fOwner->StoreBlobEdit(fField, fColumn,
                                      std::string(reinterpret_cast<const char*>(Memory()),
                                                  static_cast<size_t>(TMemoryStream::Size())));
            } catch (...) {
                Application().HandleException(fOwner);
            }
        }

    private:
        MemDataSet* fOwner;
        TField* fField;
        size_t fColumn;
    };

    void StoreBlobEdit(TField* field, size_t column, std::string value) {
        const bool present = !value.empty();
        fBlobEdits[column] = std::move(value);
        if (TRecordBuffer rec = ActiveBuffer()) rec[fOffsets[column]] = present ? 1 : 0;
        DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
    }

    // The blob the active row shows: the edit copy while editing, else the stored bytes.
    std::string CurrentBlob(size_t column) {
        if (State() == dsEdit || State() == dsInsert) {
            auto edited = fBlobEdits.find(column);
            if (edited != fBlobEdits.end()) return edited->second;
            if (State() == dsInsert) return {};
        }
        TRecordBuffer rec = ActiveBuffer();
        if (rec == nullptr || IsEmpty() || GetBookmarkFlag(rec) != bfCurrent) return {};
        int64_t id = 0;
        std::memcpy(&id, rec + BookmarkOffset(), 8);
        const int index = IndexOfId(id);
        return index >= 0 ? fRows[static_cast<size_t>(index)].blobs[column] : std::string();
    }

    void StoreBlobEdits(Row& row) {
        row.blobs.resize(fColumns.size());
        for (auto& [column, value] : fBlobEdits)
            row.blobs[column] = std::move(value);
        fBlobEdits.clear();
    }

    static size_t NativeSize(const Column& c) {
        switch (c.type) {
        case ftString:
        case ftFixedChar:
            return static_cast<size_t>(c.size) + 1;
        case ftSmallint:
        case ftWord:
        case ftBoolean:
            return 2;
        case ftInteger:
        case ftAutoInc:
        case ftDate:
        case ftTime:
            return 4;
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
        case ftLargeint:
            return 8;
        case ftBCD:
            return sizeof(TBcd);
        case ftBytes:
            return static_cast<size_t>(c.size);
        case ftVarBytes:
            return static_cast<size_t>(c.size) + 2;
        default:
            return 0;
        }
    }

    void ComputeLayout() {
        fOffsets.clear();
        fSizes.clear();
        size_t offset = 0;
        for (const Column& c : fColumns) {
            fOffsets.push_back(offset);
            fSizes.push_back(NativeSize(c));
            offset += 1 + NativeSize(c);
        }
        fRecordSize = static_cast<int>(offset);
    }

    // Writes a test value in the column's native format (presence byte first).
    static void WriteNative(uint8_t* p, const Column& c, const Variant& v) {
        if (VarIsClear(v)) return;
        p[0] = 1;
        uint8_t* d = p + 1;
        switch (c.type) {
        case ftString:
        case ftFixedChar: {
            const std::string s = v.AsString().substr(0, static_cast<size_t>(c.size));
            std::memcpy(d, s.c_str(), s.size() + 1);
            break;
        }
        case ftSmallint: {
            const int16_t x = static_cast<int16_t>(v.AsInteger());
            std::memcpy(d, &x, 2);
            break;
        }
        case ftWord: {
            const uint16_t x = static_cast<uint16_t>(v.AsInteger());
            std::memcpy(d, &x, 2);
            break;
        }
        case ftBoolean: {
            const uint16_t x = v.AsBoolean() ? 1 : 0;
            std::memcpy(d, &x, 2);
            break;
        }
        case ftInteger:
        case ftAutoInc: {
            const int32_t x = v.AsInteger();
            std::memcpy(d, &x, 4);
            break;
        }
        case ftFloat:
        case ftCurrency: {
            const double x = v.AsDouble();
            std::memcpy(d, &x, 8);
            break;
        }
        case ftDate: {
            const int32_t x = DateTimeToTimeStamp(v.AsDateTime()).Date;
            std::memcpy(d, &x, 4);
            break;
        }
        case ftDateTime: {
            const double x = TimeStampToMSecs(DateTimeToTimeStamp(v.AsDateTime()));
            std::memcpy(d, &x, 8);
            break;
        }
        default:
            p[0] = 0;
            break;
        }
    }

    int BookmarkOffset() const { return fRecordSize + CalcFieldsSize(); }
    int BufferSize() const { return BookmarkOffset() + 9; }

    int IndexOfId(int64_t id) const {
        for (size_t i = 0; i < fRows.size(); ++i)
            if (fRows[i].id == id) return static_cast<int>(i);
        return -1;
    }

    void InsertRowAt(int position, TRecordBuffer buffer) {
        Row row{fNextId++, std::vector<uint8_t>(buffer, buffer + fRecordSize), {}};
        StoreBlobEdits(row);
        fRows.insert(fRows.begin() + position, std::move(row));
        fCursor = position;
    }

    TRecordBuffer RecBuf() {
        switch (State()) {
        case dsBrowse:
        case dsBlockRead:
            return IsEmpty() ? nullptr : ActiveBuffer();
        case dsEdit:
        case dsInsert:
        case dsNewValue:
            return ActiveBuffer();
        case dsCalcFields:
            return CalcBuffer();
        case dsFilter:
            return fFilterBuffer.data();
        case dsOldValue:
            return fOldRow.empty() ? nullptr : fOldRow.data();
        default:
            return nullptr;
        }
    }

    // Runs f with the fields reading row (a temporary dsFilter state).
    template <class F>
    void WithRow(int row, F&& f) {
        std::memcpy(fFilterBuffer.data(), fRows[static_cast<size_t>(row)].data.data(),
                    static_cast<size_t>(fRecordSize));
        const TDataSetState saved = SetTempState(dsFilter);
        try {
            f();
        } catch (...) {
            RestoreState(saved);
            throw;
        }
        RestoreState(saved);
    }

    bool Accept(int row) {
        if (!(Filtered() || fForceFilter) || !OnFilterRecord()) return true;
        bool accept = true;
        WithRow(row, [&] {
            try {
                OnFilterRecord()(this, accept);
            } catch (...) {
                InternalHandleException();
            }
        });
        return accept;
    }

    int FindRow(const std::string& keyFields, const Variant& keyValues, TLocateOptions options) {
        std::vector<TField*> fields;
        GetFieldList(fields, keyFields);
        for (int r = 0; r < RowCount(); ++r) {
            bool match = true;
            WithRow(r, [&] {
                for (size_t i = 0; i < fields.size() && match; ++i) {
                    const Variant want = fields.size() == 1 ? keyValues : keyValues[static_cast<int>(i)];
                    const Variant have = fields[i]->Value();
                    if (options.Contains(loCaseInsensitive) || options.Contains(loPartialKey)) {
                        std::string a = have.IsNull() ? std::string() : have.AsString();
                        std::string b = want.AsString();
                        if (options.Contains(loCaseInsensitive)) {
                            a = UpperCase(a);
                            b = UpperCase(b);
                        }
                        if (options.Contains(loPartialKey) && i + 1 == fields.size())
                            a = a.substr(0, b.size());
                        match = !have.IsNull() && a == b;
                    } else {
                        match = VarCompareValue(have, want) == vrEqual;
                    }
                }
            });
            if (match) return r;
        }
        return -1;
    }

    std::vector<Column> fColumns;
    std::vector<Row> fRows;
    std::vector<size_t> fOffsets, fSizes;
    std::vector<uint8_t> fFilterBuffer, fOldRow;
    std::map<size_t, std::string> fBlobEdits; // column -> bytes written in the current edit
    int fRecordSize = 0;
    int fCursor = -1;
    int64_t fNextId = 1;
    bool fOpen = false;
    bool fCanModify = true;
    bool fForceFilter = false;
};

// Standard test table: ID integer (required), NAME string(20), AMOUNT float.
inline std::vector<Column> StandardColumns() {
    return {{"ID", ftInteger, 0, true}, {"NAME", ftString, 20, false}, {"AMOUNT", ftFloat, 0, false}};
}

} // namespace hosttest

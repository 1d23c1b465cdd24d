// TIndexDef, TIndexDefs and GetIndexForOrderBy.
#include "host/IndexDefs.h"

#include <cctype>

#include "host/DataSet.h"
#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

// ---- TIndexDef

TIndexDef::TIndexDef(TCollection* collection) : TNamedItem(collection) {}

TIndexDef::TIndexDef(TIndexDefs* owner, const std::string& name, const std::string& fields,
                     TIndexOptions options)
    : TNamedItem(owner) {
    SetNameDirect(name);
    fFields = fields;
    fOptions = options;
}

void TIndexDef::SetFields(const std::string& value) {
    fFields = value;
    fOptions.Exclude(ixExpression);
    Changed(false);
}

void TIndexDef::SetExpression(const std::string& value) {
    fFields = value;
    fOptions.Include(ixExpression);
    Changed(false);
}

void TIndexDef::SetOptions(TIndexOptions value) {
    fOptions = value;
    Changed(false);
}

void TIndexDef::SetSource(const std::string& value) {
    fSource = value;
    Changed(false);
}

void TIndexDef::SetDescFields(const std::string& value) {
    fDescFields = value;
    if (!value.empty()) fOptions.Include(ixDescending);
    Changed(false);
}

void TIndexDef::SetCaseInsFields(const std::string& value) {
    fCaseInsFields = value;
    if (!value.empty()) fOptions.Include(ixCaseInsensitive);
    Changed(false);
}

std::string TIndexDef::DisplayName() const {
    if (Name().empty() && fOptions.Contains(ixPrimary)) return std::string("<") + SPrimary + ">";
    return Name();
}

void TIndexDef::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TIndexDef*>(source);
    if (other == nullptr) {
        TNamedItem::Assign(source);
        return;
    }
    SetName(other->Name());
    fFields = other->fFields;
    fOptions = other->fOptions;
    fSource = other->fSource;
    fDescFields = other->fDescFields;
    fCaseInsFields = other->fCaseInsFields;
    Changed(false);
}

// ---- TIndexDefs

TIndexDefs::TIndexDefs(TDataSet* dataSet)
    : TOwnedCollection(dataSet, ItemClassOf<TIndexDef>()), fDataSet(dataSet) {}

void TIndexDefs::Add(const std::string& name, const std::string& fields, TIndexOptions options) {
    if (IndexOf(name) >= 0) DatabaseErrorFmt(SDuplicateIndexName, {name}, fDataSet);
    BeginUpdate();
    try {
        new TIndexDef(this, name, fields, options);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

TIndexDef* TIndexDefs::AddIndexDef() {
    return static_cast<TIndexDef*>(TCollection::Add());
}

int TIndexDefs::IndexOf(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(Items(i)->Name(), name)) return i;
    return -1;
}

TIndexDef* TIndexDefs::Find(const std::string& name) const {
    const int index = IndexOf(name);
    if (index < 0) DatabaseErrorFmt(SIndexNotFound, {name}, fDataSet);
    return Items(index);
}

void TIndexDefs::Update() {
    if (fUpdated || fDataSet == nullptr) return;
    fInternalUpdate = true;
    BeginUpdate();
    try {
        fDataSet->UpdateIndexDefs();
    } catch (...) {
        EndUpdate();
        fInternalUpdate = false;
        throw;
    }
    EndUpdate();
    fInternalUpdate = false;
    fUpdated = true;
}

void TIndexDefs::Update(TCollectionItem* /*item*/) {
    if (fInternalUpdate || UpdateCount() > 0) return;
    if (fDataSet != nullptr) fDataSet->DefChanged(this);
}

std::unique_ptr<TIndexDefs> GetIndexDefs(TIndexDefs* indexDefs, TIndexOptions indexTypes) {
    if (indexDefs == nullptr) return nullptr;
    indexDefs->Update();
    std::unique_ptr<TIndexDefs> result;
    for (int i = 0; i < indexDefs->Count(); ++i) {
        TIndexDef* def = indexDefs->Items(i);
        if (!indexTypes.Empty() && (def->Options() * indexTypes).Empty()) continue;
        if (!result) result = std::make_unique<TIndexDefs>(nullptr);
        result->AddIndexDef()->Assign(def);
    }
    if (result) result->SetUpdated(true);
    return result;
}

TIndexDef* TIndexDefs::GetIndexForFields(const std::string& fields, bool caseInsensitive) {
    Update();
    auto eligible = [&](TIndexDef* def) {
        const TIndexOptions options = def->Options();
        if (options.Contains(ixDescending) || options.Contains(ixExpression)) return false;
        return !caseInsensitive || options.Contains(ixCaseInsensitive);
    };
    for (int i = 0; i < Count(); ++i) {
        TIndexDef* def = Items(i);
        if (eligible(def) && AnsiSameText(def->Fields(), fields)) return def;
    }
    for (int i = 0; i < Count(); ++i) {
        TIndexDef* def = Items(i);
        const std::string own = def->Fields();
        if (!eligible(def) || own.size() < fields.size()) continue;
        if (AnsiSameText(own.substr(0, fields.size()), fields) &&
            (own.size() == fields.size() || own[fields.size()] == ';'))
            return def;
    }
    return nullptr;
}

TIndexDef* TIndexDefs::FindIndexForFields(const std::string& fields) {
    TIndexDef* def = GetIndexForFields(fields, false);
    if (def == nullptr) DatabaseErrorFmt(SNoIndexForFields, {fields}, fDataSet);
    return def;
}

// ---- GetIndexForOrderBy

std::unique_ptr<TIndexDef> GetIndexForOrderBy(const std::string& sql, TDataSet* /*dataSet*/) {
    const std::string upper = UpperCase(sql);
    // Find "ORDER" followed by blanks and "BY" outside quotes.
    size_t pos = std::string::npos;
    char quote = 0;
    for (size_t i = 0; i < upper.size(); ++i) {
        const char c = upper[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\'' || c == '"' || c == '`') {
            quote = c;
            continue;
        }
        if (upper.compare(i, 5, "ORDER") == 0 &&
            (i == 0 || !std::isalnum(static_cast<unsigned char>(upper[i - 1])))) {
            size_t j = i + 5;
            while (j < upper.size() && static_cast<unsigned char>(upper[j]) <= ' ')
                ++j;
            if (j > i + 5 && upper.compare(j, 2, "BY") == 0 &&
                (j + 2 == upper.size() || static_cast<unsigned char>(upper[j + 2]) <= ' ')) {
                pos = j + 2;
                break;
            }
        }
    }
    if (pos == std::string::npos) return nullptr;
    std::string fields, descFields;
    size_t i = pos;
    while (i < sql.size()) {
        while (i < sql.size() && (static_cast<unsigned char>(sql[i]) <= ' ' || sql[i] == ','))
            ++i;
        size_t start = i;
        while (i < sql.size() && static_cast<unsigned char>(sql[i]) > ' ' && sql[i] != ',' && sql[i] != ';')
            ++i;
        if (start == i) break;
        std::string name = sql.substr(start, i - start);
        if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(0, dot + 1);
        // Optional ASC / DESC after the name.
        size_t k = i;
        while (k < sql.size() && static_cast<unsigned char>(sql[k]) <= ' ')
            ++k;
        size_t e = k;
        while (e < sql.size() && std::isalpha(static_cast<unsigned char>(sql[e])))
            ++e;
        const std::string word = UpperCase(sql.substr(k, e - k));
        const bool descending = word == "DESC" || word == "DESCENDING";
        if (descending || word == "ASC" || word == "ASCENDING") i = e;
        if (!fields.empty()) fields += ';';
        fields += name;
        if (descending) {
            if (!descFields.empty()) descFields += ';';
            descFields += name;
        }
        while (i < sql.size() && static_cast<unsigned char>(sql[i]) <= ' ')
            ++i;
        if (i >= sql.size() || sql[i] != ',') break;
    }
    if (fields.empty()) return nullptr;
    auto def = std::make_unique<TIndexDef>(nullptr);
    def->SetFields(fields);
    if (!descFields.empty()) def->SetDescFields(descFields);
    return def;
}

} // namespace host

// TStrings and TStringList: lines, objects, name=value access, text forms, sorting, change events.
#include "host/Strings.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/Stream.h"
#include "host/SysUtils.h"

namespace host {

namespace {

// An update bracket that is closed again when an exception leaves the scope.
class UpdateScope {
public:
    explicit UpdateScope(TStrings& strings) : fStrings(strings) { fStrings.BeginUpdate(); }
    // EndUpdate fires OnChange, whose handler may raise.
    ~UpdateScope() noexcept(false) { fStrings.EndUpdate(); }
    UpdateScope(const UpdateScope&) = delete;
    UpdateScope& operator=(const UpdateScope&) = delete;

private:
    TStrings& fStrings;
};

bool NeedsQuotes(const std::string& s) {
    return std::any_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == ','; });
}

bool IsBlank(char c) {
    return c != '\0' && static_cast<unsigned char>(c) <= ' ';
}

} // namespace

// ---- TStrings

void TStrings::Error(const char* msg, int index) {
    throw EStringListError(Format(msg, index));
}

void TStrings::SetStrings(int index, const std::string& s) {
    TObject* object = Objects(index);
    UpdateScope scope(*this);
    Delete(index);
    InsertObject(index, s, object);
}

TObject* TStrings::Objects(int /*index*/) const {
    return nullptr;
}

void TStrings::SetObjects(int /*index*/, TObject* /*object*/) {}

int TStrings::Add(const std::string& s) {
    const int index = Count();
    Insert(index, s);
    return index;
}

int TStrings::AddObject(const std::string& s, TObject* object) {
    const int index = Add(s);
    SetObjects(index, object);
    return index;
}

void TStrings::InsertObject(int index, const std::string& s, TObject* object) {
    Insert(index, s);
    SetObjects(index, object);
}

void TStrings::AddStrings(const TStrings& strings) {
    UpdateScope scope(*this);
    const int n = strings.Count(); // fixed first, so adding a list to itself terminates
    for (int i = 0; i < n; ++i)
        AddObject(strings.Strings(i), strings.Objects(i));
}

void TStrings::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex) return;
    UpdateScope scope(*this);
    const std::string s = Strings(curIndex);
    TObject* object = Objects(curIndex);
    Delete(curIndex);
    InsertObject(newIndex, s, object);
}

void TStrings::Exchange(int index1, int index2) {
    UpdateScope scope(*this);
    const std::string s1 = Strings(index1);
    TObject* o1 = Objects(index1);
    SetStrings(index1, Strings(index2));
    SetObjects(index1, Objects(index2));
    SetStrings(index2, s1);
    SetObjects(index2, o1);
}

int TStrings::IndexOf(const std::string& s) const {
    for (int i = 0, n = Count(); i < n; ++i)
        if (CompareStrings(Strings(i), s) == 0) return i;
    return -1;
}

int TStrings::IndexOfObject(const TObject* object) const {
    for (int i = 0, n = Count(); i < n; ++i)
        if (Objects(i) == object) return i;
    return -1;
}

int TStrings::IndexOfName(const std::string& name) const {
    for (int i = 0, n = Count(); i < n; ++i) {
        const std::string s = Strings(i);
        const size_t eq = s.find('=');
        if (eq != std::string::npos && CompareStrings(s.substr(0, eq), name) == 0) return i;
    }
    return -1;
}

std::string TStrings::Names(int index) const {
    const std::string s = Strings(index);
    const size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStrings::ValueFromIndex(int index) const {
    const std::string s = Strings(index);
    const size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

std::string TStrings::Values(const std::string& name) const {
    const int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStrings::SetValues(const std::string& name, const std::string& value) {
    const int i = IndexOfName(name);
    if (!value.empty()) {
        if (i < 0)
            Add(name + "=" + value);
        else
            SetStrings(i, name + "=" + value);
    } else if (i >= 0) {
        Delete(i);
    }
}

std::string TStrings::Text() const {
    std::string out;
    for (int i = 0, n = Count(); i < n; ++i) {
        out += Strings(i);
        out += "\r\n";
    }
    return out;
}

void TStrings::SetText(const std::string& text) {
    UpdateScope scope(*this);
    Clear();
    size_t pos = 0;
    const size_t n = text.size();
    while (pos < n) {
        size_t end = pos;
        while (end < n && text[end] != '\r' && text[end] != '\n')
            ++end;
        Add(text.substr(pos, end - pos));
        pos = end;
        if (pos < n && text[pos] == '\r') ++pos;
        if (pos < n && text[pos] == '\n') ++pos;
    }
}

std::string TStrings::CommaText() const {
    const int n = Count();
    if (n == 1 && Strings(0).empty()) return "\"\"";
    std::string out;
    for (int i = 0; i < n; ++i) {
        const std::string s = Strings(i);
        if (i > 0) out += ',';
        out += NeedsQuotes(s) ? AnsiQuotedStr(s, '"') : s;
    }
    return out;
}

void TStrings::SetCommaText(const std::string& text) {
    UpdateScope scope(*this);
    Clear();
    size_t p = 0;
    const size_t n = text.size();
    while (p < n && IsBlank(text[p]))
        ++p;
    while (p < n) {
        std::string item;
        if (text[p] == '"') {
            item = AnsiExtractQuotedStr(text, p, '"');
        } else {
            const size_t start = p;
            while (p<n&& static_cast<unsigned char>(text[p])> ' ' && text[p] != ',')
                ++p;
            item = text.substr(start, p - start);
        }
        Add(item);
        while (p < n && IsBlank(text[p]))
            ++p;
        if (p < n && text[p] == ',') {
            ++p;
            if (p >= n) Add(std::string()); // a trailing comma ends with an empty item
            while (p < n && IsBlank(text[p]))
                ++p;
        }
    }
}

void TStrings::BeginUpdate() {
    if (fUpdateCount == 0) SetUpdateState(true);
    ++fUpdateCount;
}

void TStrings::EndUpdate() {
    if (fUpdateCount == 0) return;
    --fUpdateCount;
    if (fUpdateCount == 0) SetUpdateState(false);
}

bool TStrings::Equals(const TStrings& other) const {
    const int n = Count();
    if (n != other.Count()) return false;
    for (int i = 0; i < n; ++i)
        if (Strings(i) != other.Strings(i)) return false;
    return true;
}

void TStrings::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TStrings*>(source);
    if (other == nullptr) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this) return;
    UpdateScope scope(*this);
    Clear();
    AddStrings(*other);
}

void TStrings::LoadFromStream(TStream& stream) {
    const int64_t size = stream.Size() - stream.Position();
    std::string data(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
    if (!data.empty())
        data.resize(static_cast<size_t>(stream.Read(data.data(), static_cast<int64_t>(data.size()))));
    SetText(data);
}

void TStrings::SaveToStream(TStream& stream) const {
    const std::string text = Text();
    stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TStrings::LoadFromFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw EFOpenError(Format(SFOpenError, fileName));
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SetText(data);
}

void TStrings::SaveToFile(const std::string& fileName) const {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) throw EFCreateError(Format(SFCreateError, fileName));
    const std::string text = Text();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw EWriteError(SWriteError);
}

int TStrings::CompareStrings(const std::string& s1, const std::string& s2) const {
    return AnsiCompareText(s1, s2);
}

void TStrings::SetUpdateState(bool /*updating*/) {}

// ---- TStringList

TStringList::~TStringList() {
    // No change events while going away.
    fOnChange = nullptr;
    fOnChanging = nullptr;
}

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) Error(SListIndexError, index);
}

std::string TStringList::Strings(int index) const {
    CheckIndex(index);
    return fList[static_cast<size_t>(index)].s;
}

void TStringList::SetStrings(int index, const std::string& s) {
    if (fSorted) Error(SSortedListError, 0);
    CheckIndex(index);
    Changing();
    fList[static_cast<size_t>(index)].s = s;
    Changed();
}

TObject* TStringList::Objects(int index) const {
    CheckIndex(index);
    return fList[static_cast<size_t>(index)].object;
}

void TStringList::SetObjects(int index, TObject* object) {
    CheckIndex(index);
    Changing();
    fList[static_cast<size_t>(index)].object = object;
    Changed();
}

void TStringList::Insert(int index, const std::string& s) {
    if (fSorted) Error(SSortedListError, 0);
    if (index < 0 || index > Count()) Error(SListIndexError, index);
    InsertItem(index, s, nullptr);
}

void TStringList::InsertItem(int index, const std::string& s, TObject* object) {
    Changing();
    fList.insert(fList.begin() + index, Item{s, object});
    Changed();
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    Changing();
    fList.erase(fList.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (fList.empty()) return;
    Changing();
    fList.clear();
    Changed();
}

int TStringList::Add(const std::string& s) {
    return AddObject(s, nullptr);
}

int TStringList::AddObject(const std::string& s, TObject* object) {
    int index = Count();
    if (fSorted && Find(s, index)) {
        switch (fDuplicates) {
        case dupIgnore:
            return index;
        case dupError:
            Error(SDuplicateString, 0);
        case dupAccept:
            break;
        }
    }
    InsertItem(index, s, object);
    return index;
}

void TStringList::Exchange(int index1, int index2) {
    CheckIndex(index1);
    CheckIndex(index2);
    Changing();
    std::swap(fList[static_cast<size_t>(index1)], fList[static_cast<size_t>(index2)]);
    Changed();
}

int TStringList::IndexOf(const std::string& s) const {
    if (!fSorted) return TStrings::IndexOf(s);
    int index = 0;
    return Find(s, index) ? index : -1;
}

bool TStringList::Find(const std::string& s, int& index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const int c = CompareStrings(fList[static_cast<size_t>(mid)].s, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) found = true;
        }
    }
    index = lo; // the first match, or the insertion point
    return found;
}

void TStringList::Sort() {
    CustomSort([](TStringList* list, int i1, int i2) {
        return list->CompareStrings(list->fList[static_cast<size_t>(i1)].s,
                                    list->fList[static_cast<size_t>(i2)].s);
    });
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
    if (Count() <= 1) return;
    Changing();
    // Sort a permutation so compare sees the list's own indexes, then apply it.
    std::vector<int> order(fList.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(this, a, b) < 0; });
    std::vector<Item> sorted;
    sorted.reserve(fList.size());
    for (int i : order)
        sorted.push_back(std::move(fList[static_cast<size_t>(i)]));
    fList.swap(sorted);
    Changed();
}

void TStringList::SetSorted(bool value) {
    if (value == fSorted) return;
    if (value) Sort();
    fSorted = value;
}

void TStringList::SetCaseSensitive(bool value) {
    if (value == fCaseSensitive) return;
    fCaseSensitive = value;
    if (fSorted) Sort();
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && fOnChange) fOnChange(this);
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && fOnChanging) fOnChanging(this);
}

int TStringList::CompareStrings(const std::string& s1, const std::string& s2) const {
    return fCaseSensitive ? AnsiCompareStr(s1, s2) : AnsiCompareText(s1, s2);
}

void TStringList::SetUpdateState(bool updating) {
    if (updating)
        Changing();
    else
        Changed();
}

} // namespace host

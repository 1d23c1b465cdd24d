// TStrings (abstract list of lines with objects) and TStringList (the concrete, sortable list).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/Object.h"

namespace host {

class TStream;

enum TDuplicates : uint8_t { dupIgnore, dupAccept, dupError };

// Lines plus one (not owned) object pointer per line. Name=value lines: the name is the text
// before the first '='. Comparisons ignore case unless the list is CaseSensitive (ASCII case
// folding, then byte order).
class TStrings : public TPersistent {
public:
    // --- primitives a descendant implements
    virtual int Count() const = 0;
    virtual std::string Strings(int index) const = 0;
    virtual void SetStrings(int index, const std::string& s);
    virtual TObject* Objects(int index) const;
    virtual void SetObjects(int index, TObject* object);
    virtual void Insert(int index, const std::string& s) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;

    // --- built on the primitives
    // Appends s (a sorted TStringList inserts it in order); returns its index.
    virtual int Add(const std::string& s);
    virtual int AddObject(const std::string& s, TObject* object);
    void InsertObject(int index, const std::string& s, TObject* object);
    void AddStrings(const TStrings& strings);
    void Append(const std::string& s) { Add(s); }
    virtual void Move(int curIndex, int newIndex);
    virtual void Exchange(int index1, int index2);
    // First line equal to s (CompareStrings), or -1.
    virtual int IndexOf(const std::string& s) const;
    int IndexOfObject(const TObject* object) const;
    // First line that has a '=' and whose name equals name, or -1.
    virtual int IndexOfName(const std::string& name) const;
    // Text before the first '=' of line i ('' when the line has none).
    std::string Names(int index) const;
    // Text after the first '=' of line i.
    std::string ValueFromIndex(int index) const;
    // Text after the first '=' of the line named name ('' when none).
    std::string Values(const std::string& name) const;
    // Non-empty value: replaces or appends "name=value"; empty value: deletes the line.
    void SetValues(const std::string& name, const std::string& value);

    // Lines each followed by CR LF; setting splits at CR, LF or CR LF.
    virtual std::string Text() const;
    virtual void SetText(const std::string& text);
    // Comma-separated items, quoted with '"' when they hold a char <= ' ', '"' or ','.
    std::string CommaText() const;
    // Clears and parses: quoted items, unquoted items end at whitespace or ','; consecutive
    // commas give empty items, and so does a trailing comma.
    void SetCommaText(const std::string& text);

    // Update brackets: while UpdateCount > 0 modifications fire no change events; the first
    // BeginUpdate and the last EndUpdate call SetUpdateState(true / false).
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return fUpdateCount; }

    // Same count and same lines (exact comparison).
    bool Equals(const TStrings& other) const;
    void Assign(TPersistent* source) override;

    void LoadFromStream(TStream& stream); // the rest of the stream, as Text
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const std::string& fileName);     // EFOpenError "Cannot open file %s"
    void SaveToFile(const std::string& fileName) const; // EFCreateError "Cannot create file %s"

protected:
    // Compares two lines the way IndexOf does; the base ignores case.
    virtual int CompareStrings(const std::string& s1, const std::string& s2) const;
    // Called with true by the first BeginUpdate and false by the last EndUpdate; base nothing.
    virtual void SetUpdateState(bool updating);
    // Raises EStringListError with msg formatted with index.
    [[noreturn]] static void Error(const char* msg, int index);

private:
    int fUpdateCount = 0;
};

// String comparison for TStringList::CustomSort (negative, 0, positive).
class TStringList;
using TStringListSortCompare = std::function<int(TStringList* list, int index1, int index2)>;

class TStringList : public TStrings {
public:
    TStringList() = default;
    ~TStringList() override;

    int Count() const override { return static_cast<int>(fList.size()); }
    std::string Strings(int index) const override;
    // Raises "Operation not allowed on sorted list" when Sorted.
    void SetStrings(int index, const std::string& s) override;
    TObject* Objects(int index) const override;
    void SetObjects(int index, TObject* object) override;
    // Raises "Operation not allowed on sorted list" when Sorted.
    void Insert(int index, const std::string& s) override;
    void Delete(int index) override;
    void Clear() override;
    // Sorted: inserts at the search position, honouring Duplicates; else appends.
    int Add(const std::string& s) override;
    int AddObject(const std::string& s, TObject* object) override;
    void Exchange(int index1, int index2) override;
    // Sorted: binary search; else linear.
    int IndexOf(const std::string& s) const override;

    // Binary search of a sorted list: true and the first match's index, or false and the
    // index where s would be inserted.
    virtual bool Find(const std::string& s, int& index) const;
    virtual void Sort();
    virtual void CustomSort(const TStringListSortCompare& compare);

    bool Sorted() const { return fSorted; }
    // Setting true sorts the list.
    void SetSorted(bool value);
    TDuplicates Duplicates() const { return fDuplicates; }
    void SetDuplicates(TDuplicates value) { fDuplicates = value; }
    bool CaseSensitive() const { return fCaseSensitive; }
    // Changing it re-sorts a sorted list.
    void SetCaseSensitive(bool value);

    const TNotifyEvent& OnChange() const { return fOnChange; }
    void SetOnChange(TNotifyEvent handler) { fOnChange = std::move(handler); }
    const TNotifyEvent& OnChanging() const { return fOnChanging; }
    void SetOnChanging(TNotifyEvent handler) { fOnChanging = std::move(handler); }

protected:
    // Fire OnChange / OnChanging unless inside an update bracket.
    virtual void Changed();
    virtual void Changing();
    int CompareStrings(const std::string& s1, const std::string& s2) const override;
    void SetUpdateState(bool updating) override;
    // Inserts without the sorted check (used by Add).
    virtual void InsertItem(int index, const std::string& s, TObject* object);

private:
    struct Item {
        std::string s;
        TObject* object = nullptr;
    };
    void CheckIndex(int index) const;

    std::vector<Item> fList;
    bool fSorted = false;
    bool fCaseSensitive = false;
    TDuplicates fDuplicates = dupIgnore;
    TNotifyEvent fOnChange;
    TNotifyEvent fOnChanging;
};

} // namespace host

// TList: a list of untyped pointers with the classic index checks.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/Object.h"

namespace host {

enum TListNotification : uint8_t { lnAdded, lnExtracted, lnDeleted };

// Pointers are not owned. Every index error raises EListError "List index out of bounds (%d)";
// capacity and count errors say "List capacity out of bounds (%d)" / "List count out of bounds (%d)".
class TList : public TObject {
public:
    TList() = default;
    ~TList() override;

    int Count() const { return static_cast<int>(fItems.size()); }
    // Grows with nullptr entries or shrinks (a negative count raises).
    void SetCount(int count);
    int Capacity() const { return static_cast<int>(fItems.capacity()); }
    // Reserves room; below Count raises.
    void SetCapacity(int capacity);

    void* Get(int index) const;
    void Put(int index, void* item);
    // Appends item; returns its index.
    int Add(void* item);
    void Insert(int index, void* item);
    void Delete(int index);
    // Index of the first occurrence of item, or -1.
    int IndexOf(const void* item) const;
    // Deletes the first occurrence of item; returns its former index or -1.
    int Remove(const void* item);
    // Removes item without a lnDeleted notification; returns it (nullptr when absent).
    void* Extract(void* item);
    // Removes every nullptr entry.
    void Pack();
    void Clear();
    void Exchange(int index1, int index2);
    void Move(int curIndex, int newIndex);
    void* First() const;
    void* Last() const;
    // Sorts with compare(a, b) < 0 meaning a before b (stable).
    void Sort(const std::function<int(void*, void*)>& compare);
    // The underlying array (valid until the next change).
    void* const* List() const { return fItems.data(); }

protected:
    // Called after an item was added and before one is extracted or deleted; base nothing.
    virtual void Notify(void* item, TListNotification action);

private:
    void CheckIndex(int index) const;
    std::vector<void*> fItems;
};

} // namespace host

// TContainer, an owning list of host objects, and TBaseObject, an object that registers itself
// in a container for as long as it lives.
#pragma once

#include "host/List.h"
#include "host/Object.h"

namespace corvane {

// An owning list of objects on top of the host pointer list. Entries may be null. Objects are
// freed with delete; the container frees what it still holds when it is destroyed.
// Indexes count from 0; index errors raise host::EListError as the host list does.
class TContainer : public host::TObject {
public:
    TContainer() = default;
    // FreeAll, then the list goes.
    ~TContainer() override;

    // Appends item; returns its index.
    virtual int Insert(host::TObject* item);

    // The item at index, or null when index is out of range.
    host::TObject* At(int index) const;
    // The item at index; an out-of-range index raises host::EListError.
    host::TObject* Get(int index) const;
    void AtInsert(int index, host::TObject* item);
    void AtPut(int index, host::TObject* item);
    void Put(int index, host::TObject* item);
    // Removes the entry without freeing the object.
    void AtDelete(int index);
    // Removes the entry and frees its object, when At(index) is not null.
    void AtFree(int index);
    // Removes the first entry equal to item, if any, without freeing it.
    void Delete(host::TObject* item);
    // Empty the list without freeing the objects.
    void Clear();
    void DeleteAll();
    // Frees every object, from the last entry to the first (null entries skipped; an object
    // held in several entries is freed once), then empties the list.
    void FreeAll();
    // Frees item when it is not null.
    void FreeItem(host::TObject* item);
    // Index of the first entry equal to item, -1 when absent.
    int IndexOf(const host::TObject* item) const;

    int GetCount() const { return fList.Count(); }
    int GetCapacity() const { return fList.Capacity(); }
    void SetCapacity(int capacity) { fList.SetCapacity(capacity); }
    // Removes the null entries.
    void Pack() { fList.Pack(); }

    // Raises host::EListError "Container index out of range"; the arguments are not used.
    [[noreturn]] void Error(int code, int info) const;

private:
    host::TList fList;
};

// An object with an owner (any object, may be null) that, given a container, registers itself
// there on creation and leaves it when destroyed; so a container's FreeAll may free it.
class TBaseObject : public host::TObject {
public:
    TBaseObject(host::TObject* owner, TContainer* container);
    ~TBaseObject() override;

    host::TObject* Owner() const { return fOwner; }
    TContainer* Container() const { return fContainer; }

private:
    host::TObject* fOwner;
    TContainer* fContainer;
};

} // namespace corvane

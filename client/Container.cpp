// TContainer and TBaseObject.
#include "client/Container.h"

#include "host/Exceptions.h"

namespace corvane {

TContainer::~TContainer() {
    FreeAll();
}

int TContainer::Insert(host::TObject* item) {
    return fList.Add(item);
}

host::TObject* TContainer::At(int index) const {
    if (index < 0 || index >= fList.Count()) return nullptr;
    return static_cast<host::TObject*>(fList.Get(index));
}

host::TObject* TContainer::Get(int index) const {
    return static_cast<host::TObject*>(fList.Get(index));
}

void TContainer::AtInsert(int index, host::TObject* item) {
    fList.Insert(index, item);
}

void TContainer::AtPut(int index, host::TObject* item) {
    fList.Put(index, item);
}

void TContainer::Put(int index, host::TObject* item) {
    fList.Put(index, item);
}

void TContainer::AtDelete(int index) {
    fList.Delete(index);
}

void TContainer::AtFree(int index) {
    host::TObject* item = At(index);
    if (!item) return;
    fList.Delete(index);
    FreeItem(item);
}

void TContainer::Delete(host::TObject* item) {
    const int index = fList.IndexOf(item);
    if (index >= 0) fList.Delete(index);
}

void TContainer::Clear() {
    fList.Clear();
}

void TContainer::DeleteAll() {
    fList.Clear();
}

void TContainer::FreeAll() {
    // Freeing an object may change the list (a TBaseObject leaves its container), so the index
    // is re-checked against the count on each step. Every entry holding the object is cleared
    // before it is freed, so it is freed once and never seen again.
    for (int i = fList.Count() - 1; i >= 0; --i) {
        if (i >= fList.Count()) continue;
        auto* item = static_cast<host::TObject*>(fList.Get(i));
        if (!item) continue;
        for (int j = i; j >= 0; --j)
            if (fList.Get(j) == item) fList.Put(j, nullptr);
        FreeItem(item);
    }
    fList.Clear();
}

void TContainer::FreeItem(host::TObject* item) {
    delete item;
}

int TContainer::IndexOf(const host::TObject* item) const {
    return fList.IndexOf(item);
}

void TContainer::Error(int /*code*/, int /*info*/) const {
    throw host::EListError("Container index out of range");
}

TBaseObject::TBaseObject(host::TObject* owner, TContainer* container) : fOwner(owner), fContainer(container) {
    if (fContainer) fContainer->Insert(this);
}

TBaseObject::~TBaseObject() {
    if (fContainer) fContainer->Delete(this);
}

} // namespace corvane

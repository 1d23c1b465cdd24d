// TCollection and TCollectionItem: insertion, removal, IDs, update brackets, assignment.
#include "host/Collection.h"

#include <algorithm>

#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

// ---- TCollectionItem

TCollectionItem::TCollectionItem(TCollection* collection) {
    SetCollection(collection);
}

TCollectionItem::~TCollectionItem() {
    // Only items that were not created with new still belong to a collection here.
    if (fCollection != nullptr) {
        fDestroying = true;
        fCollection->RemoveItem(this);
    }
}

void TCollectionItem::BeforeDestruction() {
    fDestroying = true;
    SetCollection(nullptr);
}

void TCollectionItem::SetCollection(TCollection* collection) {
    if (collection == fCollection) return;
    if (fCollection != nullptr) fCollection->RemoveItem(this);
    if (collection != nullptr) collection->InsertItem(this);
}

int TCollectionItem::Index() const {
    if (fCollection == nullptr) return -1;
    const auto& items = fCollection->fItems;
    auto it = std::find(items.begin(), items.end(), this);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void TCollectionItem::SetIndex(int index) {
    const int current = Index();
    if (current < 0 || current == index) return;
    auto& items = fCollection->fItems;
    if (index < 0 || index >= static_cast<int>(items.size()))
        throw EListError(Format(SListIndexError, index));
    items.erase(items.begin() + current);
    items.insert(items.begin() + index, this);
    Changed(true);
}

std::string TCollectionItem::DisplayName() const {
    return ClassName();
}

void TCollectionItem::SetDisplayName(const std::string& /*value*/) {
    Changed(false);
}

std::string TCollectionItem::GetNamePath() const {
    if (fCollection == nullptr) return ClassName();
    return fCollection->GetNamePath() + "[" + std::to_string(Index()) + "]";
}

TPersistent* TCollectionItem::GetOwner() const {
    return fCollection;
}

void TCollectionItem::Changed(bool allItems) {
    if (fCollection != nullptr && fCollection->fUpdateCount == 0)
        fCollection->Update(allItems ? nullptr : this);
}

// ---- TCollection

TCollection::TCollection(TCollectionItemClass itemClass) : fItemClass(std::move(itemClass)) {}

TCollection::~TCollection() {
    // Items left when the collection was not deleted through delete (stack or member object).
    fUpdateCount = 1;
    while (!fItems.empty())
        delete fItems.back();
}

void TCollection::BeforeDestruction() {
    fUpdateCount = 1; // no Update calls while going away
    while (!fItems.empty())
        delete fItems.back();
}

TCollectionItem* TCollection::Add() {
    if (!fItemClass) throw EInvalidOperation(Format(SAssignError, "nil", ClassName()));
    TCollectionItem* item = fItemClass(this);
    if (item != nullptr && item->fCollection != this) item->SetCollection(this);
    return item;
}

TCollectionItem* TCollection::Insert(int index) {
    if (index < 0 || index > Count()) throw EListError(Format(SListIndexError, index));
    TCollectionItem* item = Add();
    item->SetIndex(index);
    return item;
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, index));
    return fItems[static_cast<size_t>(index)];
}

void TCollection::SetItems(int index, TPersistent* source) {
    Items(index)->Assign(source);
}

void TCollection::Delete(int index) {
    delete Items(index);
}

void TCollection::Clear() {
    if (fItems.empty()) return;
    BeginUpdate();
    try {
        while (!fItems.empty())
            delete fItems.back();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const {
    for (TCollectionItem* item : fItems)
        if (item->fID == id) return item;
    return nullptr;
}

void TCollection::BeginUpdate() {
    ++fUpdateCount;
}

void TCollection::EndUpdate() {
    if (fUpdateCount > 0) --fUpdateCount;
    Changed();
}

void TCollection::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TCollection*>(source);
    if (other == nullptr) {
        TPersistent::Assign(source);
        return;
    }
    if (other == this) return;
    BeginUpdate();
    try {
        Clear();
        for (TCollectionItem* item : other->fItems)
            Add()->Assign(item);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

std::string TCollection::GetNamePath() const {
    TPersistent* owner = GetOwner();
    if (owner == nullptr || fPropName.empty()) return ClassName();
    std::string path = owner->GetNamePath();
    if (path.empty()) return ClassName();
    return path + "." + fPropName;
}

void TCollection::Changed() {
    if (fUpdateCount == 0) Update(nullptr);
}

void TCollection::Update(TCollectionItem* /*item*/) {}

void TCollection::Notify(TCollectionItem* /*item*/, TCollectionNotification /*action*/) {}

void TCollection::SetItemName(TCollectionItem* /*item*/) {}

void TCollection::InsertItem(TCollectionItem* item) {
    fItems.push_back(item);
    item->fCollection = this;
    item->fID = fNextID++;
    SetItemName(item);
    Notify(item, cnAdded);
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
    Notify(item, item->fDestroying ? cnDeleting : cnExtracting);
    fItems.erase(std::remove(fItems.begin(), fItems.end(), item), fItems.end());
    item->fCollection = nullptr;
    Changed();
}

} // namespace host

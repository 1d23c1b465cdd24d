// TCollection / TCollectionItem / TOwnedCollection: ordered, owned, numbered items.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/Object.h"

namespace host {

class TCollection;

enum TCollectionNotification : uint8_t { cnAdded, cnExtracting, cnDeleting };

// Item of a collection; the collection owns it. Deleting an item removes it from its collection.
class TCollectionItem : public TPersistent {
public:
    // Appends the new item to collection (when given): ID assigned, SetItemName, Notify, Changed.
    explicit TCollectionItem(TCollection* collection);
    ~TCollectionItem() override;
    void BeforeDestruction() override;

    TCollection* Collection() const { return fCollection; }
    // Moves the item to another collection (nullptr: takes it out; the caller then owns it).
    virtual void SetCollection(TCollection* collection);
    // Position in the collection, -1 when in none.
    int Index() const;
    // Moves the item to position index and calls Changed(true).
    virtual void SetIndex(int index);
    // Unique within the collection, never reused; assigned on insertion.
    int ID() const { return fID; }
    // Text shown by designers; the base gives the class name.
    virtual std::string DisplayName() const;
    virtual void SetDisplayName(const std::string& value);
    std::string GetNamePath() const override;
    TPersistent* GetOwner() const override;

protected:
    // Tells the collection that this item (allItems false) or the whole list changed:
    // Collection->Update(allItems ? nullptr : this), unless inside an update bracket.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* fCollection = nullptr;
    int fID = 0;
    bool fDestroying = false; // removal while being deleted notifies cnDeleting
};

// Creates one item of the collection's item class inside collection.
using TCollectionItemClass = std::function<TCollectionItem*(TCollection* collection)>;

template <class T>
TCollectionItemClass ItemClassOf() {
    return [](TCollection* c) -> TCollectionItem* { return new T(c); };
}

class TCollection : public TPersistent {
public:
    explicit TCollection(TCollectionItemClass itemClass);
    ~TCollection() override;
    // Deletes the items (no Update calls) while descendants' Notify still runs.
    void BeforeDestruction() override;

    // Creates a new item of the item class at the end and returns it.
    TCollectionItem* Add();
    // Creates a new item and moves it to position index.
    TCollectionItem* Insert(int index);
    // Item i; EListError "List index out of bounds (%d)" when out of range.
    TCollectionItem* Items(int index) const;
    // Items(index)->Assign(source).
    void SetItems(int index, TPersistent* source);
    int Count() const { return static_cast<int>(fItems.size()); }
    // Deletes item i.
    void Delete(int index);
    // Deletes every item, last first, inside an update bracket.
    void Clear();
    // The item with that ID, or nullptr.
    TCollectionItem* FindItemID(int id) const;

    // Update brackets: Changed() reports to Update(nullptr) only outside them; EndUpdate of the
    // outermost bracket always calls Changed().
    virtual void BeginUpdate();
    virtual void EndUpdate();
    int UpdateCount() const { return fUpdateCount; }

    // Another collection: Clear, then Add + Assign per source item, inside an update bracket.
    void Assign(TPersistent* source) override;
    // "OwnerPath.PropName" when the owner has a path and PropName is set, else the class name.
    std::string GetNamePath() const override;
    // The name of the owner's property that holds this collection (e.g. "FieldDefs").
    const std::string& PropName() const { return fPropName; }
    void SetPropName(const std::string& name) { fPropName = name; }
    const TCollectionItemClass& ItemClass() const { return fItemClass; }

protected:
    // Calls Update(nullptr) unless inside an update bracket.
    void Changed();
    // Where descendants react to changes (item: that item changed; nullptr: the list); base none.
    virtual void Update(TCollectionItem* item);
    // Called on insertion (cnAdded) and before removal (cnExtracting / cnDeleting).
    virtual void Notify(TCollectionItem* item, TCollectionNotification action);
    // Gives a new item a name (def collections); base: nothing.
    virtual void SetItemName(TCollectionItem* item);
    // The ID the next inserted item gets.
    int NextID() const { return fNextID; }

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);

    TCollectionItemClass fItemClass;
    std::vector<TCollectionItem*> fItems; // owned
    int fUpdateCount = 0;
    int fNextID = 0;
    std::string fPropName;
};

// A collection with an owner: GetOwner() returns it (name paths, designers).
class TOwnedCollection : public TCollection {
public:
    TOwnedCollection(TPersistent* owner, TCollectionItemClass itemClass)
        : TCollection(std::move(itemClass)), fOwner(owner) {}
    TPersistent* GetOwner() const override { return fOwner; }

private:
    TPersistent* fOwner;
};

} // namespace host

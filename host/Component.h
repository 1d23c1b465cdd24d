// TComponent: ownership, names, component state, notifications and free notifications.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/Object.h"
#include "host/Sets.h"

namespace host {

enum TOperation : uint8_t { opInsert, opRemove };

enum TComponentStateFlag : uint8_t {
    csLoading,
    csReading,
    csWriting,
    csDestroying,
    csDesigning,
    csAncestor,
    csUpdating,
    csFixups,
    csFreeNotification,
    csInline,
    csDesignInstance
};
using TComponentState = TSet<TComponentStateFlag>;

// A component is owned by its Owner (which deletes it) and may own other components.
//
// Destruction (through `delete`, the owner, or std::unique_ptr) runs, while the component still
// has its full dynamic type: (1) csDestroying on itself and everything it owns; (2) every free-
// notification partner gets Notification(this, opRemove), last registered first; (3) owned
// components are deleted, last created first, without notifying the owner's other components;
// (4) the component leaves its owner, whose Notification(this, opRemove) reaches the remaining
// siblings. Descendants that must tear down before their owned components go override
// BeforeDestruction() and call TComponent::BeforeDestruction() last. A component that lives on
// the stack gets the same sequence from ~TComponent (then with only the base type left).
class TComponent : public TPersistent {
public:
    // Inserts the new component into owner (when given): unique name check, csDesigning
    // inherited, then owner->Notification(this, opInsert).
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    void BeforeDestruction() override;

    TComponent* Owner() const { return fOwner; }
    const std::string& Name() const { return fName; }
    // Renames; the name must be empty or a valid identifier ("'%s' is not a valid component
    // name") and unique among the owner's components ignoring case (EComponentError
    // "A component named %s already exists").
    virtual void SetName(const std::string& name);
    intptr_t Tag() const { return fTag; }
    void SetTag(intptr_t tag) { fTag = tag; }

    int ComponentCount() const { return static_cast<int>(fComponents.size()); }
    // Owned component i (EListError "List index out of bounds (%d)" when out of range).
    TComponent* Components(int index) const;
    // Position in the owner's list, -1 without owner.
    int ComponentIndex() const;
    // Owned component with that name (case-insensitive), or nullptr.
    TComponent* FindComponent(const std::string& name) const;

    // Takes component into this owner's list (leaving its previous owner first).
    void InsertComponent(TComponent* component);
    // Takes component out of this owner's list, broadcasting Notification(component, opRemove).
    void RemoveComponent(TComponent* component);
    // Deletes every owned component, last first.
    void DestroyComponents();

    TComponentState ComponentState() const { return fComponentState; }
    // Sets or clears one state flag; for the streaming system, designers and tests.
    void SetComponentStateFlag(TComponentStateFlag flag, bool on);
    // csDesigning on this component (and, by default, on everything it owns).
    void SetDesigning(bool value, bool setChildren = true);
    // Sets csDestroying on this component and recursively on the owned ones.
    void Destroying();

    // Asks for Notification(this, opRemove) on this component when component is destroyed
    // (and vice versa), for a component with a different owner. Marks csFreeNotification.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // Called after the component and its siblings were read from a stream; clears csLoading.
    // Descendants apply streamed values here (Active, Connected).
    virtual void Loaded();

    // The parent in a streamed hierarchy (fields: their dataset); base: none.
    virtual bool HasParent() const { return false; }
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent* /*parent*/) {}
    // Calls proc for each child written with this component in a stream; base: none.
    virtual void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root);

    // Design position (Left in the low 16 bits, Top in the high 16 bits).
    int32_t DesignInfo() const { return fDesignInfo; }
    void SetDesignInfo(int32_t value) { fDesignInfo = value; }

    TPersistent* GetOwner() const override { return fOwner; }
    std::string GetNamePath() const override { return fName; }

protected:
    // Told about insertions (opInsert) and removals (opRemove) of components. The base forgets
    // a removed component from the free-notification list, then forwards the call to every
    // owned component, last first.
    virtual void Notification(TComponent* component, TOperation operation);
    // Checks a new name; the base raises the duplicate/invalid name errors.
    virtual void ValidateRename(TComponent* component, const std::string& currentName,
                                const std::string& newName);

private:
    void RemoveNotification(TComponent* component);
    void RunDestruction();

    TComponent* fOwner = nullptr;
    std::string fName;
    intptr_t fTag = 0;
    int32_t fDesignInfo = 0;
    TComponentState fComponentState;
    std::vector<TComponent*> fComponents;   // owned, in creation order
    std::vector<TComponent*> fFreeNotifies; // partners, in registration order
    bool fDestructionDone = false;
};

} // namespace host

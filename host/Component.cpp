// TComponent: ownership, naming, state flags and the notification protocol.
#include "host/Component.h"

#include <algorithm>

#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

TComponent::TComponent(TComponent* owner) {
    if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    // Reached without BeforeDestruction only for components not created with new (stack,
    // members); run the same sequence with what is left of the object.
    if (!fDestructionDone) RunDestruction();
}

void TComponent::BeforeDestruction() {
    if (!fDestructionDone) RunDestruction();
}

void TComponent::RunDestruction() {
    fDestructionDone = true;
    Destroying();
    // (2) free-notification partners, last registered first.
    while (!fFreeNotifies.empty()) {
        TComponent* partner = fFreeNotifies.back();
        fFreeNotifies.pop_back();
        // The partner forgets us too, so it does not notify us back later.
        auto& theirs = partner->fFreeNotifies;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        partner->Notification(this, opRemove);
    }
    // (3) owned components, last created first.
    DestroyComponents();
    // (4) leave the owner; it tells the remaining siblings.
    if (fOwner != nullptr) fOwner->RemoveComponent(this);
}

void TComponent::Destroying() {
    if (fComponentState.Contains(csDestroying)) return;
    fComponentState.Include(csDestroying);
    for (TComponent* c : fComponents)
        c->Destroying();
}

void TComponent::DestroyComponents() {
    while (!fComponents.empty()) {
        TComponent* c = fComponents.back();
        fComponents.pop_back(); // taken out without notifying the siblings
        c->fOwner = nullptr;
        delete c;
    }
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) throw EListError(Format(SListIndexError, index));
    return fComponents[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const {
    if (fOwner == nullptr) return -1;
    const auto& list = fOwner->fComponents;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : fComponents)
        if (SameText(c->fName, name)) return c;
    return nullptr;
}

void TComponent::ValidateRename(TComponent* component, const std::string& currentName,
                                const std::string& newName) {
    if (component != nullptr && !SameText(currentName, newName) && !newName.empty() &&
        FindComponent(newName) != nullptr)
        throw EComponentError(Format(SDuplicateComponentName, newName));
}

void TComponent::SetName(const std::string& name) {
    if (fName == name) return;
    if (!name.empty() && !IsValidIdent(name)) throw EComponentError(Format(SInvalidName, name));
    if (fOwner != nullptr)
        fOwner->ValidateRename(this, fName, name);
    else
        ValidateRename(nullptr, fName, name);
    fName = name;
}

void TComponent::InsertComponent(TComponent* component) {
    if (component == nullptr || component->fOwner == this) return;
    ValidateRename(component, std::string(), component->fName);
    if (component->fOwner != nullptr) component->fOwner->RemoveComponent(component);
    fComponents.push_back(component);
    component->fOwner = this;
    if (fComponentState.Contains(csDesigning)) component->SetDesigning(true);
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    if (component == nullptr || component->fOwner != this) return;
    // The owner's other components hear about it unless the owner itself is going away.
    if (!fComponentState.Contains(csDestroying)) Notification(component, opRemove);
    fComponents.erase(std::remove(fComponents.begin(), fComponents.end(), component), fComponents.end());
    component->fOwner = nullptr;
}

void TComponent::SetComponentStateFlag(TComponentStateFlag flag, bool on) {
    if (on)
        fComponentState.Include(flag);
    else
        fComponentState.Exclude(flag);
}

void TComponent::SetDesigning(bool value, bool setChildren) {
    SetComponentStateFlag(csDesigning, value);
    if (setChildren)
        for (TComponent* c : fComponents)
            c->SetDesigning(value, true);
}

void TComponent::FreeNotification(TComponent* component) {
    if (component == nullptr || component == this) return;
    if (fOwner == nullptr || component->fOwner != fOwner) {
        if (std::find(fFreeNotifies.begin(), fFreeNotifies.end(), component) == fFreeNotifies.end())
            fFreeNotifies.push_back(component);
        auto& theirs = component->fFreeNotifies;
        if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
    }
    fComponentState.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (component == nullptr) return;
    RemoveNotification(component);
    component->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* component) {
    fFreeNotifies.erase(std::remove(fFreeNotifies.begin(), fFreeNotifies.end(), component),
                        fFreeNotifies.end());
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component != nullptr) RemoveNotification(component);
    // Last first; an owned component may go away while it is told, so re-check the bounds.
    for (size_t i = fComponents.size(); i > 0; --i) {
        if (i - 1 < fComponents.size()) fComponents[i - 1]->Notification(component, operation);
    }
}

void TComponent::Loaded() {
    fComponentState.Exclude(csLoading);
}

void TComponent::GetChildren(const std::function<void(TComponent*)>& /*proc*/, TComponent* /*root*/) {}

} // namespace host

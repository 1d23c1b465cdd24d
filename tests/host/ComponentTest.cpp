#include "host/Component.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/Exceptions.h"

namespace {

using host::TComponent;

// Records every notification it receives as "receiver<-op:subject" into a shared log.
class Recorder : public TComponent {
public:
    Recorder(TComponent* owner, const std::string& name, std::vector<std::string>* log)
        : TComponent(owner), fLog(log) {
        SetName(name);
    }
    ~Recorder() override {
        if (fLog) fLog->push_back("~" + fMyName);
    }
    void SetName(const std::string& name) override {
        TComponent::SetName(name);
        fMyName = name;
    }
    std::vector<TComponent*> removed;
    std::string seenClass; // class of the last removed component, as seen while notified

protected:
    void Notification(TComponent* component, host::TOperation operation) override {
        TComponent::Notification(component, operation);
        if (fLog) {
            auto* r = dynamic_cast<Recorder*>(component);
            std::string subject = r ? r->fMyName : component->Name();
            fLog->push_back(fMyName + (operation == host::opInsert ? "<-ins:" : "<-rem:") + subject);
        }
        if (operation == host::opRemove) {
            removed.push_back(component);
            seenClass = component->ClassName();
        }
    }

private:
    std::vector<std::string>* fLog;
    std::string fMyName;
};

TEST(ComponentOwnership, OwnerDeletesOwnedComponentsLastCreatedFirst) {
    std::vector<std::string> log;
    auto* owner = new Recorder(nullptr, "Owner", &log);
    new Recorder(owner, "A", &log);
    new Recorder(owner, "B", &log);
    log.clear();
    delete owner;
    // Owned components go without notifying their siblings; B (last created) first.
    std::vector<std::string> expected = {"~B", "~A", "~Owner"};
    EXPECT_EQ(log, expected);
}

TEST(ComponentOwnership, InsertionBroadcastsToEveryOwnedComponentLastFirst) {
    std::vector<std::string> log;
    Recorder owner(nullptr, "Owner", &log);
    new Recorder(&owner, "A", &log);
    log.clear();
    auto* b = new Recorder(&owner, "", &log);
    // The owner hears first, then its components from last to first; B (still a plain
    // TComponent while its base constructor runs) hears nothing through the override.
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "A<-ins:");
    EXPECT_EQ(log[1], "Owner<-ins:");
    EXPECT_EQ(owner.ComponentCount(), 2);
    EXPECT_EQ(owner.Components(1), b);
    EXPECT_EQ(b->ComponentIndex(), 1);
}

TEST(ComponentOwnership, DeletingAnOwnedComponentNotifiesSiblingsWithItsFullType) {
    std::vector<std::string> log;
    Recorder owner(nullptr, "Owner", &log);
    auto* a = new Recorder(&owner, "A", &log);
    auto* b = new Recorder(&owner, "B", &log);
    log.clear();
    delete b;
    // The owner forwards to its components last first (B itself included), then hears it.
    std::vector<std::string> expected = {"B<-rem:B", "A<-rem:B", "Owner<-rem:B", "~B"};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(a->seenClass, "Recorder"); // still the derived object while notified
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.Components(0), a);
}

TEST(ComponentOwnership, UniquePtrDestructionRunsTheSameSequence) {
    std::vector<std::string> log;
    Recorder owner(nullptr, "Owner", &log);
    auto* a = new Recorder(&owner, "A", &log);
    std::unique_ptr<Recorder> free = std::make_unique<Recorder>(nullptr, "Free", &log);
    a->FreeNotification(free.get());
    log.clear();
    free.reset();
    ASSERT_EQ(a->removed.size(), 1u);
    EXPECT_EQ(a->seenClass, "Recorder");
}

TEST(ComponentOwnership, ComponentsIndexOutOfRangeRaisesListError) {
    TComponent owner(nullptr);
    try {
        owner.Components(0);
        FAIL();
    } catch (const host::EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (0)");
    }
}

TEST(ComponentOwnership, InsertComponentMovesBetweenOwners) {
    std::vector<std::string> log;
    Recorder first(nullptr, "First", &log);
    Recorder second(nullptr, "Second", &log);
    auto* c = new Recorder(&first, "C", &log);
    log.clear();
    second.InsertComponent(c);
    EXPECT_EQ(c->Owner(), &second);
    EXPECT_EQ(first.ComponentCount(), 0);
    EXPECT_EQ(second.ComponentCount(), 1);
    std::vector<std::string> expected = {"C<-rem:C", "First<-rem:C", "C<-ins:C", "Second<-ins:C"};
    EXPECT_EQ(log, expected);
}

TEST(ComponentNames, DuplicateNamesAreRejectedIgnoringCase) {
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    a->SetName("Table1");
    auto* b = new TComponent(&owner);
    try {
        b->SetName("TABLE1");
        FAIL();
    } catch (const host::EComponentError& e) {
        EXPECT_EQ(e.Message(), "A component named TABLE1 already exists");
    }
    EXPECT_EQ(b->Name(), "");
    a->SetName("TABLE1"); // renaming itself with other case is fine
    EXPECT_EQ(owner.FindComponent("table1"), a);
    EXPECT_EQ(owner.FindComponent("nothing"), nullptr);
}

TEST(ComponentNames, InvalidIdentifiersAreRejectedButEmptyIsAllowed) {
    TComponent c(nullptr);
    EXPECT_THROW(c.SetName("1abc"), host::EComponentError);
    EXPECT_THROW(c.SetName("a b"), host::EComponentError);
    c.SetName("_ok9");
    EXPECT_EQ(c.Name(), "_ok9");
    c.SetName("");
    EXPECT_EQ(c.Name(), "");
}

TEST(ComponentState, DesigningIsInheritedFromTheOwnerAndDestroyingSpreadsDown) {
    TComponent owner(nullptr);
    owner.SetDesigning(true);
    auto* child = new TComponent(&owner);
    EXPECT_TRUE(child->ComponentState().Contains(host::csDesigning));
    owner.Destroying();
    EXPECT_TRUE(owner.ComponentState().Contains(host::csDestroying));
    EXPECT_TRUE(child->ComponentState().Contains(host::csDestroying));
}

TEST(ComponentState, LoadedClearsLoading) {
    TComponent c(nullptr);
    c.SetComponentStateFlag(host::csLoading, true);
    c.SetComponentStateFlag(host::csReading, true);
    c.Loaded();
    EXPECT_FALSE(c.ComponentState().Contains(host::csLoading));
    EXPECT_TRUE(c.ComponentState().Contains(host::csReading));
}

TEST(ComponentFreeNotification, PartnersHearOfEachOthersDestructionOnce) {
    std::vector<std::string> log;
    Recorder formA(nullptr, "FormA", &log);
    Recorder formB(nullptr, "FormB", &log);
    auto* source = new Recorder(&formA, "Source", &log);
    auto* link = new Recorder(&formB, "Link", &log);
    link->FreeNotification(source);
    EXPECT_TRUE(link->ComponentState().Contains(host::csFreeNotification));
    log.clear();
    delete source;
    ASSERT_EQ(link->removed.size(), 1u);
    EXPECT_EQ(link->removed[0], source);
    // Partners first, then the owner's broadcast.
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "Link<-rem:Source");
    // Deleting the link later must not reach the dead source.
    delete link;
}

TEST(ComponentFreeNotification, SameOwnerNeedsNoRegistrationAndRemoveUndoesIt) {
    std::vector<std::string> log;
    Recorder formA(nullptr, "FormA", &log);
    Recorder other(nullptr, "Other", &log);
    auto* x = new Recorder(&formA, "X", &log);
    auto* y = new Recorder(&formA, "Y", &log);
    x->FreeNotification(y); // same owner: the owner's broadcast already covers it
    log.clear();
    delete y;
    EXPECT_EQ(x->removed.size(), 1u); // once, from the owner's broadcast

    auto* z = new Recorder(nullptr, "Z", &log);
    x->FreeNotification(z);
    x->RemoveFreeNotification(z);
    delete z;
    EXPECT_EQ(x->removed.size(), 1u);
}

TEST(ComponentFreeNotification, PartnerNotifiedBeforeOwnedComponentsAreDestroyed) {
    std::vector<std::string> log;
    Recorder watcher(nullptr, "Watcher", &log);
    auto* parent = new Recorder(nullptr, "Parent", &log);
    new Recorder(parent, "Child", &log);
    watcher.FreeNotification(parent);
    log.clear();
    delete parent;
    std::vector<std::string> expected = {"Watcher<-rem:Parent", "~Child", "~Parent"};
    EXPECT_EQ(log, expected);
}

TEST(ComponentStack, StackComponentStillLeavesItsOwnerAndFreesChildren) {
    std::vector<std::string> log;
    Recorder owner(nullptr, "Owner", &log);
    {
        TComponent stackChild(&owner);
        new Recorder(&stackChild, "Grandchild", &log);
        EXPECT_EQ(owner.ComponentCount(), 1);
    }
    EXPECT_EQ(owner.ComponentCount(), 0);
    EXPECT_EQ(log.back(), "Owner<-rem:");
}

} // namespace

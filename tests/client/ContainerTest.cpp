// TContainer ownership and TBaseObject registration.
#include <gtest/gtest.h>

#include <memory>

#include "client/msqlTypes.h"
#include "host/Exceptions.h"

namespace corvane {
namespace {

// Counts its destructions.
class Tracked : public host::TObject {
public:
    explicit Tracked(int& freed) : fFreed(freed) {}
    ~Tracked() override { ++fFreed; }

private:
    int& fFreed;
};

class Registered : public TBaseObject {
public:
    Registered(host::TObject* owner, TContainer* container, int& freed)
        : TBaseObject(owner, container), fFreed(freed) {}
    ~Registered() override { ++fFreed; }

private:
    int& fFreed;
};

TEST(Container, AtIsNullPastTheEndWhereGetRaisesTheListError) {
    int freed = 0;
    TContainer c;
    EXPECT_EQ(c.Insert(new Tracked(freed)), 0);
    EXPECT_EQ(c.Insert(new Tracked(freed)), 1);
    EXPECT_EQ(c.At(2), nullptr);
    EXPECT_EQ(c.At(-1), nullptr);
    EXPECT_THROW(c.Get(2), host::EListError);
    EXPECT_THROW(c.Get(-1), host::EListError);
    EXPECT_NE(c.At(1), nullptr);
    EXPECT_EQ(c.Get(1), c.At(1));
}

TEST(Container, FreeAllSkipsNullEntriesFreesTheRestAndEmpties) {
    int freed = 0;
    TContainer c;
    c.Insert(nullptr);
    c.Insert(new Tracked(freed));
    c.Insert(nullptr);
    c.Insert(new Tracked(freed));
    c.FreeAll();
    EXPECT_EQ(freed, 2);
    EXPECT_EQ(c.GetCount(), 0);
}

TEST(Container, DestroyingTheContainerFreesWhatItHolds) {
    int freed = 0;
    {
        TContainer c;
        c.Insert(new Tracked(freed));
        c.Insert(new Tracked(freed));
    }
    EXPECT_EQ(freed, 2);
}

TEST(Container, AnObjectHeldTwiceIsFreedOnce) {
    int freed = 0;
    TContainer c;
    auto* item = new Tracked(freed);
    c.Insert(item);
    c.Insert(new Tracked(freed));
    c.Insert(item);
    c.FreeAll();
    EXPECT_EQ(freed, 2);
}

TEST(Container, RemovingEntriesDoesNotFreeTheObjects) {
    int freed = 0;
    auto a = std::make_unique<Tracked>(freed);
    auto b = std::make_unique<Tracked>(freed);
    auto d = std::make_unique<Tracked>(freed);
    {
        TContainer c;
        c.Insert(a.get());
        c.Insert(b.get());
        c.Insert(d.get());
        c.Insert(a.get());
        c.Delete(a.get()); // the first entry only
        EXPECT_EQ(c.GetCount(), 3);
        EXPECT_EQ(c.IndexOf(a.get()), 2);
        c.AtDelete(0);
        EXPECT_EQ(c.IndexOf(b.get()), -1);
        c.Delete(b.get()); // absent: nothing happens
        EXPECT_EQ(c.GetCount(), 2);
        c.Clear();
        EXPECT_EQ(c.GetCount(), 0);
        c.Insert(d.get());
        c.DeleteAll();
        EXPECT_EQ(c.GetCount(), 0);
    }
    EXPECT_EQ(freed, 0);
}

TEST(Container, AtFreeRemovesAndFreesOnlyARealObject) {
    int freed = 0;
    TContainer c;
    c.Insert(nullptr);
    c.Insert(new Tracked(freed));
    c.AtFree(0); // null entry: left in place
    EXPECT_EQ(c.GetCount(), 2);
    c.AtFree(5); // out of range: nothing
    c.AtFree(1);
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(c.GetCount(), 1);
}

TEST(Container, InsertReplaceAndPackWorkByIndex) {
    int freed = 0;
    TContainer c;
    auto* a = new Tracked(freed);
    auto* b = new Tracked(freed);
    auto* d = new Tracked(freed);
    c.Insert(a);
    c.AtInsert(0, b);
    EXPECT_EQ(c.IndexOf(b), 0);
    EXPECT_EQ(c.IndexOf(a), 1);
    c.AtPut(1, nullptr);
    delete a;
    c.Put(0, d);
    delete b;
    c.Insert(nullptr);
    c.Pack();
    EXPECT_EQ(c.GetCount(), 1);
    EXPECT_EQ(c.Get(0), d);
    EXPECT_THROW(c.AtInsert(5, nullptr), host::EListError);
    EXPECT_THROW(c.AtPut(1, nullptr), host::EListError);
    c.SetCapacity(16);
    EXPECT_GE(c.GetCapacity(), 16);
}

TEST(Container, ErrorRaisesTheListErrorWithItsOwnText) {
    TContainer c;
    try {
        c.Error(1, 2);
        FAIL() << "Error returned";
    } catch (const host::EListError& e) {
        EXPECT_EQ(e.Message(), "Container index out of range");
    }
}

TEST(Container, FreeItemFreesAndIgnoresNull) {
    int freed = 0;
    TContainer c;
    c.FreeItem(nullptr);
    c.FreeItem(new Tracked(freed));
    EXPECT_EQ(freed, 1);
}

TEST(BaseObject, RegistersInItsContainerAndLeavesWhenFreed) {
    int freed = 0;
    TContainer c;
    auto owner = std::make_unique<Tracked>(freed);
    auto* first = new Registered(owner.get(), &c, freed);
    auto* second = new Registered(nullptr, &c, freed);
    EXPECT_EQ(first->Owner(), owner.get());
    EXPECT_EQ(first->Container(), &c);
    EXPECT_EQ(c.GetCount(), 2);
    EXPECT_EQ(c.IndexOf(second), 1);
    delete first;
    EXPECT_EQ(c.GetCount(), 1);
    EXPECT_EQ(c.Get(0), second);
    delete second;
    EXPECT_EQ(c.GetCount(), 0);
    EXPECT_EQ(freed, 2);
}

TEST(BaseObject, ContainerFreesRegisteredObjectsOnce) {
    int freed = 0;
    {
        TContainer c;
        new Registered(nullptr, &c, freed);
        new Registered(nullptr, &c, freed);
        auto* third = new Registered(nullptr, &c, freed);
        c.Insert(third); // held twice
        c.FreeAll();
        EXPECT_EQ(c.GetCount(), 0);
        EXPECT_EQ(freed, 3);
        new Registered(nullptr, &c, freed);
    }
    EXPECT_EQ(freed, 4);
}

TEST(BaseObject, WithoutAContainerItIsFreeStanding) {
    int freed = 0;
    auto object = std::make_unique<Registered>(nullptr, nullptr, freed);
    EXPECT_EQ(object->Container(), nullptr);
    object.reset();
    EXPECT_EQ(freed, 1);
}

} // namespace
} // namespace corvane

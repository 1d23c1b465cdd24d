#include "host/List.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/Exceptions.h"

namespace {

using host::TList;

int a = 1, b = 2, c = 3;

std::string IndexMessage(const std::function<void()>& action) {
    try {
        action();
    } catch (const host::EListError& e) {
        return e.Message();
    }
    return "no error";
}

class TRecordingList : public TList {
public:
    std::vector<std::pair<void*, host::TListNotification>> log;

protected:
    void Notify(void* item, host::TListNotification action) override { log.emplace_back(item, action); }
};

TEST(List, AddInsertGetPutKeepOrder) {
    TList list;
    EXPECT_EQ(list.Add(&a), 0);
    EXPECT_EQ(list.Add(&c), 1);
    list.Insert(1, &b);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Get(0), &a);
    EXPECT_EQ(list.Get(1), &b);
    EXPECT_EQ(list.Get(2), &c);
    list.Put(0, &c);
    EXPECT_EQ(list.First(), &c);
    EXPECT_EQ(list.Last(), &c);
    list.Insert(3, &a); // inserting at Count appends
    EXPECT_EQ(list.Last(), &a);
}

TEST(List, IndexErrorsCarryTheIndex) {
    TList list;
    list.Add(&a);
    EXPECT_EQ(IndexMessage([&] { list.Get(1); }), "List index out of bounds (1)");
    EXPECT_EQ(IndexMessage([&] { list.Get(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(IndexMessage([&] { list.Put(5, &b); }), "List index out of bounds (5)");
    EXPECT_EQ(IndexMessage([&] { list.Insert(2, &b); }), "List index out of bounds (2)");
    EXPECT_EQ(IndexMessage([&] { list.Delete(1); }), "List index out of bounds (1)");
    EXPECT_EQ(IndexMessage([&] { list.Exchange(0, 3); }), "List index out of bounds (3)");
    TList empty;
    EXPECT_EQ(IndexMessage([&] { empty.First(); }), "List index out of bounds (0)");
    EXPECT_EQ(IndexMessage([&] { empty.Last(); }), "List index out of bounds (-1)");
}

TEST(List, CapacityAndCountErrors) {
    TList list;
    list.Add(&a);
    list.Add(&b);
    EXPECT_EQ(IndexMessage([&] { list.SetCapacity(1); }), "List capacity out of bounds (1)");
    EXPECT_EQ(IndexMessage([&] { list.SetCount(-1); }), "List count out of bounds (-1)");
    list.SetCapacity(100);
    EXPECT_GE(list.Capacity(), 100);
    EXPECT_EQ(list.Count(), 2);
    list.SetCapacity(2);
    EXPECT_EQ(list.Get(1), &b);
}

TEST(List, SetCountGrowsWithNullsAndPackRemovesThem) {
    TList list;
    list.Add(&a);
    list.SetCount(3);
    EXPECT_EQ(list.Get(2), nullptr);
    list.Add(&b);
    list.Pack();
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Get(0), &a);
    EXPECT_EQ(list.Get(1), &b);
}

TEST(List, RemoveReturnsTheFormerIndexOfTheFirstOccurrence) {
    TList list;
    list.Add(&a);
    list.Add(&b);
    list.Add(&a);
    EXPECT_EQ(list.IndexOf(&a), 0);
    EXPECT_EQ(list.Remove(&a), 0);
    EXPECT_EQ(list.IndexOf(&a), 1);
    EXPECT_EQ(list.Remove(&c), -1);
    EXPECT_EQ(list.Count(), 2);
}

TEST(List, MoveAndExchange) {
    TList list;
    list.Add(&a);
    list.Add(&b);
    list.Add(&c);
    list.Move(0, 2);
    EXPECT_EQ(list.Get(0), &b);
    EXPECT_EQ(list.Get(2), &a);
    list.Exchange(0, 2);
    EXPECT_EQ(list.Get(0), &a);
    EXPECT_EQ(list.Get(2), &b);
}

TEST(List, SortIsStableAndUsesTheComparison) {
    int x1 = 5, x2 = 1, x3 = 5, x4 = 3;
    TList list;
    for (int* p : {&x1, &x2, &x3, &x4})
        list.Add(p);
    list.Sort([](void* l, void* r) { return *static_cast<int*>(l) - *static_cast<int*>(r); });
    EXPECT_EQ(list.Get(0), &x2);
    EXPECT_EQ(list.Get(1), &x4);
    EXPECT_EQ(list.Get(2), &x1);
    EXPECT_EQ(list.Get(3), &x3);
}

TEST(List, NotifiesAdditionsDeletionsAndExtractions) {
    TRecordingList list;
    list.Add(&a);
    list.Add(nullptr); // nullptr entries are not announced
    list.Put(0, &b);
    list.Extract(&b);
    list.Add(&c);
    list.Clear();
    using host::lnAdded, host::lnDeleted, host::lnExtracted;
    std::vector<std::pair<void*, host::TListNotification>> expected = {
        {&a, lnAdded}, {&a, lnDeleted}, {&b, lnAdded}, {&b, lnExtracted}, {&c, lnAdded}, {&c, lnDeleted}};
    EXPECT_EQ(list.log, expected);
    EXPECT_EQ(list.Count(), 0);
}

} // namespace

#include "host/Collection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/Component.h"
#include "host/Exceptions.h"

namespace {

using host::TCollection;
using host::TCollectionItem;

class TNamedItem : public TCollectionItem {
public:
    using TCollectionItem::TCollectionItem;
    std::string value;
    void Assign(host::TPersistent* source) override {
        if (auto* other = dynamic_cast<TNamedItem*>(source)) {
            value = other->value;
            return;
        }
        TCollectionItem::Assign(source);
    }
    void Touch() { Changed(false); }
};

// Records Update and Notify calls.
class TRecordingCollection : public TCollection {
public:
    TRecordingCollection() : TCollection(host::ItemClassOf<TNamedItem>()) {}
    std::vector<std::string> log;
    TNamedItem* AddNamed(const std::string& v) {
        auto* item = static_cast<TNamedItem*>(Add());
        item->value = v;
        return item;
    }

protected:
    void Update(TCollectionItem* item) override {
        log.push_back(item ? "update:" + std::to_string(item->ID()) : "update:all");
    }
    void Notify(TCollectionItem* item, host::TCollectionNotification action) override {
        static const char* names[] = {"added", "extracting", "deleting"};
        // The item still has its full type while the collection is told.
        auto* named = dynamic_cast<TNamedItem*>(item);
        log.push_back(std::string(names[action]) + ":" + (named ? named->value : "?"));
    }
};

std::vector<std::string> Values(const TCollection& c) {
    std::vector<std::string> out;
    for (int i = 0; i < c.Count(); ++i)
        out.push_back(static_cast<TNamedItem*>(c.Items(i))->value);
    return out;
}

TEST(Collection, IdsStartAtZeroAndAreNeverReused) {
    TRecordingCollection c;
    c.AddNamed("a");
    c.AddNamed("b");
    c.Delete(1);
    auto* third = c.AddNamed("c");
    EXPECT_EQ(c.Items(0)->ID(), 0);
    EXPECT_EQ(third->ID(), 2);
    EXPECT_EQ(c.FindItemID(2), third);
    EXPECT_EQ(c.FindItemID(1), nullptr);
}

TEST(Collection, InsertionNotifiesThenReportsTheWholeList) {
    TRecordingCollection c;
    c.Add();
    std::vector<std::string> expected = {"added:?", "update:all"};
    EXPECT_EQ(c.log, expected);
}

TEST(Collection, DeletingAnItemNotifiesDeletingWithTheItemIntact) {
    TRecordingCollection c;
    c.AddNamed("a");
    c.AddNamed("b");
    c.log.clear();
    delete c.Items(0);
    std::vector<std::string> expected = {"deleting:a", "update:all"};
    EXPECT_EQ(c.log, expected);
    EXPECT_EQ(Values(c), std::vector<std::string>{"b"});
}

TEST(Collection, MovingAnItemOutIsExtraction) {
    TRecordingCollection a, b;
    auto* item = a.AddNamed("x");
    a.log.clear();
    item->SetCollection(&b);
    EXPECT_EQ(a.log.front(), "extracting:x");
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(b.Count(), 1);
    EXPECT_EQ(item->Collection(), &b);
}

TEST(Collection, InsertPlacesTheNewItemAtTheIndex) {
    TRecordingCollection c;
    c.AddNamed("a");
    c.AddNamed("c");
    auto* b = static_cast<TNamedItem*>(c.Insert(1));
    b->value = "b";
    EXPECT_EQ(Values(c), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(b->Index(), 1);
    EXPECT_THROW(c.Insert(5), host::EListError);
}

TEST(Collection, ItemsOutOfRangeRaisesListError) {
    TRecordingCollection c;
    c.Add();
    try {
        c.Items(3);
        FAIL();
    } catch (const host::EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (3)");
    }
    EXPECT_THROW(c.Items(-1), host::EListError);
    EXPECT_THROW(c.Delete(1), host::EListError);
}

TEST(CollectionUpdate, NestedBracketsReportOnceAtTheOutermostEnd) {
    TRecordingCollection c;
    c.BeginUpdate();
    c.BeginUpdate();
    c.AddNamed("a");
    c.AddNamed("b");
    c.EndUpdate();
    EXPECT_EQ(c.log, (std::vector<std::string>{"added:?", "added:?"}));
    c.EndUpdate();
    EXPECT_EQ(c.log.back(), "update:all");
    EXPECT_EQ(c.log.size(), 3u);
}

TEST(CollectionUpdate, EndUpdateReportsEvenWhenNothingChanged) {
    TRecordingCollection c;
    c.BeginUpdate();
    c.EndUpdate();
    EXPECT_EQ(c.log, std::vector<std::string>{"update:all"});
}

TEST(CollectionUpdate, ItemChangeReportsTheItemOutsideBrackets) {
    TRecordingCollection c;
    auto* a = c.AddNamed("a");
    c.log.clear();
    a->Touch();
    EXPECT_EQ(c.log, std::vector<std::string>{"update:0"});
    c.BeginUpdate();
    a->Touch();
    EXPECT_EQ(c.log.size(), 1u);
    c.EndUpdate();
}

TEST(CollectionUpdate, ClearDeletesLastFirstInsideOneBracket) {
    TRecordingCollection c;
    c.AddNamed("a");
    c.AddNamed("b");
    c.log.clear();
    c.Clear();
    std::vector<std::string> expected = {"deleting:b", "deleting:a", "update:all"};
    EXPECT_EQ(c.log, expected);
    EXPECT_EQ(c.Count(), 0);
}

TEST(CollectionItem, SettingIndexMovesTheItemAndReportsTheList) {
    TRecordingCollection c;
    c.AddNamed("a");
    c.AddNamed("b");
    auto* third = c.AddNamed("c");
    c.log.clear();
    third->SetIndex(0);
    EXPECT_EQ(Values(c), (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(c.log, std::vector<std::string>{"update:all"});
    EXPECT_THROW(third->SetIndex(7), host::EListError);
}

TEST(CollectionAssign, CopiesEveryItemInsideOneBracket) {
    TRecordingCollection source, dest;
    source.AddNamed("x");
    source.AddNamed("y");
    dest.AddNamed("old");
    dest.log.clear();
    dest.Assign(&source);
    EXPECT_EQ(Values(dest), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(dest.log.back(), "update:all");
    int updates = 0;
    for (const auto& entry : dest.log)
        updates += entry.rfind("update", 0) == 0;
    EXPECT_EQ(updates, 1);
}

TEST(CollectionAssign, AssigningAnUnrelatedObjectRaises) {
    TRecordingCollection c;
    host::TComponent component(nullptr);
    try {
        c.Assign(&component);
        FAIL();
    } catch (const host::EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TComponent to a TRecordingCollection");
    }
}

TEST(CollectionNames, ItemPathIncludesTheOwnersPropertyAndIndex) {
    host::TComponent table(nullptr);
    table.SetName("Table1");
    host::TOwnedCollection defs(&table, host::ItemClassOf<TNamedItem>());
    defs.SetPropName("FieldDefs");
    defs.Add();
    auto* second = defs.Add();
    EXPECT_EQ(defs.GetNamePath(), "Table1.FieldDefs");
    EXPECT_EQ(second->GetNamePath(), "Table1.FieldDefs[1]");
    EXPECT_EQ(second->DisplayName(), "TNamedItem");
    EXPECT_EQ(second->GetOwner(), &defs);
}

TEST(CollectionLifetime, DeletingTheCollectionDeletesItsItems) {
    auto* c = new TRecordingCollection;
    c->AddNamed("a");
    c->AddNamed("b");
    delete c; // the sanitizer run reports a leak if items survive
    SUCCEED();
}

} // namespace

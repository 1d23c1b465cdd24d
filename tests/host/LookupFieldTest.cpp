// Lookup fields over the in-memory dataset: values from the lookup dataset, the cached key ->
// value list (LookupCache) and the checks made when a lookup field binds.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MemDataSet.h"

namespace {

using namespace host;
using hosttest::MemDataSet;

TEST(LookupFields, LookupFieldTakesItsValueFromTheLookupDataSet) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* names = new MemDataSet(owner.get(), {{"CODE", ftInteger}, {"TEXT", ftString, 10}});
    names->AddRow({Variant(1), Variant("one")});
    names->AddRow({Variant(2), Variant("two")});
    auto* ds = new MemDataSet(owner.get(), {{"ID", ftInteger}, {"CODE", ftInteger}});
    ds->AddRow({Variant(10), Variant(2)});
    ds->AddRow({Variant(11), Variant(7)});
    ds->FieldDefs()->Update();
    for (int i = 0; i < ds->FieldDefs()->Count(); ++i)
        ds->FieldDefs()->Items(i)->CreateField(ds);
    auto* text = new TStringField(ds);
    text->SetFieldName("CODE_TEXT");
    text->SetFieldKind(fkLookup);
    text->SetKeyFields("CODE");
    text->SetLookupDataSet(names);
    text->SetLookupKeyFields("CODE");
    text->SetLookupResultField("TEXT");
    text->SetDataSet(ds);
    ds->Open();
    EXPECT_TRUE(names->Active());
    EXPECT_EQ(text->AsString(), "two");
    ds->Next();
    EXPECT_TRUE(text->IsNull());
}

// A lookup dataset that counts the Lookup calls made on it.
class CountingLookups : public MemDataSet {
public:
    using MemDataSet::MemDataSet;
    int lookups = 0;
    Variant Lookup(const std::string& keyFields, const Variant& keyValues,
                   const std::string& resultFields) override {
        ++lookups;
        return MemDataSet::Lookup(keyFields, keyValues, resultFields);
    }
};

// ORDERS (ID, CODE) with a lookup field CODE_TEXT over NAMES (CODE, TEXT).
struct LookupFixture {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    CountingLookups* names;
    MemDataSet* ds;
    TStringField* text;

    explicit LookupFixture(bool cache) {
        names = new CountingLookups(owner.get(), {{"CODE", ftInteger}, {"TEXT", ftString, 10}});
        names->AddRow({Variant(1), Variant("one")});
        names->AddRow({Variant(2), Variant("two")});
        names->AddRow({Variant(3), Variant("three")});
        ds = new MemDataSet(owner.get(), {{"ID", ftInteger}, {"CODE", ftInteger}});
        ds->AddRow({Variant(10), Variant(2)});
        ds->AddRow({Variant(11), Variant(7)});
        ds->AddRow({Variant(12), Variant(1)});
        ds->FieldDefs()->Update();
        for (int i = 0; i < ds->FieldDefs()->Count(); ++i)
            ds->FieldDefs()->Items(i)->CreateField(ds);
        text = new TStringField(ds);
        text->SetFieldName("CODE_TEXT");
        text->SetFieldKind(fkLookup);
        text->SetKeyFields("CODE");
        text->SetLookupDataSet(names);
        text->SetLookupKeyFields("CODE");
        text->SetLookupResultField("TEXT");
        text->SetLookupCache(cache);
        text->SetDataSet(ds);
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> result;
        for (ds->First(); !ds->Eof(); ds->Next())
            result.push_back(text->IsNull() ? "<null>" : text->AsString());
        return result;
    }
};

TEST(LookupFields, LookupCacheIsReadWhenTheFieldBindsAndAnswersEveryRow) {
    LookupFixture f(true);
    f.names->Open();
    f.names->Next(); // the lookup dataset's position survives reading the list
    f.ds->Open();
    EXPECT_EQ(f.text->LookupList().Count(), 3);
    EXPECT_EQ(f.Texts(), (std::vector<std::string>{"two", "<null>", "one"}));
    EXPECT_EQ(f.names->lookups, 0);
    EXPECT_EQ(f.names->FieldByName("CODE")->AsInteger(), 2);
    EXPECT_EQ(f.text->LookupList().ValueOfKey(Variant(3)).AsString(), "three");
    EXPECT_TRUE(f.text->LookupList().ValueOfKey(Null()).IsNull());
    EXPECT_TRUE(f.text->LookupList().ValueOfKey(Variant("not a number")).IsNull());

    // The list is a snapshot: a later change shows once the list is read again.
    f.names->Edit();
    f.names->FieldByName("TEXT")->SetAsString("TWO");
    f.names->Post();
    EXPECT_EQ(f.Texts()[0], "two");
    f.text->RefreshLookupList();
    EXPECT_EQ(f.Texts()[0], "TWO");

    // Without the cache every row asks the lookup dataset.
    LookupFixture plain(false);
    plain.ds->Open();
    EXPECT_EQ(plain.Texts(), (std::vector<std::string>{"two", "<null>", "one"}));
    EXPECT_GT(plain.names->lookups, 0);
    EXPECT_EQ(plain.text->LookupList().Count(), 0);
}

TEST(LookupFields, LookupCacheIsDroppedWhenTheLookupSetUpChanges) {
    LookupFixture f(true);
    f.ds->Open();
    EXPECT_EQ(f.text->LookupList().Count(), 3);
    f.text->SetLookupCache(false);
    EXPECT_EQ(f.text->LookupList().Count(), 0);
    f.text->SetLookupCache(true); // switched on while open: read at once
    EXPECT_EQ(f.text->LookupList().Count(), 3);
    f.ds->Close();
    EXPECT_EQ(f.text->LookupList().Count(), 0);

    // Read on demand with both datasets closed: the lookup dataset is closed again after.
    f.names->Close();
    f.text->RefreshLookupList();
    EXPECT_EQ(f.text->LookupList().Count(), 3);
    EXPECT_FALSE(f.names->Active());
    f.text->SetLookupResultField("CODE");
    EXPECT_EQ(f.text->LookupList().Count(), 0);
    f.text->SetLookupResultField("TEXT");
    f.text->RefreshLookupList();
    auto* other = new MemDataSet(f.owner.get(), {{"CODE", ftInteger}, {"TEXT", ftString, 10}});
    f.text->SetLookupDataSet(other);
    EXPECT_EQ(f.text->LookupList().Count(), 0);
    f.text->SetLookupDataSet(f.names);
    f.text->RefreshLookupList();
    delete f.names;
    EXPECT_EQ(f.text->LookupDataSet(), nullptr);
    EXPECT_EQ(f.text->LookupList().Count(), 0);
    EXPECT_THROW(f.text->RefreshLookupList(), EDatabaseError);
}

TEST(LookupFields, ALookupIntoItsOwnDataSetIsRefused) {
    LookupFixture f(true);
    f.text->SetLookupDataSet(f.ds);
    f.text->SetLookupKeyFields("ID");
    f.text->SetLookupResultField("ID");
    try {
        f.ds->Open();
        FAIL() << "opened";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find(SCircularDataLink), std::string::npos);
    }
    EXPECT_FALSE(f.ds->Active());
    EXPECT_EQ(f.ds->allocated, 0);
}

TEST(LookupFields, LookupFieldWithoutItsSetUpCannotOpen) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new MemDataSet(owner.get(), {{"ID", ftInteger}});
    auto* id = new TIntegerField(ds);
    id->SetFieldName("ID");
    id->SetDataSet(ds);
    auto* text = new TStringField(ds);
    text->SetFieldName("X");
    text->SetFieldKind(fkLookup);
    text->SetDataSet(ds);
    EXPECT_THROW(ds->Open(), EDatabaseError);
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(ds->allocated, 0);
}

} // namespace

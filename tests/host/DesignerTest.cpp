// Design-time interfaces: palette and property editor registries, the standard editors, a
// value-list editor and a dialog editor driven through the headless forms.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MemDataSet.h"
#include "host/Designer.h"
#include "host/Forms.h"

namespace {

using namespace host;

// A component with a table name chosen from a list its "catalog" provides.
class TCatalogTable : public TComponent {
public:
    explicit TCatalogTable(TComponent* owner) : TComponent(owner) {}
    const std::string& TableName() const { return fTableName; }
    void SetTableName(const std::string& v) { fTableName = v; }
    bool ReadOnly() const { return fReadOnly; }
    void SetReadOnly(bool v) { fReadOnly = v; }
    int Limit() const { return fLimit; }
    void SetLimit(int v) { fLimit = v; }
    TDataSource* MasterSource() const { return fMaster; }
    void SetMasterSource(TDataSource* v) { fMaster = v; }
    std::vector<std::string> catalog{"orders", "customers", "items"};

private:
    std::string fTableName;
    bool fReadOnly = false;
    int fLimit = 0;
    TDataSource* fMaster = nullptr;
};

// A value-list editor: the table names of the edited component's catalog.
class TTableNameEditor : public TStringProperty {
public:
    using TStringProperty::TStringProperty;
    TPropertyAttributes GetAttributes() override { return {paValueList, paSortList, paMultiSelect}; }
    void GetValues(const TGetStrProc& proc) override {
        auto* table = static_cast<TCatalogTable*>(GetComponent(0));
        if (table->catalog.empty()) throw EDatabaseError("Database property is not set");
        for (const std::string& name : table->catalog)
            proc(name);
    }
};

// A dialog editor: Edit lets the user pick a table in a list box.
class TTableDialogEditor : public TStringProperty {
public:
    using TStringProperty::TStringProperty;
    TPropertyAttributes GetAttributes() override { return {paDialog}; }
    void Edit() override {
        TForm form(nullptr);
        form.SetCaption("Choose a table");
        auto* list = new TListBox(&form);
        list->SetName("Tables");
        list->SetParent(&form);
        for (const std::string& name : static_cast<TCatalogTable*>(GetComponent(0))->catalog)
            list->Items()->Add(name);
        auto* ok = new TButton(&form);
        ok->SetName("OK");
        ok->SetParent(&form);
        ok->SetModalResult(mrOk);
        if (form.ShowModal() == mrOk && list->ItemIndex() >= 0)
            SetValue(list->Items()->Strings(list->ItemIndex()));
    }
};

struct DesignerTest : ::testing::Test {
    std::unique_ptr<TComponent> form = std::make_unique<TComponent>(nullptr);
    TCatalogTable* table = nullptr;
    std::unique_ptr<TDesigner> designer;

    void SetUp() override {
        RegisterClass<TCatalogTable>("TCatalogTable", "TComponent")
            .String("TableName", &TCatalogTable::TableName, &TCatalogTable::SetTableName)
            .Type("TFileName")
            .Boolean("ReadOnly", &TCatalogTable::ReadOnly, &TCatalogTable::SetReadOnly)
            .Integer("Limit", &TCatalogTable::Limit, &TCatalogTable::SetLimit)
            .Component("MasterSource", &TCatalogTable::MasterSource, &TCatalogTable::SetMasterSource)
            .Type("TDataSource");
        DesignRegistry().Clear();
        form->SetName("Form1");
        table = new TCatalogTable(form.get());
        table->SetName("Table1");
        designer = std::make_unique<TDesigner>(form.get());
    }
    void TearDown() override { DesignRegistry().Clear(); }

    std::vector<std::string> Values(TPropertyEditor& editor) {
        std::vector<std::string> values;
        editor.GetValues([&](const std::string& v) { values.push_back(v); });
        return values;
    }
};

TEST_F(DesignerTest, RegisteredValueListEditorListsItsValuesAndStoresTheChoice) {
    RegisterPropertyEditor("TFileName", ComponentClass<TCatalogTable>("TCatalogTable"), "TableName",
                           PropertyEditorClass<TTableNameEditor>());
    auto editor = DesignRegistry().CreatePropertyEditor(designer.get(), {table}, "tablename");
    ASSERT_NE(dynamic_cast<TTableNameEditor*>(editor.get()), nullptr);
    EXPECT_EQ(editor->GetAttributes(), (TPropertyAttributes{paValueList, paSortList, paMultiSelect}));
    EXPECT_EQ(Values(*editor), (std::vector<std::string>{"orders", "customers", "items"}));
    EXPECT_EQ(editor->GetName(), "TableName");
    editor->SetValue("items");
    EXPECT_EQ(table->TableName(), "items");
    EXPECT_EQ(editor->GetValue(), "items");
    EXPECT_EQ(designer->ModifiedCount(), 1);
    table->catalog.clear();
    EXPECT_THROW(Values(*editor), EDatabaseError);
}

TEST_F(DesignerTest, MostSpecificEditorWinsAndLaterRegistrationsOverrideEqualOnes) {
    RegisterPropertyEditor("TFileName", {}, "", PropertyEditorClass<TStringProperty>());
    RegisterPropertyEditor("TFileName", ComponentClass<TCatalogTable>("TCatalogTable"), "TableName",
                           PropertyEditorClass<TTableNameEditor>());
    RegisterPropertyEditor("TFileName", {}, "", PropertyEditorClass<TTableDialogEditor>());
    auto specific = DesignRegistry().CreatePropertyEditor(designer.get(), {table}, "TableName");
    EXPECT_NE(dynamic_cast<TTableNameEditor*>(specific.get()), nullptr);
    const TPropInfo* limit = GetClass("TCatalogTable").FindProperty("Limit");
    EXPECT_FALSE(DesignRegistry().FindPropertyEditor(table, *limit));
    // A component of another class gets the latest generic editor.
    RegisterPropertyEditor("TFileName", ComponentClass<TCatalogTable>("TCatalogTable"), "TableName",
                           PropertyEditorClass<TTableDialogEditor>());
    auto later = DesignRegistry().CreatePropertyEditor(designer.get(), {table}, "TableName");
    EXPECT_NE(dynamic_cast<TTableDialogEditor*>(later.get()), nullptr);
}

TEST_F(DesignerTest, StandardEditorsConvertTextAndListEnumerations) {
    auto limit = DesignRegistry().CreatePropertyEditor(designer.get(), {table}, "Limit");
    limit->SetValue("25");
    EXPECT_EQ(table->Limit(), 25);
    EXPECT_EQ(limit->GetValue(), "25");
    EXPECT_THROW(limit->SetValue("many"), EPropertyError);
    EXPECT_THROW(limit->SetValue("9999999999"), EPropertyError);
    EXPECT_EQ(table->Limit(), 25);
    auto readOnly = DesignRegistry().CreatePropertyEditor(designer.get(), {table}, "ReadOnly");
    EXPECT_TRUE(readOnly->GetAttributes().Contains(paValueList));
    EXPECT_EQ(Values(*readOnly), (std::vector<std::string>{"False", "True"}));
    readOnly->SetValue("true");
    EXPECT_TRUE(table->ReadOnly());
    EXPECT_EQ(readOnly->GetValue(), "True");
    EXPECT_THROW(readOnly->SetValue("maybe"), EPropertyError);
    EXPECT_THROW(DesignRegistry().CreatePropertyEditor(designer.get(), {table}, "Nope"), EPropertyError);
}

TEST_F(DesignerTest, EditorOfSeveralComponentsSetsEveryOneAndComparesThem) {
    auto* other = new TCatalogTable(form.get());
    other->SetName("Table2");
    auto editor = DesignRegistry().CreatePropertyEditor(designer.get(), {table, other}, "Limit");
    EXPECT_EQ(editor->PropCount(), 2);
    EXPECT_TRUE(editor->AllEqual());
    other->SetLimit(3);
    EXPECT_FALSE(editor->AllEqual());
    editor->SetValue("7");
    EXPECT_EQ(table->Limit(), 7);
    EXPECT_EQ(other->Limit(), 7);
    EXPECT_EQ(editor->GetComponent(1), other);
    EXPECT_THROW(editor->GetComponent(2), EListError);
}

TEST_F(DesignerTest, ComponentEditorOffersOnlyComponentsOfThePropertysClass) {
    auto* source1 = new TDataSource(form.get());
    source1->SetName("Source1");
    auto* ds = new hosttest::MemDataSet(form.get());
    ds->SetName("People");
    auto* source2 = new TDataSource(form.get());
    source2->SetName("Source2");
    auto editor = DesignRegistry().CreatePropertyEditor(designer.get(), {table}, "MasterSource");
    ASSERT_NE(dynamic_cast<TComponentProperty*>(editor.get()), nullptr);
    EXPECT_EQ(Values(*editor), (std::vector<std::string>{"Source1", "Source2"}));
    editor->SetValue("source2");
    EXPECT_EQ(table->MasterSource(), source2);
    EXPECT_EQ(editor->GetValue(), "Source2");
    EXPECT_THROW(editor->SetValue("People"), EPropertyError);
    editor->SetValue("");
    EXPECT_EQ(table->MasterSource(), nullptr);

    // The dataset property of a data source offers datasets only.
    auto dataSet = DesignRegistry().CreatePropertyEditor(designer.get(), {source1}, "DataSet");
    EXPECT_EQ(Values(*dataSet), (std::vector<std::string>{"People"}));
}

TEST_F(DesignerTest, DialogEditorIsDrivenThroughTheHeadlessForm) {
    RegisterPropertyEditor("TFileName", {}, "TableName", PropertyEditorClass<TTableDialogEditor>());
    auto editor = DesignRegistry().CreatePropertyEditor(designer.get(), {table}, "TableName");
    EXPECT_TRUE(editor->GetAttributes().Contains(paDialog));
    TShowModalHook previous = SetShowModalHook([](TForm& f) {
        EXPECT_EQ(f.Caption(), "Choose a table");
        static_cast<TListBox*>(f.FindComponent("Tables"))->ClickItem(1);
        static_cast<TButton*>(f.FindComponent("OK"))->Click();
    });
    editor->Edit();
    EXPECT_EQ(table->TableName(), "customers");
    EXPECT_EQ(designer->ModifiedCount(), 1);
    // Cancelled (no hook: the dialog closes): nothing changes.
    SetShowModalHook(nullptr);
    editor->Edit();
    EXPECT_EQ(designer->ModifiedCount(), 1);
    SetShowModalHook(std::move(previous));
}

TEST_F(DesignerTest, ComponentsAreRegisteredOnPalettePagesInOrder) {
    RegisterComponents("Corvane",
                       {ComponentClass<TCatalogTable>("TCatalogTable"), ComponentClass<TForm>("TForm")});
    RegisterComponents("Data Access", {ComponentClass<TDataSource>("TDataSource")});
    EXPECT_EQ(DesignRegistry().Pages(), (std::vector<std::string>{"Corvane", "Data Access"}));
    EXPECT_EQ(DesignRegistry().PageClasses("corvane"), (std::vector<std::string>{"TCatalogTable", "TForm"}));
    const TComponentClassRef* ref = DesignRegistry().FindComponentClass("TDataSource");
    ASSERT_NE(ref, nullptr);
    std::unique_ptr<TComponent> created(ref->Create(nullptr));
    EXPECT_NE(dynamic_cast<TDataSource*>(created.get()), nullptr);
    // Registering a class again moves it.
    RegisterComponents("Data Access", {ComponentClass<TForm>("TForm")});
    EXPECT_EQ(DesignRegistry().PageClasses("Corvane"), (std::vector<std::string>{"TCatalogTable"}));
    EXPECT_EQ(DesignRegistry().PageClasses("Data Access"),
              (std::vector<std::string>{"TDataSource", "TForm"}));
}

} // namespace

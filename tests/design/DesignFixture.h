// Fixture for the design-time support: a data module (the designer's root) holding a customers
// table, an orders table linked to it and their data sources on the per-test database, a designer
// over it, Corvane registered with the design registry, and the global hooks of the form model
// (ShowModal, message boxes, help) restored after each test.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/TableFixture.h"
#include "design/mSQLDesign.h"
#include "host/Designer.h"
#include "host/Dialogs.h"
#include "host/Forms.h"

namespace corvane::test {

// The master fields editor as the older host generation runs it: there a table does not report
// itself SQL based, so the designer restricts the detail fields to those of an index.
class IndexBasedLinkProperty : public TmSQLTableFieldLinkProperty {
public:
    using TmSQLTableFieldLinkProperty::TmSQLTableFieldLinkProperty;
    bool GetIndexBased() override { return true; }
};

// The texts of a list.
inline std::vector<std::string> Items(const host::TStrings* list) {
    std::vector<std::string> texts;
    for (int i = 0; i < list->Count(); ++i)
        texts.push_back(list->Strings(i));
    return texts;
}

class DesignTest : public TableTest {
protected:
    using Script = std::function<void(TLinkFields& dialog)>;

    void SetUp() override {
        TableTest::SetUp();
        if (HasFatalFailure()) return;
        previousModal = host::SetShowModalHook(nullptr);
        previousBox =
            host::SetMessageBoxHook([this](const std::string& text, const std::string& caption, int) {
                boxes.push_back(caption + ": " + text);
                return host::IDOK;
            });
        previousHelp =
            host::SetHelpHook([this](host::THelpContext context) { helpShown.push_back(context); });
        host::DesignRegistry().Clear();
        Register();
        CreateShop();
        root = std::make_unique<host::TComponent>(nullptr);
        root->SetName("DataModule1");
        designer = std::make_unique<host::TDesigner>(root.get());
        customers = AddTable("Customers", "customers");
        customersSource = AddSource("CustomersSource", customers);
        orders = AddTable("Orders", "orders");
        orders->SetMasterSource(customersSource);
        ordersSource = AddSource("OrdersSource", orders);
    }

    void TearDown() override {
        designer.reset();
        root.reset();
        host::DesignRegistry().Clear();
        host::SetShowModalHook(std::move(previousModal));
        host::SetMessageBoxHook(std::move(previousBox));
        host::SetHelpHook(std::move(previousHelp));
        TableTest::TearDown();
    }

    // customers (custno, company, city) with a unique index on custno; orders (orderno, custno,
    // city, total) with a unique index on orderno and one on (custno, city, orderno).
    void CreateShop() {
        Exec("create table customers (custno int, company char(30), city char(20))");
        Exec("insert into customers values (1, 'Acme', 'Oslo')");
        Exec("insert into customers values (2, 'Borg', 'Bergen')");
        Exec("create unique index cust_by_no on customers (custno)");
        Exec("create table orders (orderno int, custno int, city char(20), total money)");
        Exec("insert into orders values (10, 1, 'Oslo', 12.50)");
        Exec("insert into orders values (11, 2, 'Bergen', 7.00)");
        Exec("insert into orders values (12, 1, 'Oslo', 3.25)");
        Exec("create unique index order_by_no on orders (orderno)");
        Exec("create index order_by_cust on orders (custno, city, orderno)");
    }

    // A closed table of the data module.
    TmSQLTable* AddTable(const std::string& name, const std::string& table) {
        auto* component = new TmSQLTable(root.get());
        component->SetName(name);
        component->SetDatabase(database);
        component->SetTableName(table);
        return component;
    }

    host::TDataSource* AddSource(const std::string& name, host::TDataSet* dataSet) {
        auto* source = new host::TDataSource(root.get());
        source->SetName(name);
        source->SetDataSet(dataSet);
        return source;
    }

    // The registered editor of property for the components.
    std::unique_ptr<host::TPropertyEditor> EditorFor(std::vector<host::TPersistent*> components,
                                                     const std::string& property) {
        return host::DesignRegistry().CreatePropertyEditor(designer.get(), std::move(components), property);
    }

    // The values an editor offers.
    static std::vector<std::string> Offered(host::TPropertyEditor& editor) {
        std::vector<std::string> values;
        editor.GetValues([&](const std::string& value) { values.push_back(value); });
        return values;
    }

    // The master fields editor of orders, index based as the older host generation has it.
    std::unique_ptr<IndexBasedLinkProperty> IndexBasedEditor(TmSQLTable* table = nullptr) {
        auto editor = std::make_unique<IndexBasedLinkProperty>(designer.get(), 1);
        editor->Initialize({table != nullptr ? table : orders}, "MasterFields");
        return editor;
    }

    // Every dialog shown from now on is acted on by script instead of a user; a script that
    // leaves no modal result closes the dialog (Cancel). dialogs counts the dialogs shown.
    void OnDialog(Script script) {
        host::SetShowModalHook([this, script = std::move(script)](host::TForm& form) {
            ++dialogs;
            auto* dialog = dynamic_cast<TLinkFields*>(&form);
            ASSERT_NE(dialog, nullptr) << "not the field link designer: " << form.Name();
            script(*dialog);
        });
    }

    // Selects the item text in list (a click by the user).
    static void Pick(host::TListBox* list, const std::string& text) {
        const int index = list->Items()->IndexOf(text);
        ASSERT_GE(index, 0) << text << " is not in " << list->Name();
        list->ClickItem(index);
    }

    // Joins detail with master as a user does: both selected, then Add.
    static void Join(TLinkFields& dialog, const std::string& detail, const std::string& master) {
        Pick(dialog.DetailList, detail);
        Pick(dialog.MasterList, master);
        ASSERT_TRUE(dialog.AddButton->Enabled());
        dialog.AddButton->Click();
    }

    // Picks the index named name in the index list.
    static void ChooseIndex(TLinkFields& dialog, const std::string& name) {
        const int index = dialog.IndexList->Items()->IndexOf(name);
        ASSERT_GE(index, 0) << name;
        dialog.IndexList->SelectItem(index);
    }

    std::unique_ptr<host::TComponent> root;
    std::unique_ptr<host::TDesigner> designer;
    TmSQLTable* customers = nullptr;
    TmSQLTable* orders = nullptr;
    host::TDataSource* customersSource = nullptr;
    host::TDataSource* ordersSource = nullptr;
    std::vector<std::string> boxes; // message boxes shown, "caption: text"
    std::vector<host::THelpContext> helpShown;
    int dialogs = 0;

private:
    host::TShowModalHook previousModal;
    host::TMessageBoxHook previousBox;
    host::THelpHook previousHelp;
};

} // namespace corvane::test

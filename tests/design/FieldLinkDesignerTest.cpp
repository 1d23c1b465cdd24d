// The field link designer on the headless form model: the dialog's controls, opening on a live
// detail table, joining, separating and confirming pairs (with the check that the joined fields
// lead the index), and what reaches the edited table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DesignFixture.h"
#include "host/Messages.h"

namespace corvane::test {
namespace {

using namespace host;
using Strings = std::vector<std::string>;

// ---- Pair items and list order

TEST(LinkPairs, ItemsSplitAtTheLastArrow) {
    EXPECT_EQ(LinkPairItem("custno", "CustNo"), "custno -> CustNo");
    EXPECT_EQ(LinkPairDetail("custno -> CustNo"), "custno");
    EXPECT_EQ(LinkPairMaster("custno -> CustNo"), "CustNo");
    // An expression holding an arrow keeps it in the detail part.
    EXPECT_EQ(LinkPairDetail("a->b -> m"), "a->b");
    EXPECT_EQ(LinkPairMaster("a->b -> m"), "m");
    // Only one blank on either side belongs to the arrow.
    EXPECT_EQ(LinkPairDetail("x  ->  y"), "x ");
    EXPECT_EQ(LinkPairMaster("x  ->  y"), " y");
}

TEST(LinkPairs, ReorderingFollowsTheReferenceAndPutsStrangersFirst) {
    TStringList list;
    for (const char* s : {"c", "x", "a", "b", "y"})
        list.Add(s);
    ReorderByReference(&list, {"a", "b", "c"});
    // Names missing from the reference count as -1: they come first, in their own order.
    EXPECT_EQ(Items(&list), (Strings{"x", "y", "a", "b", "c"}));
    ReorderByReference(&list, {});
    EXPECT_EQ(Items(&list), (Strings{"x", "y", "a", "b", "c"}));
}

// ---- The form

TEST_F(DesignTest, DialogHasItsControlsInPlaceAndInTabOrder) {
    TLinkFields dialog(nullptr);
    EXPECT_EQ(dialog.Caption(), "Field Link Designer");
    EXPECT_EQ(dialog.ClientWidth(), 352);
    EXPECT_EQ(dialog.ClientHeight(), 265);
    EXPECT_EQ(dialog.BorderStyle(), bsDialog);
    EXPECT_EQ(dialog.HelpContext(), 27140);
    struct Expected {
        TControl* control;
        const char* name;
        int left, top, width, height;
        const char* caption;
    };
    const Expected expected[] = {
        {dialog.IndexLabel, "IndexLabel", 4, 10, 83, 13, "A&vailable Indexes"},
        {dialog.IndexList, "IndexList", 109, 7, 192, 21, ""},
        {dialog.Bevel1, "Bevel1", 4, 33, 343, 190, ""},
        {dialog.Label30, "Label30", 13, 40, 57, 13, "D&etail Fields"},
        {dialog.DetailList, "DetailList", 13, 55, 117, 69, ""},
        {dialog.AddButton, "AddButton", 138, 74, 75, 25, "&Add"},
        {dialog.Label31, "Label31", 222, 38, 62, 13, "&Master Fields"},
        {dialog.MasterList, "MasterList", 222, 54, 117, 69, ""},
        {dialog.Label2, "Label2", 12, 142, 61, 13, "&Joined Fields"},
        {dialog.BindList, "BindList", 12, 157, 242, 56, ""},
        {dialog.DeleteButton, "DeleteButton", 263, 157, 75, 25, "&Delete"},
        {dialog.ClearButton, "ClearButton", 263, 188, 75, 25, "&Clear"},
        {dialog.Button1, "Button1", 100, 231, 75, 25, "OK"},
        {dialog.Button2, "Button2", 186, 231, 75, 25, "Cancel"},
        {dialog.Help, "Help", 272, 231, 75, 25, "&Help"},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.control->Name(), e.name);
        EXPECT_EQ(e.control->Parent(), &dialog);
        EXPECT_EQ(
            (std::vector<int>{e.control->Left(), e.control->Top(), e.control->Width(), e.control->Height()}),
            (std::vector<int>{e.left, e.top, e.width, e.height}));
        EXPECT_EQ(e.control->Caption(), e.caption);
        // Every frame and control lies inside the client area.
        EXPECT_LE(e.control->Left() + e.control->Width(), dialog.ClientWidth());
        EXPECT_LE(e.control->Top() + e.control->Height(), dialog.ClientHeight());
    }
    EXPECT_GE(dialog.Bevel2->Top(), dialog.ClientHeight()); // outside: never seen
    EXPECT_EQ(dialog.IndexList->Style(), csDropDownList);
    EXPECT_TRUE(dialog.BindList->MultiSelect());
    EXPECT_FALSE(dialog.DetailList->MultiSelect());
    EXPECT_TRUE(dialog.Button1->Default());
    EXPECT_EQ(dialog.Button1->ModalResult(), mrOk);
    EXPECT_TRUE(dialog.Button2->Cancel());
    EXPECT_EQ(dialog.Button2->ModalResult(), mrCancel);
    EXPECT_EQ(dialog.IndexLabel->FocusControl(), dialog.IndexList);
    EXPECT_EQ(dialog.Label30->FocusControl(), dialog.DetailList);
    EXPECT_EQ(dialog.Label31->FocusControl(), dialog.MasterList);
    EXPECT_EQ(dialog.Label2->FocusControl(), dialog.BindList);
    const std::vector<TWinControl*> tabs = dialog.TabList();
    ASSERT_FALSE(tabs.empty());
    EXPECT_EQ(tabs.front(), dialog.IndexList);
    EXPECT_EQ(tabs,
              (std::vector<TWinControl*>{dialog.IndexList, dialog.DetailList, dialog.AddButton,
                                         dialog.MasterList, dialog.BindList, dialog.DeleteButton,
                                         dialog.ClearButton, dialog.Button1, dialog.Button2, dialog.Help}));
}

TEST_F(DesignTest, OpeningWithoutAMasterIsRefused) {
    auto editor = IndexBasedEditor(customers);
    OnDialog([](TLinkFields&) { ADD_FAILURE() << "the dialog opened"; });
    EXPECT_EQ(ExpectHostError([&] { editor->Edit(); }), "Missing MasterSource or DataSource");
    // A master source without a dataset is no master either.
    auto* empty = AddSource("EmptySource", nullptr);
    customers->SetMasterSource(empty);
    EXPECT_EQ(ExpectHostError([&] { editor->Edit(); }), "Missing MasterSource or DataSource");
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(editor->Changed());
}

// ---- Index based

TEST_F(DesignTest, OpensOnTheIndexOverTheIndexFieldsWithTheExistingPairs) {
    orders->SetIndexFieldNames("custno;city");
    orders->SetMasterFields("custno;city");
    TStringList names;
    orders->GetIndexNames(&names);
    ASSERT_EQ(names.Count(), 2);
    auto editor = IndexBasedEditor();
    OnDialog([&](TLinkFields& d) {
        EXPECT_TRUE(d.IndexList->Visible());
        EXPECT_TRUE(d.IndexLabel->Visible());
        EXPECT_EQ(Items(d.IndexList->Items()), Items(&names));
        EXPECT_EQ(d.IndexList->Text(), "order_by_cust"); // covers custno;city
        EXPECT_EQ(Items(d.DetailList->Items()), (Strings{"orderno"}));
        EXPECT_EQ(Items(d.MasterList->Items()), (Strings{"company"}));
        EXPECT_EQ(Items(d.BindList->Items()), (Strings{"custno -> custno", "city -> city"}));
        EXPECT_TRUE(d.ClearButton->Enabled());
        EXPECT_FALSE(d.AddButton->Enabled());
        EXPECT_FALSE(d.DeleteButton->Enabled());
    });
    editor->Edit();
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(editor->Changed());
    EXPECT_EQ(designer->ModifiedCount(), 0);
}

TEST_F(DesignTest, OpensOnTheNamedIndexOrTheFirstAndSkipsPairsThatNoLongerFit) {
    orders->SetIndexName("order_by_cust");
    // orderno is no master field; custno -> custno fits the index's fields.
    orders->SetMasterFields("custno;orderno");
    auto editor = IndexBasedEditor();
    OnDialog([&](TLinkFields& d) {
        EXPECT_EQ(d.IndexList->Text(), "order_by_cust");
        EXPECT_EQ(Items(d.BindList->Items()), (Strings{"custno -> custno"}));
        EXPECT_EQ(Items(d.DetailList->Items()), (Strings{"city", "orderno"}));
        EXPECT_EQ(Items(d.MasterList->Items()), (Strings{"company", "city"}));
    });
    editor->Edit();
    // Without an index choice the first index is selected and no pair fits.
    orders->SetIndexName("");
    orders->SetMasterFields("custno");
    OnDialog([&](TLinkFields& d) {
        EXPECT_EQ(d.IndexList->ItemIndex(), 0);
        EXPECT_EQ(d.BindList->Items()->Count(), 0);
    });
    editor->Edit();
    EXPECT_EQ(dialogs, 2);
    // A field list no index covers cannot be opened: the table's error reaches the designer.
    orders->SetIndexFieldNames("total");
    EXPECT_NE(ExpectHostError([&] { editor->Edit(); }), "");
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(orders->IndexFieldNames(), "total");
}

TEST_F(DesignTest, GapInTheIndexFieldsIsReportedAndTheDialogStaysOpen) {
    auto editor = IndexBasedEditor();
    OnDialog([&](TLinkFields& d) {
        ChooseIndex(d, "order_by_cust");
        EXPECT_EQ(Items(d.DetailList->Items()), (Strings{"custno", "city", "orderno"}));
        Join(d, "city", "city");
        d.Button1->Click();
        EXPECT_EQ(boxes, (Strings{"Error: Field 'custno', from the Detail Fields list, must be linked"}));
        EXPECT_EQ(d.ModalResult(), mrNone);
        EXPECT_EQ(d.DetailList->ItemIndex(), d.DetailList->Items()->IndexOf("custno"));
        // Joining the missing field makes the same confirmation pass.
        Join(d, "custno", "custno");
        EXPECT_EQ(Items(d.BindList->Items()), (Strings{"custno -> custno", "city -> city"}));
        d.Button1->Click();
        EXPECT_EQ(d.ModalResult(), mrOk);
    });
    editor->Edit();
    EXPECT_TRUE(editor->Changed());
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(orders->MasterFields(), "custno;city");
    EXPECT_EQ(orders->IndexFieldNames(), "custno;city");
    EXPECT_EQ(orders->IndexName(), "");
    EXPECT_EQ(designer->ModifiedCount(), 1);
}

TEST_F(DesignTest, LeadingFieldsBoundWritesIndexFieldNamesAndAllBoundWritesTheIndexName) {
    auto editor = IndexBasedEditor();
    OnDialog([&](TLinkFields& d) {
        ChooseIndex(d, "order_by_cust");
        Join(d, "custno", "custno");
        Join(d, "city", "city");
        d.Button1->Click();
        EXPECT_EQ(d.IndexNameResult(), "");
        EXPECT_EQ(d.IndexFieldNamesResult(), "custno;city");
        EXPECT_EQ(d.MasterFieldsResult(), "custno;city");
    });
    editor->Edit();
    EXPECT_EQ(orders->IndexFieldNames(), "custno;city");
    EXPECT_EQ(orders->MasterFields(), "custno;city");
    // The edited table works with what the designer wrote: the orders of customer 1 in Oslo.
    customers->Open();
    orders->Open();
    EXPECT_EQ(Values(*orders, "orderno"), (Strings{"10", "12"}));
    orders->Close();
    customers->Close();

    OnDialog([&](TLinkFields& d) {
        EXPECT_EQ(Items(d.DetailList->Items()), (Strings{"orderno"})); // the pairs come back
        Join(d, "orderno", "company");
        d.Button1->Click();
    });
    editor->Edit();
    EXPECT_EQ(orders->IndexName(), "order_by_cust");
    EXPECT_EQ(orders->IndexFieldNames(), "");
    EXPECT_EQ(orders->MasterFields(), "custno;city;company");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DesignTest, ChangingTheIndexReplacesTheDetailFieldsAndDropsThePairs) {
    auto editor = IndexBasedEditor();
    OnDialog([&](TLinkFields& d) {
        ChooseIndex(d, "order_by_cust");
        Join(d, "custno", "custno");
        ChooseIndex(d, "order_by_no");
        EXPECT_EQ(Items(d.DetailList->Items()), (Strings{"orderno"}));
        EXPECT_EQ(Items(d.MasterList->Items()), (Strings{"custno", "company", "city"}));
        EXPECT_EQ(d.BindList->Items()->Count(), 0);
        EXPECT_FALSE(d.ClearButton->Enabled());
        EXPECT_EQ(d.MasterList->ItemIndex(), -1);
        Join(d, "orderno", "custno");
        d.Button1->Click();
    });
    editor->Edit();
    // Every field of the index is joined: the index is chosen by name.
    EXPECT_EQ(orders->IndexName(), "order_by_no");
    EXPECT_EQ(orders->MasterFields(), "custno");
}

TEST_F(DesignTest, AddKeepsDetailOrderAndButtonsFollowTheSelections) {
    auto editor = IndexBasedEditor();
    OnDialog([&](TLinkFields& d) {
        ChooseIndex(d, "order_by_cust");
        EXPECT_FALSE(d.AddButton->Enabled());
        Pick(d.DetailList, "orderno");
        EXPECT_FALSE(d.AddButton->Enabled()); // no master yet
        d.AddButton->Click();                 // disabled: nothing happens
        EXPECT_EQ(d.BindList->Items()->Count(), 0);
        Pick(d.MasterList, "company");
        EXPECT_TRUE(d.AddButton->Enabled());
        d.AddButton->Click();
        EXPECT_FALSE(d.AddButton->Enabled());
        Join(d, "custno", "custno");
        Join(d, "city", "city");
        // Inserted before the first pair whose detail stands later in the index.
        EXPECT_EQ(Items(d.BindList->Items()),
                  (Strings{"custno -> custno", "city -> city", "orderno -> company"}));
        EXPECT_TRUE(d.DetailList->Items()->Count() == 0);
        EXPECT_FALSE(d.DeleteButton->Enabled());
        d.BindList->ClickItem(1);
        EXPECT_TRUE(d.DeleteButton->Enabled());
        d.BindList->ClickItem(1, true); // Ctrl: off again
        EXPECT_FALSE(d.DeleteButton->Enabled());
        d.Button2->Click();
    });
    editor->Edit();
    EXPECT_FALSE(editor->Changed());
}

TEST_F(DesignTest, DeletingSeveralPairsRestoresBothListsInTheirOrder) {
    auto editor = IndexBasedEditor();
    OnDialog([&](TLinkFields& d) {
        ChooseIndex(d, "order_by_cust");
        Join(d, "orderno", "city");
        Join(d, "custno", "custno");
        Join(d, "city", "company");
        d.BindList->ClickItem(0);
        d.BindList->ClickItem(2, true);
        d.DeleteButton->Click();
        EXPECT_EQ(Items(d.BindList->Items()), (Strings{"city -> company"}));
        EXPECT_EQ(Items(d.DetailList->Items()), (Strings{"custno", "orderno"}));
        EXPECT_EQ(Items(d.MasterList->Items()), (Strings{"custno", "city"}));
        EXPECT_TRUE(d.BindList->Selected(0)); // the first remaining pair
        EXPECT_TRUE(d.DeleteButton->Enabled());
        EXPECT_TRUE(d.ClearButton->Enabled());
        EXPECT_FALSE(d.AddButton->Enabled());
        EXPECT_EQ(d.DetailList->SelCount() + d.MasterList->SelCount(), 0);
        d.DeleteButton->Click();
        EXPECT_EQ(d.BindList->Items()->Count(), 0);
        EXPECT_FALSE(d.DeleteButton->Enabled());
        EXPECT_FALSE(d.ClearButton->Enabled());
        EXPECT_EQ(Items(d.DetailList->Items()), (Strings{"custno", "city", "orderno"}));
        EXPECT_EQ(Items(d.MasterList->Items()), (Strings{"custno", "company", "city"}));
        // Nothing is bound any more: one pair at the start passes the check.
        Join(d, "custno", "custno");
        d.Button1->Click();
    });
    editor->Edit();
    EXPECT_EQ(orders->IndexFieldNames(), "custno");
    EXPECT_EQ(orders->MasterFields(), "custno");
}

TEST_F(DesignTest, ClearPutsEverythingBackUnbound) {
    orders->SetIndexFieldNames("custno;city");
    orders->SetMasterFields("custno;city");
    auto editor = IndexBasedEditor();
    OnDialog([&](TLinkFields& d) {
        d.MasterList->ClickItem(0);
        d.ClearButton->Click();
        EXPECT_EQ(d.BindList->Items()->Count(), 0);
        EXPECT_EQ(Items(d.DetailList->Items()), (Strings{"custno", "city", "orderno"}));
        EXPECT_EQ(Items(d.MasterList->Items()), (Strings{"custno", "company", "city"}));
        EXPECT_EQ(d.DetailList->SelCount() + d.MasterList->SelCount(), 0);
        EXPECT_FALSE(d.ClearButton->Enabled());
        EXPECT_FALSE(d.DeleteButton->Enabled());
        EXPECT_FALSE(d.AddButton->Enabled());
        // Unbound again: city alone now leaves a gap at custno.
        Join(d, "city", "city");
        d.Button1->Click();
        EXPECT_EQ(boxes, (Strings{"Error: Field 'custno', from the Detail Fields list, must be linked"}));
        d.Button2->Click();
    });
    editor->Edit();
    EXPECT_FALSE(editor->Changed());
}

TEST_F(DesignTest, CancelChangesNothing) {
    orders->SetIndexFieldNames("custno");
    orders->SetMasterFields("custno");
    auto editor = IndexBasedEditor();
    OnDialog([&](TLinkFields& d) {
        ChooseIndex(d, "order_by_no"); // the temporary table switches, the edited one does not
        Join(d, "orderno", "company");
        d.Button2->Click();
    });
    editor->Edit();
    EXPECT_FALSE(editor->Changed());
    EXPECT_EQ(orders->IndexFieldNames(), "custno");
    EXPECT_EQ(orders->IndexName(), "");
    EXPECT_EQ(orders->MasterFields(), "custno");
    EXPECT_EQ(designer->ModifiedCount(), 0);
    // Closing the window is a cancel too.
    OnDialog([&](TLinkFields& d) {
        Join(d, "city", "company");
        d.Close();
    });
    editor->Edit();
    EXPECT_FALSE(editor->Changed());
    EXPECT_EQ(orders->MasterFields(), "custno");
}

TEST_F(DesignTest, HelpShowsTheDialogsTopic) {
    auto editor = IndexBasedEditor();
    OnDialog([&](TLinkFields& d) {
        d.Help->Click();
        EXPECT_EQ(d.ModalResult(), mrNone);
    });
    editor->Edit();
    EXPECT_EQ(helpShown, (std::vector<THelpContext>{27140}));
}

// ---- Not index based (a table of the current host generation reports itself SQL based)

TEST_F(DesignTest, NotIndexBasedOffersEveryDetailFieldAndWritesIndexFieldNames) {
    orders->SetIndexName("order_by_no");
    auto editor = EditorFor({orders}, "MasterFields");
    auto* link = dynamic_cast<TmSQLTableFieldLinkProperty*>(editor.get());
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->GetIndexBased(), !orders->PSIsSQLBased());
    if (link->GetIndexBased()) GTEST_SKIP() << "this host generation's tables are index based";
    OnDialog([&](TLinkFields& d) {
        EXPECT_FALSE(d.IndexList->Visible());
        EXPECT_FALSE(d.IndexLabel->Visible());
        EXPECT_EQ(Items(d.DetailList->Items()), (Strings{"orderno", "custno", "city", "total"}));
        EXPECT_EQ(Items(d.MasterList->Items()), (Strings{"custno", "company", "city"}));
        Join(d, "city", "city");
        Join(d, "custno", "custno");
        // Pairs follow the detail fields' order; no index, no gap check.
        EXPECT_EQ(Items(d.BindList->Items()), (Strings{"custno -> custno", "city -> city"}));
        d.Button1->Click();
        EXPECT_EQ(d.ModalResult(), mrOk);
    });
    editor->Edit();
    EXPECT_TRUE(link->Changed());
    EXPECT_EQ(orders->IndexFieldNames(), "custno;city");
    EXPECT_EQ(orders->IndexName(), "");
    EXPECT_EQ(orders->MasterFields(), "custno;city");
    EXPECT_EQ(designer->ModifiedCount(), 1);
    // The edited table follows its master with that link.
    customers->Open();
    orders->Open();
    EXPECT_EQ(Values(*orders, "orderno"), (Strings{"10", "12"}));
    customers->Next();
    EXPECT_EQ(Values(*orders, "orderno"), (Strings{"11"}));
}

// ---- A property of another kind of dataset: expression indexes and the primary index

// A master fields editor whose index definitions and choices live in the editor itself.
class OwnIndexesProperty : public TmSQLFieldLinkProperty {
public:
    OwnIndexesProperty(TDesigner* designer, TDataSet* dataSet)
        : TmSQLFieldLinkProperty(designer, 1, dataSet), defs(nullptr) {
        defs.Add("", "orderno", {ixPrimary, ixUnique});
        defs.Add("by_city", "", {});
        defs.Items(1)->SetExpression("upper(city)");
        defs.Add("by_cust", "custno;city", {});
        defs.SetUpdated(true);
    }
    bool GetIndexBased() override { return true; }
    TIndexDefs* GetIndexDefs() override { return &defs; }
    std::string GetIndexFieldNames() override { return indexFieldNames; }
    std::string GetIndexName() override { return indexName; }
    std::string GetMasterFields() override { return masterFields; }
    void SetIndexFieldNames(const std::string& value) override {
        indexFieldNames = value;
        indexName.clear();
        log.push_back("IndexFieldNames=" + value);
    }
    void SetIndexName(const std::string& value) override {
        indexName = value == SPrimary ? std::string() : value;
        indexFieldNames.clear();
    }
    void SetMasterFields(const std::string& value) override {
        masterFields = value;
        log.push_back("MasterFields=" + value);
    }
    void GetFieldNamesForIndex(TStrings* list) override {
        const int index = indexName.empty() ? 0 : defs.IndexOf(indexName);
        if (index < 0) return;
        const std::string fields = defs.Items(index)->Fields();
        size_t pos = 0;
        while (pos < fields.size())
            list->Add(ExtractFieldName(fields, pos));
    }

    TIndexDefs defs;
    std::string indexFieldNames, indexName, masterFields;
    Strings log;
};

TEST_F(DesignTest, ExpressionIndexOffersItsExpressionAsTheOnlyDetailField) {
    OwnIndexesProperty property(designer.get(), orders);
    property.indexName = "by_city";
    OnDialog([&](TLinkFields& d) {
        // An unnamed primary index is listed by the designer's word for it.
        EXPECT_EQ(Items(d.IndexList->Items()), (Strings{SPrimary, "by_city", "by_cust"}));
        EXPECT_EQ(d.IndexList->Text(), "by_city");
        EXPECT_EQ(Items(d.DetailList->Items()), (Strings{"upper(city)"}));
        // The primary index: the designer's word clears the index name, its fields are offered.
        ChooseIndex(d, SPrimary);
        EXPECT_EQ(property.indexName, "");
        EXPECT_EQ(Items(d.DetailList->Items()), (Strings{"orderno"}));
        ChooseIndex(d, "by_city");
        Join(d, "upper(city)", "city");
        d.Button1->Click();
        EXPECT_EQ(d.IndexNameResult(), "by_city");
        EXPECT_EQ(d.IndexFieldNamesResult(), "upper(city)");
    });
    EXPECT_TRUE(EditMasterFields(orders, &property));
    EXPECT_EQ(property.indexName, "by_city");
    EXPECT_EQ(property.masterFields, "city");
    EXPECT_EQ(property.log, (Strings{"MasterFields=city"}));
    // Opened again, the pair on the expression comes back; the property's own Edit tells the
    // designer.
    OnDialog([&](TLinkFields& d) {
        EXPECT_EQ(Items(d.BindList->Items()), (Strings{"upper(city) -> city"}));
        EXPECT_EQ(d.DetailList->Items()->Count(), 0);
        d.Button1->Click();
    });
    property.Edit();
    EXPECT_TRUE(property.Changed());
    EXPECT_EQ(designer->ModifiedCount(), 1);
    EXPECT_EQ(property.indexName, "by_city");
}

// The base editor: no index definitions, no index names, the index setters ignored.
class MasterFieldsOnly : public TmSQLFieldLinkProperty {
public:
    using TmSQLFieldLinkProperty::TmSQLFieldLinkProperty;
    std::string GetMasterFields() override { return masterFields; }
    void SetMasterFields(const std::string& value) override { masterFields = value; }
    std::string masterFields;
};

TEST_F(DesignTest, BaseEditorIsNotIndexBasedAndHasNoIndexes) {
    MasterFieldsOnly property(designer.get(), 1);
    property.Initialize({orders}, "MasterFields");
    EXPECT_EQ(property.DataSet(), orders); // the first component edited
    EXPECT_EQ(property.GetAttributes(), TPropertyAttributes{paDialog});
    TStringList names;
    property.GetIndexNames(&names);
    EXPECT_EQ(names.Count(), 0);
    property.masterFields = "custno";
    OnDialog([&](TLinkFields& d) {
        EXPECT_FALSE(d.IndexList->Visible());
        EXPECT_EQ(Items(d.BindList->Items()), (Strings{})); // no index field names to pair with
        Join(d, "city", "city");
        d.Button1->Click();
    });
    property.Edit();
    EXPECT_EQ(property.masterFields, "city");
    EXPECT_EQ(orders->IndexFieldNames(), ""); // the index setters are ignored
}

} // namespace
} // namespace corvane::test

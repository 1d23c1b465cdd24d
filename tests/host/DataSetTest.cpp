// TDataSet contract driven through the in-memory dataset: event sequences, buffer windows,
// editing, bookmarks, calculated fields, filters, searching and master/detail links.
#include <gtest/gtest.h>

// g++ 12 misreads `delete` of a host object (a destroying operator delete) as mismatched with `new`.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "MemDataSet.h"
#include "host/Application.h"

namespace {

using namespace host;
using hosttest::MemDataSet;

const char* EventName(TDataEvent e) {
    static const char* names[] = {"deFieldChange",     "deRecordChange",    "deDataSetChange",
                                  "deDataSetScroll",   "deLayoutChange",    "deUpdateRecord",
                                  "deUpdateState",     "deCheckBrowseMode", "dePropertyChange",
                                  "deFieldListChange", "deFocusControl",    "deParentScroll"};
    return names[e];
}

// A link that writes every event it receives into the dataset's log.
class LogLink : public TDataLink {
public:
    explicit LogLink(std::vector<std::string>* out) : fOut(out) {}

protected:
    void DataEvent(TDataEvent event, intptr_t info) override {
        std::string text = EventName(event);
        if (event == deDataSetScroll) text += "(" + std::to_string(info) + ")";
        if (event == deUpdateState) text += "(" + std::to_string(DataSource()->DataSet()->State()) + ")";
        fOut->push_back(text);
        TDataLink::DataEvent(event, info);
    }

private:
    std::vector<std::string>* fOut;
};

struct Fixture {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    MemDataSet* ds;
    TDataSource* source;
    std::unique_ptr<LogLink> link;

    explicit Fixture(int rows, int window = 1) {
        ds = new MemDataSet(owner.get(), hosttest::StandardColumns());
        ds->SetName("People");
        for (int i = 1; i <= rows; ++i)
            ds->AddRow({Variant(i), Variant("N" + std::to_string(i)), Variant(i * 1.5)});
        source = new TDataSource(owner.get());
        source->SetDataSet(ds);
        link = std::make_unique<LogLink>(&ds->log);
        link->SetBufferCount(window);
        link->SetDataSource(source);
        HookEvents();
    }

    void HookEvents() {
        auto log = [this](const char* name) { return [this, name](TDataSet*) { ds->log.push_back(name); }; };
        ds->SetBeforeOpen(log("BeforeOpen"));
        ds->SetAfterOpen(log("AfterOpen"));
        ds->SetBeforeClose(log("BeforeClose"));
        ds->SetAfterClose(log("AfterClose"));
        ds->SetBeforeScroll(log("BeforeScroll"));
        ds->SetAfterScroll(log("AfterScroll"));
        ds->SetBeforeEdit(log("BeforeEdit"));
        ds->SetAfterEdit(log("AfterEdit"));
        ds->SetBeforePost(log("BeforePost"));
        ds->SetAfterPost(log("AfterPost"));
        ds->SetBeforeCancel(log("BeforeCancel"));
        ds->SetAfterCancel(log("AfterCancel"));
        ds->SetBeforeInsert(log("BeforeInsert"));
        ds->SetAfterInsert(log("AfterInsert"));
        ds->SetBeforeDelete(log("BeforeDelete"));
        ds->SetAfterDelete(log("AfterDelete"));
        ds->SetBeforeRefresh(log("BeforeRefresh"));
        ds->SetAfterRefresh(log("AfterRefresh"));
        ds->SetOnNewRecord(log("OnNewRecord"));
    }

    std::vector<std::string> Take() {
        std::vector<std::string> out;
        out.swap(ds->log);
        return out;
    }
    int Id() const { return ds->FieldByName("ID")->AsInteger(); }
    std::vector<int> ForwardIds() {
        std::vector<int> ids;
        for (ds->First(); !ds->Eof(); ds->Next())
            ids.push_back(Id());
        return ids;
    }
    std::vector<int> BackwardIds() {
        std::vector<int> ids;
        for (ds->Last(); !ds->Bof(); ds->Prior())
            ids.push_back(Id());
        return ids;
    }
};

using Log = std::vector<std::string>;

std::vector<int> Range(int from, int to) {
    std::vector<int> v;
    for (int i = from; i <= to; ++i)
        v.push_back(i);
    return v;
}

// ---- observable sequences

TEST(DataSetSequences, OpenFetchesTheWindowBeforeBrowseStateAndAfterOpen) {
    Fixture f(5, 3);
    f.ds->Open();
    EXPECT_EQ(f.Take(), (Log{"BeforeOpen", "InternalOpen", "GetRecord(gmNext)", "GetRecord(gmNext)",
                             "GetRecord(gmNext)", "deUpdateState(1)", "AfterOpen", "AfterScroll"}));
    EXPECT_TRUE(f.ds->Bof());
    EXPECT_FALSE(f.ds->Eof());
}

TEST(DataSetSequences, OpenOfEmptyDataSetHasNoAfterScroll) {
    Fixture f(0);
    f.ds->Open();
    const Log log = f.Take();
    EXPECT_EQ(log.back(), "AfterOpen");
    EXPECT_TRUE(f.ds->IsEmpty());
    EXPECT_TRUE(f.ds->Bof());
    EXPECT_TRUE(f.ds->Eof());
}

TEST(DataSetSequences, CloseSendsInactiveStateBetweenBeforeAndInternalClose) {
    Fixture f(2);
    f.ds->Open();
    f.Take();
    f.ds->Close();
    EXPECT_EQ(f.Take(), (Log{"BeforeClose", "deUpdateState(0)", "InternalClose", "AfterClose"}));
    EXPECT_EQ(f.ds->allocated, 0);
}

// A link whose answer to the dataset going inactive fails (a detail that cannot read its rows again).
class FailingCloseLink : public TDataLink {
protected:
    void ActiveChanged() override {
        if (!Active()) throw EDatabaseError("the detail cannot read its rows");
    }
};

TEST(DataSetSequences, CloseReportsALinksFailureButClosesTheCursor) {
    Fixture f(2);
    FailingCloseLink failing;
    failing.SetDataSource(f.source);
    f.ds->Open();
    f.Take();
    EXPECT_THROW(f.ds->Close(), EDatabaseError);
    EXPECT_FALSE(f.ds->Active());
    const Log log = f.Take();
    EXPECT_NE(std::find(log.begin(), log.end(), "InternalClose"), log.end()) << "the cursor closed";
    EXPECT_EQ(std::find(log.begin(), log.end(), "AfterClose"), log.end()) << "the close did not succeed";
    EXPECT_EQ(f.ds->allocated, 0) << "the buffers went with the cursor";
    failing.SetDataSource(nullptr);
    f.ds->Open();
    EXPECT_EQ(f.ForwardIds(), Range(1, 2)) << "the dataset opens again";
}

TEST(DataSetSequences, NextWithinWindowScrollsByZero) {
    Fixture f(5, 3);
    f.ds->Open();
    f.Take();
    f.ds->Next();
    EXPECT_EQ(f.Take(), (Log{"deCheckBrowseMode", "BeforeScroll", "deDataSetScroll(0)", "AfterScroll"}));
}

TEST(DataSetSequences, NextAtBottomOfFullWindowSlidesByMinusOne) {
    Fixture f(5, 3);
    f.ds->Open();
    f.ds->MoveBy(2);
    f.Take();
    f.ds->Next();
    EXPECT_EQ(f.Take(), (Log{"deCheckBrowseMode", "BeforeScroll", "GetRecord(gmNext)", "deDataSetScroll(-1)",
                             "AfterScroll"}));
    EXPECT_EQ(f.Id(), 4);
    EXPECT_EQ(f.link->ActiveRecord(), 2);
}

TEST(DataSetSequences, EditAndPostFollowTheClassicOrder) {
    Fixture f(3);
    f.ds->Open();
    f.Take();
    f.ds->Edit();
    EXPECT_EQ(f.Take(), (Log{"deCheckBrowseMode", "BeforeEdit", "InternalEdit", "deUpdateState(2)",
                             "deRecordChange", "AfterEdit"}));
    f.ds->FieldByName("NAME")->SetAsString("Changed");
    EXPECT_EQ(f.Take(), (Log{"deFieldChange"}));
    EXPECT_TRUE(f.ds->Modified());
    f.ds->Post();
    EXPECT_EQ(f.Take(), (Log{"deUpdateRecord", "deCheckBrowseMode", "BeforePost", "InternalPost",
                             "deUpdateState(1)", "GetRecord(gmCurrent)", "deDataSetChange", "AfterPost"}));
    EXPECT_EQ(f.ds->FieldByName("NAME")->AsString(), "Changed");
}

TEST(DataSetSequences, CancelRestoresTheRowAndSendsBrowseState) {
    Fixture f(3);
    f.ds->Open();
    f.ds->Edit();
    f.ds->FieldByName("NAME")->SetAsString("Temp");
    f.Take();
    f.ds->Cancel();
    EXPECT_EQ(f.Take(), (Log{"deCheckBrowseMode", "BeforeCancel", "InternalCancel", "deUpdateState(1)",
                             "GetRecord(gmCurrent)", "deDataSetChange", "AfterCancel"}));
    EXPECT_EQ(f.ds->FieldByName("NAME")->AsString(), "N1");
}

TEST(DataSetSequences, InsertInitialisesBeforeInsertStateAndScrolls) {
    Fixture f(3);
    f.ds->Open();
    f.Take();
    f.ds->Insert();
    EXPECT_EQ(f.Take(),
              (Log{"deCheckBrowseMode", "BeforeInsert", "BeforeScroll", "InternalInsert", "deUpdateState(3)",
                   "OnNewRecord", "deDataSetChange", "AfterInsert", "AfterScroll"}));
    EXPECT_FALSE(f.ds->Modified());
}

TEST(DataSetSequences, DeleteResyncsAndScrolls) {
    Fixture f(3);
    f.ds->Open();
    f.Take();
    f.ds->Delete();
    EXPECT_EQ(f.Take(), (Log{"deCheckBrowseMode", "BeforeDelete", "BeforeScroll", "InternalDelete",
                             "GetRecord(gmCurrent)", "deDataSetChange", "AfterDelete", "AfterScroll"}));
    EXPECT_EQ(f.Id(), 2);
}

TEST(DataSetSequences, RefreshAndFirstAndGotoBookmark) {
    Fixture f(3);
    f.ds->Open();
    f.Take();
    f.ds->Refresh();
    EXPECT_EQ(f.Take(), (Log{"BeforeRefresh", "deCheckBrowseMode", "InternalRefresh", "GetRecord(gmCurrent)",
                             "deDataSetChange", "AfterRefresh"}));
    f.ds->First();
    EXPECT_EQ(f.Take(), (Log{"deCheckBrowseMode", "BeforeScroll", "GetRecord(gmNext)", "deDataSetChange",
                             "AfterScroll"}));
    f.ds->Next();
    const TBookmark b = f.ds->GetBookmark();
    f.ds->First();
    f.Take();
    f.ds->GotoBookmark(b);
    EXPECT_EQ(f.Take(), (Log{"deCheckBrowseMode", "BeforeScroll", "GetRecord(gmCurrent)", "deDataSetChange",
                             "AfterScroll"}));
    EXPECT_EQ(f.Id(), 2);
}

TEST(DataSetSequences, NavigationPostsAPendingEditFirst) {
    Fixture f(3);
    f.ds->Open();
    f.ds->Edit();
    f.ds->FieldByName("NAME")->SetAsString("Posted");
    f.ds->Next();
    f.ds->Prior();
    EXPECT_EQ(f.ds->FieldByName("NAME")->AsString(), "Posted");
    EXPECT_EQ(f.ds->State(), dsBrowse);
}

// ---- buffer windows

class WindowTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(WindowTest, ForwardAndBackwardVisitEveryRowOnce) {
    const auto [window, rows] = GetParam();
    Fixture f(rows, window);
    f.ds->Open();
    EXPECT_EQ(f.ForwardIds(), Range(1, rows));
    std::vector<int> back = Range(1, rows);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(f.BackwardIds(), back);
    EXPECT_LE(f.ds->BufferedCount(), window);
    EXPECT_EQ(f.ds->BufferedCount(), std::min(window, rows));
    EXPECT_EQ(f.ds->allocated, window + 1);
}

TEST_P(WindowTest, MoveByReportsTheDistanceActuallyMoved) {
    const auto [window, rows] = GetParam();
    Fixture f(rows, window);
    f.ds->Open();
    EXPECT_EQ(f.ds->MoveBy(100), std::max(rows - 1, 0));
    EXPECT_TRUE(f.ds->Eof());
    EXPECT_EQ(f.ds->MoveBy(-100), -std::max(rows - 1, 0));
    EXPECT_TRUE(f.ds->Bof());
    if (rows > 0) {
        EXPECT_EQ(f.Id(), 1);
    }
}

TEST_P(WindowTest, InsertAtTopAndAppendAtEnd) {
    const auto [window, rows] = GetParam();
    Fixture f(rows, window);
    f.ds->Open();
    f.ds->Insert();
    f.ds->FieldByName("ID")->SetAsInteger(100);
    f.ds->Post();
    EXPECT_EQ(f.Id(), 100);
    f.ds->Append();
    f.ds->FieldByName("ID")->SetAsInteger(200);
    f.ds->Post();
    EXPECT_EQ(f.Id(), 200);
    std::vector<int> expected{100};
    for (int i = 1; i <= rows; ++i)
        expected.push_back(i);
    expected.push_back(200);
    EXPECT_EQ(f.ForwardIds(), expected);
}

TEST_P(WindowTest, DeletingTheLastRowLeavesThePreviousOneCurrent) {
    const auto [window, rows] = GetParam();
    Fixture f(rows, window);
    f.ds->Open();
    if (rows == 0) {
        EXPECT_THROW(f.ds->Delete(), EDatabaseError);
        return;
    }
    f.ds->Last();
    f.ds->Delete();
    EXPECT_EQ(f.ds->RowCount(), rows - 1);
    if (rows == 1) {
        EXPECT_TRUE(f.ds->IsEmpty());
        EXPECT_TRUE(f.ds->Eof());
    } else {
        EXPECT_EQ(f.Id(), rows - 1);
        EXPECT_EQ(f.ForwardIds(), Range(1, rows - 1));
    }
}

TEST_P(WindowTest, ResizingTheWindowKeepsTheActiveRow) {
    const auto [window, rows] = GetParam();
    if (rows == 0) return;
    Fixture f(rows, window);
    f.ds->Open();
    f.ds->MoveBy(rows / 2);
    const int id = f.Id();
    f.link->SetBufferCount(window == 1 ? 4 : 1);
    EXPECT_EQ(f.Id(), id);
    f.link->SetBufferCount(window);
    EXPECT_EQ(f.Id(), id);
    EXPECT_EQ(f.ds->allocated, window + 1);
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowTest,
                         ::testing::Combine(::testing::Values(1, 3, 10), ::testing::Values(0, 1, 2, 25)));

// ---- editing

TEST(DataSetEditing, RequiredFieldMustHaveAValue) {
    Fixture f(1);
    f.ds->Open();
    f.ds->Append();
    f.ds->FieldByName("NAME")->SetAsString("no id");
    try {
        f.ds->Post();
        FAIL() << "Post accepted a row without ID";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'ID' must have a value");
    }
    EXPECT_EQ(f.ds->State(), dsInsert);
    f.ds->Cancel();
    EXPECT_EQ(f.ds->RowCount(), 1);
}

TEST(DataSetEditing, PostErrorHandlerCanRetryOrAbort) {
    Fixture f(1);
    f.ds->Open();
    int calls = 0;
    f.ds->SetOnPostError([&](TDataSet* ds, EDatabaseError&, TDataAction& action) {
        ++calls;
        ds->FieldByName("ID")->SetAsInteger(9);
        action = daRetry;
    });
    f.ds->Append();
    f.ds->Post();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(f.Id(), 9);
    f.ds->SetOnPostError([](TDataSet*, EDatabaseError&, TDataAction& action) { action = daAbort; });
    f.ds->Append();
    EXPECT_THROW(f.ds->Post(), EAbort);
}

TEST(DataSetEditing, ReadOnlyDataSetRefusesEdits) {
    Fixture f(1);
    f.ds->SetCanModifyFlag(false);
    f.ds->Open();
    EXPECT_THROW(f.ds->Edit(), EDatabaseError);
    EXPECT_THROW(f.ds->Insert(), EDatabaseError);
    EXPECT_EQ(f.ds->State(), dsBrowse);
}

TEST(DataSetEditing, WritingOutsideEditModeRaisesNotEditing) {
    Fixture f(1);
    f.ds->Open();
    EXPECT_THROW(f.ds->FieldByName("NAME")->SetAsString("x"), EDatabaseError);
    EXPECT_THROW(f.ds->Post(), EDatabaseError);
}

TEST(DataSetEditing, EditOnEmptyDataSetInserts) {
    Fixture f(0);
    f.ds->Open();
    f.ds->Edit();
    EXPECT_EQ(f.ds->State(), dsInsert);
}

TEST(DataSetEditing, CancelOfInsertIntoEmptyDataSetLeavesItEmpty) {
    Fixture f(0, 3);
    f.ds->Open();
    f.ds->Insert();
    f.ds->Cancel();
    EXPECT_TRUE(f.ds->IsEmpty());
    EXPECT_TRUE(f.ds->Eof());
}

TEST(DataSetEditing, UnmodifiedEditIsCancelledByNavigation) {
    Fixture f(2);
    f.ds->Open();
    f.ds->Edit();
    f.Take();
    f.ds->Next();
    const Log log = f.Take();
    EXPECT_NE(std::find(log.begin(), log.end(), "InternalCancel"), log.end());
    EXPECT_EQ(std::find(log.begin(), log.end(), "InternalPost"), log.end());
}

TEST(DataSetEditing, InsertRecordAndAppendRecordAddRowsWithoutRequiredCheck) {
    Fixture f(2, 3);
    f.ds->Open();
    f.ds->AppendRecord({Variant(7), Variant("seven"), Null()});
    EXPECT_EQ(f.Id(), 7);
    EXPECT_TRUE(f.ds->FieldByName("AMOUNT")->IsNull());
    f.ds->First();
    f.ds->InsertRecord({Variant(5), Unassigned(), Variant(2.5)});
    EXPECT_EQ(f.ForwardIds(), (std::vector<int>{5, 1, 2, 7}));
    EXPECT_EQ(f.ds->State(), dsBrowse);
}

TEST(DataSetEditing, OldValueReadsTheRowBeforeTheEdit) {
    Fixture f(1);
    f.ds->Open();
    f.ds->Edit();
    f.ds->FieldByName("NAME")->SetAsString("New");
    EXPECT_EQ(f.ds->FieldByName("NAME")->OldValue().AsString(), "N1");
    EXPECT_EQ(f.ds->FieldByName("NAME")->NewValue().AsString(), "New");
    EXPECT_EQ(f.ds->State(), dsEdit);
}

TEST(DataSetEditing, DisableControlsSilencesLinksAndEnableSendsOneChange) {
    Fixture f(5, 3);
    f.ds->Open();
    f.Take();
    f.ds->DisableControls();
    f.ds->Next();
    f.ds->Next();
    Log log = f.Take();
    EXPECT_EQ(
        std::count_if(log.begin(), log.end(), [](const std::string& s) { return s.rfind("de", 0) == 0; }), 0);
    f.ds->EnableControls();
    EXPECT_EQ(f.Take(), (Log{"deDataSetChange"}));
}

// ---- bookmarks

TEST(DataSetBookmarks, BookmarkSurvivesDeletingOtherRows) {
    Fixture f(5, 3);
    f.ds->Open();
    f.ds->MoveBy(3);
    const TBookmark four = f.ds->GetBookmark();
    f.ds->First();
    f.ds->Delete();
    f.ds->Delete();
    EXPECT_TRUE(f.ds->BookmarkValid(four));
    f.ds->GotoBookmark(four);
    EXPECT_EQ(f.Id(), 4);
}

TEST(DataSetBookmarks, BookmarkOfDeletedRowIsInvalidAndRaisesRecordNotFound) {
    Fixture f(3);
    f.ds->Open();
    f.ds->Next();
    const TBookmark two = f.ds->GetBookmark();
    f.ds->Delete();
    EXPECT_FALSE(f.ds->BookmarkValid(two));
    EXPECT_THROW(f.ds->GotoBookmark(two), EDatabaseError);
}

TEST(DataSetBookmarks, BookmarkStringRoundTripAndComparison) {
    Fixture f(3);
    f.ds->Open();
    const TBookmark first = f.ds->GetBookmark();
    f.ds->Last();
    const TBookmarkStr last = f.ds->Bookmark();
    EXPECT_EQ(last.size(), 8u);
    f.ds->First();
    f.ds->SetBookmark(last);
    EXPECT_EQ(f.Id(), 3);
    EXPECT_LT(f.ds->CompareBookmarks(first, f.ds->GetBookmark()), 0);
    EXPECT_EQ(f.ds->CompareBookmarks({}, {}), 0);
    f.ds->SetBookmark(""); // no-op
    EXPECT_EQ(f.Id(), 3);
}

TEST(DataSetBookmarks, BookmarkOfWrongSizeIsRejected) {
    Fixture f(2);
    f.ds->Open();
    EXPECT_THROW(f.ds->GotoBookmark(TBookmark{1, 2}), EDatabaseError);
}

TEST(DataSetBookmarks, NoBookmarkWhileInsertingOrEmpty) {
    Fixture f(0);
    f.ds->Open();
    EXPECT_TRUE(f.ds->GetBookmark().empty());
    f.ds->Insert();
    EXPECT_TRUE(f.ds->GetBookmark().empty());
}

// ---- calculated fields, filters, searching

TEST(DataSetCalcFields, CalculatedFieldIsComputedPerRowAndAfterFieldChanges) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new MemDataSet(owner.get(), hosttest::StandardColumns());
    ds->AddRow({Variant(1), Variant("a"), Variant(2.0)});
    ds->AddRow({Variant(2), Variant("b"), Variant(3.0)});
    ds->FieldDefs()->Update();
    for (int i = 0; i < ds->FieldDefs()->Count(); ++i)
        ds->FieldDefs()->Items(i)->CreateField(ds);
    auto* doubled = new TFloatField(ds);
    doubled->SetFieldName("DOUBLED");
    doubled->SetFieldKind(fkCalculated);
    doubled->SetDataSet(ds);
    int calcs = 0;
    ds->SetOnCalcFields([&](TDataSet* d) {
        ++calcs;
        EXPECT_EQ(d->State() == dsCalcFields || d->State() == dsEdit, true);
        d->FieldByName("DOUBLED")->SetAsFloat(d->FieldByName("AMOUNT")->AsFloat() * 2);
    });
    ds->Open();
    EXPECT_FALSE(ds->DefaultFields());
    EXPECT_EQ(doubled->FieldNo(), -1);
    EXPECT_DOUBLE_EQ(doubled->AsFloat(), 4.0);
    ds->Next();
    EXPECT_DOUBLE_EQ(doubled->AsFloat(), 6.0);
    ds->Edit();
    ds->FieldByName("AMOUNT")->SetAsFloat(10);
    EXPECT_DOUBLE_EQ(doubled->AsFloat(), 20.0);
    EXPECT_GT(calcs, 2);
    EXPECT_FALSE(doubled->CanModify());
    ds->Close();
    EXPECT_EQ(ds->FieldCount(), 4); // persistent fields stay
}

TEST(DataSetFilters, OnFilterRecordHidesRowsWhileFiltered) {
    Fixture f(10, 3);
    f.ds->SetOnFilterRecord([](TDataSet* d, bool& accept) {
        EXPECT_EQ(d->State(), dsFilter);
        accept = d->FieldByName("ID")->AsInteger() % 2 == 0;
    });
    f.ds->SetFiltered(true);
    f.ds->Open();
    EXPECT_EQ(f.ForwardIds(), (std::vector<int>{2, 4, 6, 8, 10}));
    f.ds->SetFiltered(false);
    f.ds->First();
    EXPECT_EQ(f.ForwardIds().size(), 10u);
}

TEST(DataSetFilters, ExceptionInFilterGoesToTheHandlerAndKeepsAccept) {
    Fixture f(3);
    std::vector<std::string> handled;
    TObject* handledSender = nullptr;
    TExceptionEvent previous = Application().SetOnException([&](TObject* sender, const std::exception& e) {
        handledSender = sender;
        handled.push_back(e.what());
    });
    f.ds->SetOnFilterRecord([](TDataSet* d, bool& accept) {
        if (d->FieldByName("ID")->AsInteger() == 2) {
            accept = false;
            throw EDatabaseError("boom");
        }
    });
    f.ds->SetFiltered(true);
    f.ds->Open();
    EXPECT_EQ(f.ForwardIds(), (std::vector<int>{1, 3}));
    const Log log = f.Take();
    EXPECT_NE(std::find(log.begin(), log.end(), "HandleException"), log.end());
    Application().SetOnException(previous);
    // The base handler hands the exception to the application object, with the dataset as sender.
    EXPECT_EQ(handled, (std::vector<std::string>{"boom"}));
    EXPECT_EQ(handledSender, f.ds);
}

TEST(DataSetSearch, LocateMovesToTheRowAndLookupDoesNot) {
    Fixture f(10, 3);
    f.ds->Open();
    EXPECT_TRUE(f.ds->Locate("NAME", Variant("n7"), {loCaseInsensitive}));
    EXPECT_EQ(f.Id(), 7);
    EXPECT_FALSE(f.ds->Locate("ID;NAME", VarArrayOf({Variant(3), Variant("N4")}), {}));
    EXPECT_EQ(f.Id(), 7);
    EXPECT_EQ(f.ds->Lookup("ID", Variant(2), "NAME").AsString(), "N2");
    EXPECT_TRUE(f.ds->Lookup("ID", Variant(99), "NAME").IsNull());
    const Variant both = f.ds->Lookup("ID", Variant(3), "NAME;AMOUNT");
    EXPECT_EQ(both[0].AsString(), "N3");
    EXPECT_DOUBLE_EQ(both[1].AsDouble(), 4.5);
    EXPECT_EQ(f.Id(), 7);
}

TEST(DataSetSearch, FindFirstNextAndLastUseTheFilterEvenWhenNotFiltered) {
    Fixture f(10);
    f.ds->SetOnFilterRecord(
        [](TDataSet* d, bool& accept) { accept = d->FieldByName("ID")->AsInteger() % 3 == 0; });
    f.ds->Open();
    EXPECT_TRUE(f.ds->FindFirst());
    EXPECT_EQ(f.Id(), 3);
    EXPECT_TRUE(f.ds->FindNext());
    EXPECT_EQ(f.Id(), 6);
    EXPECT_TRUE(f.ds->FindLast());
    EXPECT_EQ(f.Id(), 9);
    EXPECT_FALSE(f.ds->FindNext());
    EXPECT_FALSE(f.ds->Found());
    EXPECT_EQ(f.Id(), 9);
}

TEST(DataSetFieldAccess, FieldValuesAndFieldLists) {
    Fixture f(2);
    f.ds->Open();
    EXPECT_EQ(f.ds->FieldValues("NAME").AsString(), "N1");
    const Variant v = f.ds->FieldValues("ID; NAME");
    EXPECT_EQ(v[0].AsInteger(), 1);
    EXPECT_EQ(v[1].AsString(), "N1");
    f.ds->Edit();
    f.ds->SetFieldValues("ID;NAME", VarArrayOf({Variant(5), Variant("five")}));
    f.ds->Post();
    EXPECT_EQ(f.Id(), 5);
    std::vector<TField*> list;
    EXPECT_THROW(f.ds->GetFieldList(list, "ID;;NAME"), EDatabaseError);
    try {
        f.ds->FieldByName("NOPE");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "People: Field 'NOPE' not found");
    }
    EXPECT_EQ(f.ds->FindField("name"), f.ds->Fields()->Fields(1));
    EXPECT_EQ(f.ds->FieldByNumber(3)->FieldName(), "AMOUNT");
}

TEST(DataSetLifecycle, DefaultFieldsAreCreatedAtOpenAndFreedAtClose) {
    Fixture f(1);
    f.ds->Open();
    EXPECT_TRUE(f.ds->DefaultFields());
    EXPECT_EQ(f.ds->FieldCount(), 3);
    EXPECT_EQ(f.ds->FieldByName("ID")->FieldNo(), 1);
    EXPECT_TRUE(f.ds->FieldByName("ID")->Required());
    f.ds->Close();
    EXPECT_EQ(f.ds->FieldCount(), 0);
    EXPECT_THROW(f.ds->CheckActive(), EDatabaseError);
}

TEST(DataSetLifecycle, DestroyingAnOpenDataSetSkipsCloseEventsAndFreesBuffers) {
    auto* owner = new TComponent(nullptr);
    auto* ds = new MemDataSet(owner, hosttest::StandardColumns());
    ds->AddRow({Variant(1), Variant("a"), Variant(1.0)});
    bool closeEvent = false;
    ds->SetBeforeClose([&](TDataSet*) { closeEvent = true; });
    auto* source = new TDataSource(owner);
    source->SetDataSet(ds);
    ds->Open();
    delete ds;
    EXPECT_FALSE(closeEvent);
    EXPECT_EQ(source->DataSet(), nullptr);
    EXPECT_EQ(source->State(), dsInactive);
    delete owner;
}

TEST(DataSetLifecycle, DeletingAFieldClosesTheDataSet) {
    Fixture f(1);
    f.ds->Open();
    delete f.ds->FieldByName("NAME");
    EXPECT_FALSE(f.ds->Active());
    EXPECT_EQ(f.ds->allocated, 0);
}

TEST(DataSetLifecycle, BlockReadStateSilencesScrollEvents) {
    Fixture f(5, 1);
    f.ds->Open();
    f.ds->SetBlockReadSize(10);
    EXPECT_EQ(f.ds->State(), dsBlockRead);
    f.Take();
    f.ds->Next();
    f.ds->Next();
    Log log = f.Take();
    EXPECT_EQ(std::count(log.begin(), log.end(), "deDataSetScroll(0)"), 0);
    EXPECT_EQ(f.Id(), 3);
    f.ds->SetBlockReadSize(0);
    EXPECT_EQ(f.ds->State(), dsBrowse);
}

// A descendant with its own block-read buffer, released through the setter.
class BlockReadDataSet : public MemDataSet {
public:
    using MemDataSet::MemDataSet;
    std::vector<int> sizes;
    std::vector<uint8_t> blockBuffer;
    void SetBlockReadSize(int value) override {
        sizes.push_back(value);
        TDataSet::SetBlockReadSize(value);
        blockBuffer.assign(static_cast<size_t>(value) * 16, 0);
    }
};

TEST(DataSetLifecycle, CloseReleasesABlockReadThroughTheVirtualSetter) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new BlockReadDataSet(owner.get(), hosttest::StandardColumns());
    ds->AddRow({Variant(1), Variant("a"), Variant(1.0)});
    ds->Open();
    ds->SetBlockReadSize(10);
    EXPECT_EQ(ds->blockBuffer.size(), 160u);
    ds->Close();
    EXPECT_EQ(ds->sizes, (std::vector<int>{10, 0}));
    EXPECT_TRUE(ds->blockBuffer.empty());
    EXPECT_EQ(ds->BlockReadSize(), 0);
    EXPECT_EQ(ds->State(), dsInactive);
}

// ---- data sources and master/detail

TEST(DataLinks, SourceMirrorsStateAndReportsDataChanges) {
    Fixture f(3);
    int states = 0;
    std::vector<TField*> changes;
    f.source->SetOnStateChange([&](TObject*) { ++states; });
    f.source->SetOnDataChange([&](TObject*, TField* field) { changes.push_back(field); });
    f.ds->Open();
    EXPECT_EQ(f.source->State(), dsBrowse);
    EXPECT_EQ(states, 1);
    f.source->Edit();
    EXPECT_EQ(f.source->State(), dsEdit);
    changes.clear();
    f.ds->FieldByName("NAME")->SetAsString("x");
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0], f.ds->FieldByName("NAME"));
    f.source->SetEnabled(false);
    EXPECT_EQ(f.source->State(), dsInactive);
    EXPECT_FALSE(f.link->Active());
}

TEST(DataLinks, CircularLinkIsRefused) {
    Fixture f(1);
    // A second dataset whose master source is f.source cannot become that source's dataset.
    class Detail : public MemDataSet {
    public:
        using MemDataSet::MemDataSet;
        TDataSource* master = nullptr;

    protected:
        TDataSource* GetDataSource() override { return master; }
    };
    auto* detail = new Detail(f.owner.get(), hosttest::StandardColumns());
    detail->master = f.source;
    auto* other = new TDataSource(f.owner.get());
    other->SetDataSet(detail);
    EXPECT_TRUE(detail->IsLinkedTo(other));
    EXPECT_THROW(f.source->SetDataSet(detail), EDatabaseError);
    EXPECT_TRUE(f.source->IsLinkedTo(detail));
}

TEST(DataLinks, MasterDataLinkDrivesTheDetailOnEveryMasterScroll) {
    Fixture master(3, 3);
    auto* detail = new MemDataSet(master.owner.get(), {{"MASTER_ID", ftInteger}, {"ITEM", ftString, 10}});
    for (int m = 1; m <= 3; ++m)
        for (int i = 0; i < m; ++i)
            detail->AddRow({Variant(m), Variant("item" + std::to_string(i))});
    int masterId = 0;
    TMasterDataLink link(detail);
    link.SetOnMasterChange([&](TObject*) {
        masterId = link.Fields()[0]->AsInteger();
        detail->SetFiltered(true);
        detail->First();
    });
    int disabled = 0;
    link.SetOnMasterDisable([&](TObject*) { ++disabled; });
    detail->SetOnFilterRecord(
        [&](TDataSet* d, bool& accept) { accept = d->FieldByName("MASTER_ID")->AsInteger() == masterId; });
    link.SetFieldNames("ID");
    link.SetDataSource(master.source);
    detail->Open();
    master.ds->Open();
    EXPECT_EQ(masterId, 1);
    auto count = [&] {
        int n = 0;
        for (detail->First(); !detail->Eof(); detail->Next())
            ++n;
        return n;
    };
    EXPECT_EQ(count(), 1);
    master.ds->Next();
    EXPECT_EQ(masterId, 2);
    EXPECT_EQ(count(), 2);
    master.ds->Last();
    EXPECT_EQ(count(), 3);
    master.ds->Close();
    EXPECT_EQ(disabled, 1);
    link.SetFieldNames("NOPE");
    EXPECT_THROW(master.ds->Open(), EDatabaseError);
}

} // namespace

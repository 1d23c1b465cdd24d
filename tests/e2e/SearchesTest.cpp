// Hostile values as search values: key searches and ranges on the indexed CHAR column, Locate and
// Lookup with and without their options, and filter texts. Each search must find exactly the rows
// holding the value, and searching writes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "HostileFixture.h"

namespace corvane::test {
namespace {

std::string Folded(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

host::Variant AsVariant(const Value& v) {
    return v ? host::Variant(*v) : host::Null();
}

// The value as a quoted string of the filter syntax (quotes doubled).
std::string FilterLiteral(const std::string& value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

class SearchesTest : public HostileTest {
protected:
    // The ids of the rows whose s equals v.
    std::vector<int> Holding(const Value& v) const {
        return ModelIds([&](const Row& row) { return row.s == v; });
    }
    // Locates v in field with options; the row found must be one of expected (none: not found).
    void ExpectLocate(TmSQLTable* table, const std::string& field, const Value& v,
                      host::TLocateOptions options, const std::vector<int>& expected) {
        const bool found = table->Locate(field, AsVariant(v), options);
        ASSERT_EQ(found, !expected.empty());
        if (found) {
            EXPECT_NE(std::find(expected.begin(), expected.end(), CurrentId(*table)), expected.end())
                << "found row " << CurrentId(*table);
        }
    }
};

TEST_F(SearchesTest, FindKeyFindNearestAndGotoKeyOnTheIndexedColumn) {
    TmSQLTable* table = OpenT("t_k");
    ForEachValue(
        "FindKey",
        [&](size_t i, const Value& v) {
            table->First();
            ASSERT_TRUE(table->FindKey({host::Variant(*v)}));
            EXPECT_EQ(CurrentId(*table), IdOf(i));
            EXPECT_FALSE(table->FindKey({host::Variant(*v + "~")})) << "a longer key matches nothing";
        },
        false);
    ForEachValue(
        "FindNearest",
        [&](size_t i, const Value& v) {
            table->Last();
            table->FindNearest({host::Variant(*v)});
            EXPECT_EQ(CurrentId(*table), IdOf(i));
            EXPECT_EQ(Read(table->FieldByName("k")), v);
        },
        false);
    ForEachValue(
        "GotoKey",
        [&](size_t i, const Value& v) {
            table->First();
            table->SetKey();
            table->FieldByName("k")->SetAsString(*v);
            ASSERT_TRUE(table->GotoKey());
            EXPECT_EQ(CurrentId(*table), IdOf(i));
        },
        false);
}

TEST_F(SearchesTest, KeysTheColumnCannotHoldFindNothing) {
    TmSQLTable* table = OpenT("t_k");
    const std::string fullWidth = std::string(kWidth - 2, 'w') + "'\\";
    ASSERT_TRUE(table->FindKey({host::Variant(fullWidth)}));
    const int at = CurrentId(*table);
    EXPECT_FALSE(table->FindKey({host::Variant(fullWidth + "x")})) << "not the row holding the cut text";
    EXPECT_EQ(CurrentId(*table), at) << "a failed search leaves the current row";
    EXPECT_FALSE(table->FindKey({host::Null()})) << "the indexed column holds no NULL";
    const std::string tooLong = fullWidth + "x";
    EXPECT_FALSE(table->Locate("k", host::Variant(tooLong), {}));
    EXPECT_FALSE(table->Locate("s", host::Variant(tooLong), {}));
    table->SetRange({host::Variant(tooLong)}, {host::Variant(tooLong)});
    EXPECT_TRUE(AllIds(*table).empty()) << "no row lies between the long key and itself";
    table->CancelRange();
    // Nearest: the first row after the long key in key order, not the row holding its cut text.
    std::vector<std::string> keys;
    for (const Row& row : fModelT)
        keys.push_back(*row.k);
    std::sort(keys.begin(), keys.end());
    const auto after = std::upper_bound(keys.begin(), keys.end(), tooLong);
    table->FindNearest({host::Variant(tooLong)});
    if (after != keys.end()) {
        EXPECT_EQ(table->FieldByName("k")->AsString(), *after);
    }
    table->SetFiltered(true);
    table->SetFilter("k = " + FilterLiteral(tooLong));
    EXPECT_TRUE(AllIds(*table).empty());
    ExpectModel("searches");
}

TEST_F(SearchesTest, RangesOnTheIndexedColumnHoldExactlyTheValuesRow) {
    TmSQLTable* table = OpenT("t_k");
    ForEachValue(
        "SetRange",
        [&](size_t i, const Value& v) {
            table->SetRange({host::Variant(*v)}, {host::Variant(*v)});
            EXPECT_EQ(AllIds(*table), std::vector<int>{IdOf(i)});
            table->CancelRange();
            EXPECT_EQ(table->RecordCount(), static_cast<int>(fModelT.size()));
        },
        false);
    ForEachValue(
        "ApplyRange",
        [&](size_t i, const Value& v) {
            table->SetRangeStart();
            table->FieldByName("k")->SetAsString(*v);
            table->SetRangeEnd();
            table->FieldByName("k")->SetAsString(*v);
            table->ApplyRange();
            EXPECT_EQ(AllIds(*table), std::vector<int>{IdOf(i)});
            table->CancelRange();
        },
        false);
}

TEST_F(SearchesTest, ADetailLinkedOnTheKeyShowsTheDecoysRowsOfEachMasterValue) {
    TmSQLTable* master = OpenT("t_id");
    TmSQLTable* detail = NewTmTable("d");
    detail->SetIndexName("d_k");
    detail->SetMasterSource(NewSource(master));
    detail->SetMasterFields("k");
    detail->Open();
    ForEachValue("master-detail link", [&](size_t i, const Value& v) {
        ASSERT_TRUE(master->FindKey({host::Variant(IdOf(i))}));
        EXPECT_EQ(AllIds(*detail), std::vector<int>{IdOf(i)}) << "the decoy row of " << Describe(v);
    });
}

TEST_F(SearchesTest, LocateAndLookupWithAndWithoutOptions) {
    TmSQLTable* table = OpenT("t_id");
    ForEachValue("Locate", [&](size_t, const Value& v) {
        ExpectLocate(table, "s", v, {}, Holding(v));
        ExpectLocate(table, "k", KeyOf(v), {}, ModelIds([&](const Row& row) { return row.k == KeyOf(v); }));
    });
    ForEachValue(
        "Locate loCaseInsensitive",
        [&](size_t, const Value& v) {
            ExpectLocate(table, "s", v, {host::loCaseInsensitive},
                         ModelIds([&](const Row& row) { return row.s && Folded(*row.s) == Folded(*v); }));
        },
        false);
    ForEachValue(
        "Locate loPartialKey",
        [&](size_t, const Value& v) {
            ExpectLocate(table, "s", v, {host::loPartialKey},
                         ModelIds([&](const Row& row) { return row.s && row.s->starts_with(*v); }));
            ExpectLocate(
                table, "s", v, {host::loPartialKey, host::loCaseInsensitive},
                ModelIds([&](const Row& row) { return row.s && Folded(*row.s).starts_with(Folded(*v)); }));
        },
        false);
    ForEachValue("Locate on two fields", [&](size_t, const Value& v) {
        const host::Variant values = host::VarArrayOf({host::Variant(KeyOf(v)), AsVariant(v)});
        const std::vector<int> expected =
            ModelIds([&](const Row& row) { return row.k == KeyOf(v) && row.s == v; });
        ASSERT_TRUE(table->Locate("k;s", values, {}));
        EXPECT_EQ(std::vector<int>{CurrentId(*table)}, expected);
    });
    ForEachValue("Lookup", [&](size_t i, const Value& v) {
        table->First();
        const host::Variant found = table->Lookup("s", AsVariant(v), "id;m");
        ASSERT_TRUE(found.IsArray());
        EXPECT_EQ(found[0].AsInteger(), IdOf(i));
        EXPECT_EQ(found[1].IsNull() ? Value() : Value(found[1].AsString()), v);
        EXPECT_EQ(CurrentId(*table), IdOf(0)) << "Lookup leaves the current row";
        // The memo read first must not bring the current row's values into the row found.
        const host::Variant memoFirst = table->Lookup("s", AsVariant(v), "m;id;s");
        ASSERT_TRUE(memoFirst.IsArray());
        EXPECT_EQ(memoFirst[1].AsInteger(), IdOf(i));
        EXPECT_EQ(memoFirst[2].IsNull() ? Value() : Value(memoFirst[2].AsString()), v);
    });
}

TEST_F(SearchesTest, FilterTextsWithTheValueQuotedMatchExactlyItsRows) {
    TmSQLTable* table = OpenT("t_id");
    table->SetFiltered(true);
    ForEachValue("Filter", [&](size_t, const Value& v) {
        const std::string text = v ? "s = " + FilterLiteral(*v) : "s = null";
        table->SetFilterOptions({host::foNoPartialCompare});
        table->SetFilter(text);
        EXPECT_EQ(AllIds(*table), Holding(v)) << text;
        table->SetFilterOptions({});
        if (v && !v->ends_with("*")) {
            EXPECT_EQ(AllIds(*table), Holding(v)) << text;
        }
    });
    ForEachValue(
        "Filter foCaseInsensitive",
        [&](size_t, const Value& v) {
            const std::string text = "s = " + FilterLiteral(*v);
            table->SetFilterOptions({host::foNoPartialCompare, host::foCaseInsensitive});
            table->SetFilter(text);
            EXPECT_EQ(AllIds(*table),
                      ModelIds([&](const Row& row) { return row.s && Folded(*row.s) == Folded(*v); }))
                << text;
        },
        false);
    table->SetFilter("");
    EXPECT_EQ(table->RecordCount(), static_cast<int>(fModelT.size()));
}

} // namespace
} // namespace corvane::test

// Field and index definitions, parameters, ParseSQL and the type maps.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>

#include "MemDataSet.h"

namespace {

using namespace host;
using hosttest::MemDataSet;

// ---- ParseSQL

struct Parsed {
    std::string sql;
    std::vector<std::string> names;
};

Parsed Parse(const std::string& sql) {
    TParams params;
    Parsed out;
    out.sql = params.ParseSQL(sql, true);
    for (int i = 0; i < params.Count(); ++i)
        out.names.push_back(static_cast<TParam*>(static_cast<TCollection&>(params).Items(i))->Name());
    return out;
}

TEST(ParseSQL, ReplacesReferencesAndKeepsTheDelimiter) {
    const Parsed p = Parse("select * from t where a = :a and b=:b,:c;\r\n:d)");
    EXPECT_EQ(p.sql, "select * from t where a = ? and b=?,?;\r\n?)");
    EXPECT_EQ(p.names, (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(ParseSQL, OnlyTheClassicDelimitersEndAName) {
    EXPECT_EQ(Parse("x=:p=1").names, (std::vector<std::string>{"p=1"}));
    EXPECT_EQ(Parse(":a+:b").names, (std::vector<std::string>{"a+:b"}));
    EXPECT_EQ(Parse(":a\tb").names, (std::vector<std::string>{"a\tb"}));
}

TEST(ParseSQL, DoubleColonIsAnEscapedColon) {
    const Parsed p = Parse("select a::int, b from t where c = :c");
    EXPECT_EQ(p.sql, "select a:int, b from t where c = ?");
    EXPECT_EQ(p.names, (std::vector<std::string>{"c"}));
}

TEST(ParseSQL, ColonsInsideLiteralsAreLeftAlone) {
    const Parsed p = Parse("select * from t where d = '12:30' and n = \"x:y\" and m = `a:b` and k = :k");
    EXPECT_EQ(p.sql, "select * from t where d = '12:30' and n = \"x:y\" and m = `a:b` and k = ?");
    EXPECT_EQ(p.names, (std::vector<std::string>{"k"}));
}

TEST(ParseSQL, ABackslashInsideALiteralTakesTheNextCharacterAsItIs) {
    // As mSQL reads strings: \' does not end the literal, so the marker after it is found.
    Parsed p = Parse("select * from t where v = 'it\\'s' and k = :n");
    EXPECT_EQ(p.sql, "select * from t where v = 'it\\'s' and k = ?");
    EXPECT_EQ(p.names, (std::vector<std::string>{"n"}));
    // An escaped backslash before the closing quote ends the literal there.
    p = Parse("v = 'dir\\\\' and k = :k");
    EXPECT_EQ(p.sql, "v = 'dir\\\\' and k = ?");
    EXPECT_EQ(p.names, (std::vector<std::string>{"k"}));
    // A colon after an escaped quote is still inside the literal.
    p = Parse("v = 'a\\':b' or w = :w");
    EXPECT_EQ(p.sql, "v = 'a\\':b' or w = ?");
    EXPECT_EQ(p.names, (std::vector<std::string>{"w"}));
    // Outside a literal a backslash is an ordinary character; a trailing one is kept.
    EXPECT_EQ(Parse("a \\ :x").names, (std::vector<std::string>{"x"}));
    EXPECT_EQ(Parse("v = 'open\\").sql, "v = 'open\\");
}

TEST(ParseSQL, QuotedNamesMayContainSpacesAndLoseTheirQuotes) {
    const Parsed p = Parse("where a = :\"my param\" and b = :'x y', c = :`q`");
    EXPECT_EQ(p.sql, "where a = ? and b = ?, c = ?");
    EXPECT_EQ(p.names, (std::vector<std::string>{"my param", "x y", "q"}));
}

TEST(ParseSQL, TrailingColonAndDuplicates) {
    const Parsed p = Parse("a = :x or b = :X or c = :");
    EXPECT_EQ(p.sql, "a = ? or b = ? or c = ?");
    EXPECT_EQ(p.names, (std::vector<std::string>{"x", "X", ""}));
}

TEST(ParseSQL, WithoutCreateTheParamsStay) {
    TParams params;
    params.CreateParam(ftInteger, "keep", ptInput);
    EXPECT_EQ(params.ParseSQL("x = :a", false), "x = ?");
    EXPECT_EQ(params.Count(), 1);
}

// ---- TParam / TParams

TEST(Params, DuplicateNamesShareTheFirstItem) {
    TParams params;
    params.ParseSQL("a = :id or b = :ID", true);
    params.Items(1)->SetAsInteger(7);
    EXPECT_EQ(params.Items(0)->AsInteger(), 7);
    EXPECT_EQ(params.Items(0)->DataType(), ftInteger);
    EXPECT_EQ(params.ParamByName("Id")->AsInteger(), 7);
}

TEST(Params, ValueInfersTheTypeAndBoundTracksAssignment) {
    TParams params;
    TParam* p = params.CreateParam(ftUnknown, "p", ptInput);
    EXPECT_TRUE(p->IsNull());
    EXPECT_FALSE(p->Bound());
    p->SetValue(Variant(2.5));
    EXPECT_EQ(p->DataType(), ftFloat);
    EXPECT_TRUE(p->Bound());
    p->Clear();
    EXPECT_TRUE(p->IsNull());
    EXPECT_TRUE(p->Bound());
    EXPECT_EQ(p->AsString(), "");
    p->SetAsBoolean(true);
    EXPECT_EQ(p->AsString(), "True");
    p->SetDataType(ftString);
    EXPECT_TRUE(p->IsNull());
    TParam* q = params.CreateParam(ftUnknown, "q", ptInput);
    q->SetValue(Variant("text"));
    EXPECT_EQ(q->DataType(), ftString);
    TParam* d = params.CreateParam(ftUnknown, "d", ptInput);
    d->SetValue(Variant::FromDateTime(1.0));
    EXPECT_EQ(d->DataType(), ftDateTime);
}

TEST(Params, NativeDataAndSizes) {
    TParams params;
    TParam* p = params.CreateParam(ftUnknown, "p", ptInput);
    p->SetAsDate(EncodeDate(1899, 12, 30));
    EXPECT_EQ(p->GetDataSize(), 4);
    int32_t day = 0;
    p->GetData(&day);
    EXPECT_EQ(day, 693594);
    p->SetAsString("abc");
    EXPECT_EQ(p->GetDataSize(), 4);
    char text[4] = {};
    p->GetData(text);
    EXPECT_STREQ(text, "abc");
    p->SetAsBoolean(true);
    uint16_t b = 0;
    p->GetData(&b);
    EXPECT_EQ(b, 1);
    p->SetAsSmallInt(-3);
    int16_t s = 0;
    p->GetData(&s);
    EXPECT_EQ(s, -3);
    const double ms = 693595.0 * 86400000.0;
    p->SetDataType(ftDateTime);
    p->SetData(&ms);
    EXPECT_DOUBLE_EQ(p->AsDateTime(), 1.0);
    p->SetDataType(ftUnknown);
    EXPECT_THROW(p->GetDataSize(), EDatabaseError);
    p->SetDataType(ftCursor);
    EXPECT_THROW(p->GetDataSize(), EDatabaseError);
}

TEST(Params, AssignValuesCopiesOnlyNamesholders) {
    TParams target, source;
    target.CreateParam(ftInteger, "a", ptInput);
    target.CreateParam(ftInteger, "b", ptInput);
    source.CreateParam(ftUnknown, "B", ptInput)->SetAsString("x");
    source.CreateParam(ftUnknown, "c", ptInput)->SetAsInteger(1);
    target.AssignValues(&source);
    EXPECT_TRUE(target.Items(0)->IsNull());
    EXPECT_EQ(target.Items(1)->AsString(), "x");
    EXPECT_EQ(target.Items(1)->DataType(), ftString);
    EXPECT_EQ(target.FindParam("c"), nullptr);
    EXPECT_FALSE(target.IsEqual(&source));
}

TEST(Params, ParamByNameReportsTheOwner) {
    TComponent owner(nullptr);
    owner.SetName("Query1");
    TParams params(&owner);
    try {
        params.ParamByName("missing");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Query1: Parameter 'missing' not found");
    }
}

TEST(Params, AssignFieldTakesNameTypeValueAndSize) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new MemDataSet(owner.get(), {{"NAME", ftString, 8}, {"N", ftInteger}});
    ds->AddRow({Variant("abc"), Null()});
    ds->Open();
    TParams params;
    TParam* p = params.CreateParam(ftUnknown, "", ptInput);
    p->AssignField(ds->FieldByName("NAME"));
    EXPECT_EQ(p->Name(), "NAME");
    EXPECT_EQ(p->DataType(), ftString);
    EXPECT_EQ(p->AsString(), "abc");
    EXPECT_EQ(p->Size(), 9);
    EXPECT_TRUE(p->Bound());
    TParam* n = params.CreateParam(ftUnknown, "", ptInput);
    n->AssignField(ds->FieldByName("N"));
    EXPECT_TRUE(n->IsNull());
    EXPECT_TRUE(n->Bound());
    EXPECT_EQ(n->DataType(), ftInteger);
    EXPECT_EQ(params.ParamValues("NAME;N")[0].AsString(), "abc");
}

// ---- field definitions

TEST(FieldDefs, AddValidatesNamesAndSizes) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new MemDataSet(owner.get());
    TFieldDefs* defs = ds->FieldDefs();
    defs->Add("ID", ftInteger, 0, true);
    defs->Add("NAME", ftString, 30);
    EXPECT_THROW(defs->Add("", ftInteger), EDatabaseError);
    EXPECT_THROW(defs->Add("id", ftInteger), EDatabaseError);
    EXPECT_THROW(defs->Add("BAD", ftInteger, 4), EDatabaseError);
    EXPECT_THROW(defs->Add("BIG", ftBCD, 33), EDatabaseError);
    EXPECT_EQ(defs->Count(), 2);
    EXPECT_TRUE(defs->Items(0)->Required());
    EXPECT_EQ(defs->Items(1)->FieldNo(), 2);
    EXPECT_EQ(defs->Find("name")->Size(), 30);
    EXPECT_THROW(defs->Find("nope"), EDatabaseError);
    EXPECT_THROW(defs->Items(1)->SetName("Id"), EDatabaseError);
}

TEST(FieldDefs, ChildDefsProduceFlatNamesAndHiddenColumnsAreSkipped) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new MemDataSet(owner.get());
    TFieldDefs* defs = ds->FieldDefs();
    defs->Add("ADDR", ftADT);
    TFieldDef* city = defs->Items(0)->AddChild();
    city->SetName("CITY");
    city->SetDataType(ftString);
    city->SetSize(10);
    defs->Add("SECRET", ftInteger);
    defs->Items(1)->SetAttributes({faHiddenCol});
    std::vector<TFieldDef*> flat;
    std::vector<std::string> names;
    defs->GetFlatList(flat, &names);
    EXPECT_EQ(names, (std::vector<std::string>{"ADDR", "ADDR.CITY", "SECRET"}));
    EXPECT_EQ(city->ParentDef(), defs->Items(0));
    TField* field = city->CreateField(ds, nullptr, "ADDR.CITY");
    EXPECT_EQ(field->DataType(), ftString);
    EXPECT_EQ(ds->FindField("addr.city"), field);
}

TEST(FieldDefs, CreateFieldUsesTheClassTableAndAttributes) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new MemDataSet(owner.get());
    TFieldDefs* defs = ds->FieldDefs();
    defs->Add("C", ftFixedChar, 4);
    defs->Add("A", ftAutoInc);
    defs->Add("U", ftCursor);
    defs->Items(1)->SetAttributes({faReadonly});
    auto* c = dynamic_cast<TStringField*>(defs->Items(0)->CreateField(ds));
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->FixedChar());
    EXPECT_EQ(c->DataType(), ftFixedChar);
    TField* a = defs->Items(1)->CreateField(ds);
    EXPECT_NE(dynamic_cast<TAutoIncField*>(a), nullptr);
    EXPECT_TRUE(a->ReadOnly());
    EXPECT_THROW(defs->Items(2)->CreateField(ds), EDatabaseError);
    EXPECT_EQ(ds->FieldCount(), 2);
}

// A dataset that describes its columns without opening a cursor (as a table reads a field list).
class DescribedDataSet : public MemDataSet {
public:
    using MemDataSet::MemDataSet;
    int describes = 0;
    void InitFieldDefs() override {
        ++describes;
        FieldDefs()->Clear();
        FieldDefs()->Add("FROM_LIST", ftInteger, 0, true);
    }
};

TEST(FieldDefs, UpdateOfAClosedDataSetReachesAnOverriddenInitFieldDefs) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new DescribedDataSet(owner.get(), {{"FROM_CURSOR", ftString, 5}});
    TDataSet* base = ds;
    base->FieldDefs()->Update();
    EXPECT_EQ(ds->describes, 1);
    ASSERT_EQ(ds->FieldDefs()->Count(), 1);
    EXPECT_EQ(ds->FieldDefs()->Items(0)->Name(), "FROM_LIST");
    EXPECT_TRUE(ds->FieldDefs()->Updated());
    // No cursor was opened for the definitions.
    EXPECT_EQ(std::count(ds->log.begin(), ds->log.end(), "InternalOpen"), 0);
    base->FieldDefs()->Update();
    EXPECT_EQ(ds->describes, 1);
    base->InitFieldDefs();
    EXPECT_EQ(ds->describes, 2);
}

// ---- index definitions

class IndexedDataSet : public MemDataSet {
public:
    using MemDataSet::MemDataSet;
    TIndexDefs defs{this};
    int updates = 0;
    int defChanges = 0;
    void DefChanged(TObject* sender) override {
        if (sender == &defs) ++defChanges;
    }
    std::unique_ptr<TIndexDefs> PSGetIndexDefs(TIndexOptions indexTypes) override {
        return GetIndexDefs(&defs, indexTypes);
    }
    void UpdateIndexDefs() override {
        ++updates;
        defs.Clear();
        defs.Add("PK", "ID", {ixPrimary, ixUnique});
        defs.Add("BYNAME", "NAME;CITY", {});
        defs.Add("CI", "NAME", {ixCaseInsensitive});
        defs.Add("DESC", "AMOUNT", {ixDescending});
    }
};

TEST(IndexDefs, GetIndexForFieldsMatchesWholeThenPrefix) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new IndexedDataSet(owner.get());
    TIndexDefs& defs = ds->defs;
    EXPECT_EQ(defs.GetIndexForFields("id", false)->Name(), "PK");
    EXPECT_EQ(ds->updates, 1);
    EXPECT_EQ(defs.GetIndexForFields("NAME", false)->Name(), "CI");
    EXPECT_EQ(defs.GetIndexForFields("NAME", true)->Name(), "CI");
    EXPECT_EQ(defs.GetIndexForFields("NAME;CITY", true), nullptr);
    EXPECT_EQ(defs.GetIndexForFields("NAME;CITY", false)->Name(), "BYNAME");
    EXPECT_EQ(defs.GetIndexForFields("NAM", false), nullptr);
    EXPECT_EQ(defs.GetIndexForFields("AMOUNT", false), nullptr);
    EXPECT_THROW(defs.FindIndexForFields("CITY"), EDatabaseError);
    EXPECT_EQ(ds->updates, 1); // Updated stays true
    EXPECT_THROW(defs.Add("pk", "X", {}), EDatabaseError);
    EXPECT_THROW(defs.Find("none"), EDatabaseError);
}

TEST(IndexDefs, FillingThemLazilyIsNoChangeButTheApplicationsChangeIs) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new IndexedDataSet(owner.get());
    ds->defs.Update();
    EXPECT_EQ(ds->updates, 1);
    EXPECT_EQ(ds->defs.Count(), 4);
    EXPECT_EQ(ds->defChanges, 0);
    ds->defs.SetUpdated(false);
    EXPECT_EQ(ds->defs.GetIndexForFields("ID", false)->Name(), "PK");
    EXPECT_EQ(ds->updates, 2);
    EXPECT_EQ(ds->defChanges, 0);

    ds->defs.Add("BYCITY", "CITY", {});
    EXPECT_EQ(ds->defChanges, 1);
    ds->defs.Items(1)->SetFields("NAME");
    EXPECT_EQ(ds->defChanges, 2);
    ds->defs.Clear();
    EXPECT_EQ(ds->defChanges, 3);
}

TEST(IndexDefs, ProviderSupportHandsOutACopyOfTheIndexesOfTheAskedKinds) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new IndexedDataSet(owner.get());
    TDataSet* base = ds;
    // Every index that has any option (the default asks for all of them); filled lazily first.
    std::unique_ptr<TIndexDefs> all = base->PSGetIndexDefs();
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(ds->updates, 1);
    ASSERT_EQ(all->Count(), 3);
    EXPECT_EQ(all->Items(0)->Name(), "PK");
    EXPECT_EQ(all->Items(0)->Fields(), "ID");
    EXPECT_EQ(all->Items(0)->Options(), (TIndexOptions{ixPrimary, ixUnique}));
    EXPECT_EQ(all->Items(1)->Name(), "CI");
    EXPECT_EQ(all->Items(2)->Name(), "DESC");
    EXPECT_EQ(all->DataSet(), nullptr);

    std::unique_ptr<TIndexDefs> unique = base->PSGetIndexDefs({ixUnique});
    ASSERT_NE(unique, nullptr);
    ASSERT_EQ(unique->Count(), 1);
    // The copy is the caller's: changing it leaves the dataset's definitions alone.
    unique->Items(0)->SetFields("OTHER");
    EXPECT_EQ(ds->defs.Items(0)->Fields(), "ID");
    // An empty set asks for every index; a kind no index has gives none.
    EXPECT_EQ(base->PSGetIndexDefs({})->Count(), 4);
    EXPECT_EQ(base->PSGetIndexDefs({ixExpression}), nullptr);

    // The base dataset has no indexes.
    auto* plain = new MemDataSet(owner.get());
    EXPECT_EQ(plain->PSGetIndexDefs(), nullptr);
    EXPECT_EQ(GetIndexDefs(nullptr, AllIndexOptions), nullptr);
}

TEST(IndexDefs, FieldsAndExpressionShareOneText) {
    TIndexDef def(nullptr);
    def.SetFields("A;B");
    EXPECT_EQ(def.Expression(), "");
    def.SetExpression("UPPER(A)");
    EXPECT_TRUE(def.Options().Contains(ixExpression));
    EXPECT_EQ(def.Fields(), "");
    def.SetOptions({ixPrimary});
    EXPECT_EQ(def.DisplayName(), "<Primary>");
    def.SetDescFields("A");
    EXPECT_TRUE(def.Options().Contains(ixDescending));
}

TEST(IndexDefs, OrderByClauseDescribesAnIndex) {
    auto def = GetIndexForOrderBy("select * from t where x = 'order by z' order by t.a, b desc", nullptr);
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->Fields(), "a;b");
    EXPECT_EQ(def->DescFields(), "b");
    EXPECT_EQ(GetIndexForOrderBy("select * from t", nullptr), nullptr);
}

// ---- constraint descriptions

TEST(DataSourcesRecord, FixedLayoutAndRequestValues) {
    EXPECT_EQ(offsetof(DataSources, szDbName), 2u);
    EXPECT_EQ(offsetof(DataSources, szTblName), 34u);
    EXPECT_EQ(offsetof(DataSources, szSourceFldName), 295u);
    EXPECT_EQ(offsetof(DataSources, szOrigFldName), 327u);
    EXPECT_EQ(offsetof(DataSources, szSQLExprImport), 359u);
    EXPECT_EQ(offsetof(DataSources, szSQLExprCustom), 1383u);
    EXPECT_EQ(offsetof(DataSources, szErrStrImport), 2407u);
    EXPECT_EQ(offsetof(DataSources, szErrStrCustom), 2535u);
    EXPECT_EQ(offsetof(DataSources, bRequired), 2663u);
    EXPECT_EQ(static_cast<int>(dsFieldSource), 3);
    EXPECT_EQ(static_cast<int>(dsFieldDefault), 4);
    EXPECT_EQ(static_cast<int>(dsFieldDomainExpr), 5);
    EXPECT_EQ(static_cast<int>(dsTableConstraint), 6);
    EXPECT_EQ(static_cast<int>(dsNumTblConstraint), 7);
}

TEST(DataSourcesRecord, SlotsTakeTextCutToFitAndAlwaysTerminated) {
    DataSources sources;
    std::memset(&sources, 'x', sizeof(sources));
    CopyToSlot(sources.szTblName, "customers");
    EXPECT_EQ(SlotText(sources.szTblName), "customers");
    EXPECT_EQ(sources.szTblName[sizeof(sources.szTblName) - 1], 0); // the rest is cleared
    const std::string longName(40, 'n');
    CopyToSlot(sources.szOrigFldName, longName);
    EXPECT_EQ(SlotText(sources.szOrigFldName), longName.substr(0, DsMaxNameLen));
    EXPECT_EQ(sources.szSourceFldName[0], 'x'); // the neighbouring slot is untouched
    CopyToSlot(sources.szErrStrCustom, "");
    EXPECT_EQ(SlotText(sources.szErrStrCustom), "");
    // A slot filled to the brim without a terminator reads as the whole slot.
    std::memset(sources.szDbName, 'd', sizeof(sources.szDbName));
    EXPECT_EQ(SlotText(sources.szDbName), std::string(sizeof(sources.szDbName), 'd'));
}

// ---- type maps

TEST(TypeMaps, OrdinalsAndMapsMatchTheEngineInterface) {
    EXPECT_EQ(static_cast<int>(dsInternalCalc), 11);
    EXPECT_EQ(static_cast<int>(deParentScroll), 11);
    EXPECT_EQ(static_cast<int>(ftGuid), 35);
    EXPECT_EQ(static_cast<int>(ftDataSet), 29);
    EXPECT_EQ(TFilterOptions({foNoPartialCompare}).Bits(), 2u);
    EXPECT_EQ(TFilterOptions({foCaseInsensitive, foNoPartialCompare}).Bits(), 3u);
    EXPECT_EQ(FldTypeMap[ftCurrency], fldFLOAT);
    EXPECT_EQ(FldSubTypeMap[ftCurrency], fldstMONEY);
    EXPECT_EQ(FldTypeMap[ftAutoInc], fldINT32);
    EXPECT_EQ(FldSubTypeMap[ftAutoInc], fldstAUTOINC);
    EXPECT_EQ(FldTypeMap[ftGuid], fldZSTRING);
    EXPECT_EQ(FldSubTypeMap[ftOraClob], fldstHMEMO);
    EXPECT_EQ(DataTypeMap[fldUINT32], ftInteger);
    EXPECT_EQ(DataTypeMap[fldUINT64], ftLargeint);
    EXPECT_EQ(DataTypeMap[fldTABLE], ftDataSet);
    EXPECT_EQ(BlobTypeMap[fldstMEMO - fldstMEMO], ftMemo);
    EXPECT_EQ(BlobTypeMap[fldstHBINARY - fldstMEMO], ftOraBlob);
    EXPECT_EQ(BlobTypeMap[fldstBFILE - fldstMEMO], ftBlob);
    EXPECT_STREQ(FieldTypeNames[ftSmallint], "SmallInt");
    for (int t = 0; t < FieldTypeCount; ++t) {
        const uint16_t fld = FldTypeMap[static_cast<size_t>(t)];
        if (fld != fldUNKNOWN && fld != fldCURSOR && fld < MAXLOGFLDTYPES) {
            EXPECT_NE(DataTypeMap[fld], ftUnknown) << t;
        }
    }
}

} // namespace

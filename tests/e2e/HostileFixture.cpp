#include "HostileFixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace corvane::test {

const std::vector<Hostile>& Catalogue() {
    static const std::vector<Hostile> values = {
        {"single quote", "O'Brien"},
        {"lone quote", "'"},
        {"doubled quotes", "it''s"},
        {"double quotes", "say \"hi\""},
        {"backslash", "a\\b"},
        {"trailing backslash", "ends\\"},
        {"backslash before quote", "a\\'b"},
        {"escape-looking text", "\\n\\t\\0"},
        {"percent", "100%"},
        {"underscore", "a_b"},
        {"wildcards only", "%_"},
        {"trailing star", "st*"},
        {"semicolon", "a; b"},
        {"dash comment", "x -- y"},
        {"block comment", "/* c */"},
        {"hash comment", "# h"},
        {"CR LF TAB", "l1\r\nl2\tx"},
        {"parameter marker", "a :id ?"},
        {"padded", "  pad  "},
        {"UTF-8", "Gr\xC3\xBC\xC3\x9F"
                  "e \xE2\x9C\x93"},
        {"invalid bytes", "\xFF\xFE\x80z"},
        {"control bytes", "\x01\x08\x1B"},
        {"full width", std::string(kWidth - 2, 'w') + "'\\"},
        {"empty", std::string()},
        {"NULL", std::nullopt},
        {"tautology", "x' OR '1'='1"},
        {"drop table", "'; DROP TABLE t; --"},
        {"escaped drop", "\\'; DROP TABLE d; --"},
    };
    return values;
}

std::string Literal(const Value& value) {
    if (!value) return "NULL";
    std::string out = "'";
    for (char c : *value) {
        if (c == '\\' || c == '\'') out += '\\';
        out += c;
    }
    return out + "'";
}

std::string Describe(const Value& value) {
    if (!value) return "NULL";
    std::string out = "\"";
    for (unsigned char c : *value) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out + "\"";
}

namespace {

std::map<std::string, std::set<std::string>>& CountedPaths() {
    static std::map<std::string, std::set<std::string>> paths;
    return paths;
}

// Prints the figure once every test has run.
class FiguresPrinter : public ::testing::Environment {
public:
    void TearDown() override { std::printf("[ figures  ] %s\n", Figures::Summary().c_str()); }
};

const auto* const kPrinter = ::testing::AddGlobalTestEnvironment(new FiguresPrinter);

} // namespace

void Figures::Count(const std::string& path, const std::string& value) {
    CountedPaths()[path].insert(value);
}

std::string Figures::Summary() {
    std::set<std::string> values;
    size_t pairs = 0;
    for (const auto& [path, names] : CountedPaths()) {
        values.insert(names.begin(), names.end());
        pairs += names.size();
    }
    return std::to_string(values.size()) + " values x " + std::to_string(CountedPaths().size()) + " paths (" +
           std::to_string(pairs) + " value-path pairs)";
}

void HostileTest::SetUp() {
    TableTest::SetUp();
    if (HasFatalFailure()) return;
    for (const char* table : {"t", "d"}) {
        const std::string name = table;
        Exec("create table " + name + " (id int, k char(" + std::to_string(kWidth) + "), s char(" +
             std::to_string(kWidth) + "), m text(16))");
        Exec("create unique index " + name + "_id on " + name + " (id)");
        Exec("create index " + name + "_k on " + name + " (k)");
    }
    const std::vector<Hostile>& values = Catalogue();
    for (size_t i = 0; i < values.size(); ++i) {
        const Row row{IdOf(i), KeyOf(values[i].value), values[i].value, values[i].value};
        for (const char* table : {"t", "d"})
            Exec(std::string("insert into ") + table + " values (" + std::to_string(row.id) + ", " +
                 Literal(row.k) + ", " + Literal(row.s) + ", " + Literal(row.m) + ")");
        fModelT.push_back(row);
    }
    fModelD = fModelT;
    ExpectModel("set-up");
}

void HostileTest::TearDown() {
    fQueries.clear();
    TableTest::TearDown();
}

std::vector<Row> HostileTest::ServerRows(const std::string& table) {
    std::vector<Row> rows;
    const std::string sql = "select id, k, s, m from " + table;
    EXPECT_GE(msqlQuery(fAdmin, sql.c_str()), 0) << sql << ": " << ClientErrorText();
    m_result* result = msqlStoreResult();
    if (!result) return rows;
    auto value = [](const char* text) { return text ? Value(text) : Value(); };
    while (m_row row = msqlFetchRow(result))
        rows.push_back(Row{row[0] ? std::atoi(row[0]) : -1, value(row[1]), value(row[2]), value(row[3])});
    msqlFreeResult(result);
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.id < b.id; });
    return rows;
}

void HostileTest::ExpectModel(const std::string& step) {
    for (const auto& [name, model] : {std::pair{"t", &fModelT}, std::pair{"d", &fModelD}}) {
        const std::vector<Row> server = ServerRows(name);
        if (server == *model) continue;
        ADD_FAILURE() << step << ": table " << name << " differs from the expected rows";
        for (const Row& row : server) {
            const Row* expected = nullptr;
            for (const Row& m : *model)
                if (m.id == row.id) expected = &m;
            if (!expected)
                ADD_FAILURE() << "  unexpected row " << row.id << " k=" << Describe(row.k);
            else if (!(*expected == row))
                ADD_FAILURE() << "  row " << row.id << ": k=" << Describe(row.k) << " s=" << Describe(row.s)
                              << " m=" << Describe(row.m) << ", expected k=" << Describe(expected->k)
                              << " s=" << Describe(expected->s) << " m=" << Describe(expected->m);
        }
        for (const Row& m : *model)
            if (std::none_of(server.begin(), server.end(), [&](const Row& row) { return row.id == m.id; }))
                ADD_FAILURE() << "  missing row " << m.id;
    }
}

Row* HostileTest::ModelRow(int id) {
    for (Row& row : fModelT)
        if (row.id == id) return &row;
    ADD_FAILURE() << "no model row " << id;
    return &fModelT.front();
}

void HostileTest::ModelInsert(const Row& row) {
    fModelT.push_back(row);
    std::sort(fModelT.begin(), fModelT.end(), [](const Row& a, const Row& b) { return a.id < b.id; });
}

void HostileTest::ModelDelete(int id) {
    std::erase_if(fModelT, [id](const Row& row) { return row.id == id; });
}

void HostileTest::CancelEdits() {
    for (auto& table : tmTables)
        if (table->State() == host::dsEdit || table->State() == host::dsInsert) table->Cancel();
}

TmSQLTable* HostileTest::OpenT(const std::string& index) {
    TmSQLTable* table = NewTmTable("t");
    table->SetIndexName(index);
    table->Open();
    return table;
}

void HostileTest::Assign(host::TField* field, const Value& value) {
    if (value)
        field->SetAsString(*value);
    else
        field->Clear();
}

Value HostileTest::Read(host::TField* field) {
    if (field->IsNull()) return std::nullopt;
    return field->AsString();
}

std::vector<int> HostileTest::AllIds(host::TDataSet& dataSet) {
    std::vector<int> ids;
    dataSet.First();
    while (!dataSet.Eof()) {
        ids.push_back(CurrentId(dataSet));
        dataSet.Next();
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

TmSQLQuery* HostileTest::NewQuery(const std::string& sql) {
    fQueries.push_back(std::make_unique<TmSQLQuery>(nullptr));
    TmSQLQuery* query = fQueries.back().get();
    query->SetDatabase(database);
    query->SQL()->SetText(sql);
    return query;
}

} // namespace corvane::test

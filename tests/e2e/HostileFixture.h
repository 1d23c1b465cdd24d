// Fixture for the injection suite: a catalogue of hostile values, a table t holding one row per value
// (id, indexed key k, plain s, memo m) beside a decoy table d with the same rows, and a model of both
// tables that every step updates with the change it expects. After each step the server's contents,
// read through the administrative socket, must equal the model byte for byte: the value round-trips
// and no other row or table changed.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "components/TableFixture.h"

namespace corvane::test {

using Value = std::optional<std::string>; // nullopt: NULL

struct Hostile {
    const char* name;
    Value value;
};

// Width of the CHAR columns k and s.
constexpr int kWidth = 40;

// The hostile values; every one fits the CHAR columns.
const std::vector<Hostile>& Catalogue();

// The value as an mSQL string literal, written by the test itself (backslash and quote escaped).
std::string Literal(const Value& value);

// A one-line description of value for failure messages (bytes shown escaped).
std::string Describe(const Value& value);

// Counts the (value, path) pairs the suite ran and prints the figure when the program ends.
class Figures {
public:
    static void Count(const std::string& path, const std::string& value);
    static std::string Summary();
};

struct Row {
    int id = 0;
    Value k, s, m;
    bool operator==(const Row&) const = default;
};

class HostileTest : public TableTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The key stored in k for value (k is indexed and so never NULL).
    static std::string KeyOf(const Value& value) { return value ? *value : std::string("(null row)"); }
    // The id of the row that holds catalogue entry index.
    static int IdOf(size_t index) { return static_cast<int>(index) + 1; }
    // What a memo field written with value holds: the host's blob fields take an empty value for
    // NULL, and so the row gets NULL.
    static Value MemoWritten(const Value& value) { return value && value->empty() ? Value() : value; }
    // The id of a row other than the one catalogue entry index lives in.
    static int OtherId(size_t index) { return IdOf((index + 1) % Catalogue().size()); }

    // The rows of table ("t" or "d") on the server, by id.
    std::vector<Row> ServerRows(const std::string& table);
    // Both tables on the server must equal the model.
    void ExpectModel(const std::string& step);
    Row* ModelRow(int id);
    void ModelInsert(const Row& row);
    void ModelDelete(int id);
    // The ids of the model's t rows for which match holds, ascending.
    template <class Match>
    std::vector<int> ModelIds(Match match) const {
        std::vector<int> ids;
        for (const Row& row : fModelT)
            if (match(row)) ids.push_back(row.id);
        return ids;
    }

    // Runs step(index, value) for every catalogue value (the NULL one only with withNull), then
    // compares both tables with the model. An exception fails the value, cancels pending edits and
    // takes the server's rows as the model, so that the next values are judged on their own.
    template <class Step>
    void ForEachValue(const std::string& path, Step step, bool withNull = true) {
        const std::vector<Hostile>& values = Catalogue();
        for (size_t i = 0; i < values.size(); ++i) {
            if (!values[i].value && !withNull) continue;
            SCOPED_TRACE(path + " with " + values[i].name + " " + Describe(values[i].value));
            try {
                step(i, values[i].value);
            } catch (const std::exception& e) {
                ADD_FAILURE() << "raised: " << e.what();
                CancelEdits();
                fModelT = ServerRows("t");
            }
            ExpectModel(path);
            Figures::Count(path, values[i].name);
        }
    }
    void CancelEdits();

    // The table component on t, open on index (default: the key index).
    TmSQLTable* OpenT(const std::string& index = "t_k");
    // Sets a field to value (NULL clears it).
    static void Assign(host::TField* field, const Value& value);
    // The field's value (NULL as nullopt).
    static Value Read(host::TField* field);
    // The id of the dataset's current row.
    static int CurrentId(host::TDataSet& dataSet) { return dataSet.FieldByName("id")->AsInteger(); }
    // The ids of every row of the dataset from the first, ascending.
    static std::vector<int> AllIds(host::TDataSet& dataSet);

    // A closed query on the test's database with the text sql, destroyed with the test.
    TmSQLQuery* NewQuery(const std::string& sql);

    std::vector<Row> fModelT, fModelD;
    std::vector<std::unique_ptr<TmSQLQuery>> fQueries;
};

} // namespace corvane::test

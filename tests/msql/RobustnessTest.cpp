// Hostile input and damage: RLIKE patterns that would exhaust a backtracking or automaton-building
// regex compiler, database files that are not whole mSQL databases, creations cut short by a kill,
// and the storage engine's limits, which must all come back as mSQL-style errors.
#include "MsqlFixture.h"

#include "engine/Patterns.h"
#include "engine/Session.h"

#include <sqlite3.h>

#include <csignal>
#include <fstream>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace msqltest;

class Robustness : public MsqlTest {
protected:
    // Runs SQL on a database file directly, behind the engine's back.
    void RawSql(const std::string& file, const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((dataDir + "/" + file).c_str(), &db), SQLITE_OK);
        // Over TCP the server ends a closed client's session after msqlClose has returned.
        sqlite3_busy_timeout(db, 10000);
        char* message = nullptr;
        int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
        EXPECT_EQ(rc, SQLITE_OK) << (message ? message : "");
        sqlite3_free(message);
        sqlite3_close(db);
    }
    // The text of a failed msqlSelectDB.
    std::string SelectError(const std::string& name) {
        EXPECT_EQ(msqlSelectDB(sock, C(name)), -1);
        return msqlGetErrMsg(nullptr);
    }
};

TEST(Rlike, MatchesUnanchoredPosixExtendedExpressions) {
    EXPECT_TRUE(msql::RegexMatch("carol", "ro"));
    EXPECT_FALSE(msql::RegexMatch("carol", "^ro"));
    EXPECT_TRUE(msql::RegexMatch("carol", "^c.r(o|a)l$"));
    EXPECT_TRUE(msql::RegexMatch("abc123", "[[:digit:]]+$"));
    EXPECT_TRUE(msql::RegexMatch("aaa", "a{2,3}"));
    EXPECT_FALSE(msql::RegexMatch("ABC", "abc"));
    EXPECT_TRUE(msql::RegexMatch("", ""));
    // Without REG_NEWLINE: '.' and negated brackets match a newline, and ^ / $ anchor the value.
    EXPECT_TRUE(msql::RegexMatch("a\nb", "a.b"));
    EXPECT_TRUE(msql::RegexMatch("a\nb", "a[^x]b"));
    EXPECT_FALSE(msql::RegexMatch("a\nb", "^b"));
    EXPECT_FALSE(msql::RegexMatch("a\nb", "a$"));
    // Bytes are characters: a high byte is one character, matched by '.' and by itself.
    EXPECT_TRUE(msql::RegexMatch("caf\xe9", "^caf.$"));
    EXPECT_TRUE(msql::RegexMatch("caf\xe9", "\xe9"));
    // Perl shorthands are not POSIX syntax.
    EXPECT_FALSE(msql::RegexIsValid("\\d+"));
    EXPECT_FALSE(msql::RegexIsValid("[ab"));
    EXPECT_FALSE(msql::RegexIsValid("a)"));
}

TEST(Rlike, RefusesPatternsBeyondTheBoundsInsteadOfExhaustingTheMachine) {
    EXPECT_FALSE(msql::RegexIsValid("x{0,32767}"));
    EXPECT_FALSE(msql::RegexIsValid("((x{100}){100}){100}"));
    EXPECT_FALSE(msql::RegexIsValid("(x{1000}y{1000}){1000}"));
    // Each part within the repetition bound, the whole beyond the memory budget.
    std::string huge;
    for (int i = 0; i < 5000; ++i)
        huge += "[a-z]{1000}";
    EXPECT_FALSE(msql::RegexIsValid(huge));
    EXPECT_TRUE(msql::RegexIsValid(huge.substr(0, 11 * 50)));
    // Within the bounds a pattern with catastrophic backtracking elsewhere matches in linear time.
    std::string value(100000, 'a');
    EXPECT_FALSE(msql::RegexMatch(value, "^(a+)+b$"));
    EXPECT_TRUE(msql::RegexMatch(value + "b", "^(a|aa)+b$"));
}

TEST_F(Robustness, TooComplexRlikeIsMalformedOnEmptyAndFilledTables) {
    Exec("create table t (c char(40), d char(40))");
    EXPECT_EQ(Error("select c from t where c rlike 'x{0,32767}'"), "RLIKE expression is malformed");
    Exec("insert into t values ('xxy', 'x+y'), ('abc', 'b$')");
    EXPECT_EQ(Error("select c from t where c not rlike '((x{100}){100}){100}'"),
              "RLIKE expression is malformed");
    EXPECT_EQ(Select("select c from t where c rlike 'x+y$'"), (Rows{{"xxy"}}));
    EXPECT_EQ(Select("select c from t where c not rlike '^x'"), (Rows{{"abc"}}));
    // A pattern taken from a column is checked row by row.
    EXPECT_EQ(Select("select c from t where c rlike d"), (Rows{{"xxy"}}));
    Exec("insert into t values ('xx', 'x{0,32767}')");
    EXPECT_EQ(Error("select c from t where c rlike d"), "RLIKE expression is malformed");
}

TEST_F(Robustness, StorageLimitsAnswerWithMsqlMessages) {
    Exec("create table t (a int)");
    std::string order = "select a from t order by a";
    for (int i = 0; i < 2100; ++i)
        order += ", a";
    EXPECT_EQ(Error(order), "Too many fields in ORDER BY (75 Max)");
    std::string from = "select x0.a from t x0";
    for (int i = 1; i < 250; ++i)
        from += ", t x" + std::to_string(i);
    EXPECT_EQ(Error(from), "Too many tables in query (64 Max)");
    std::string join64 = "select x0.a from t x0";
    for (int i = 1; i < 64; ++i)
        join64 += ", t x" + std::to_string(i);
    EXPECT_EQ(Select(join64), Rows{});
}

TEST_F(Robustness, HalfMadeDatabaseIsRefusedWithTheDamageNamed) {
    RawSql("half.msql", "CREATE TABLE msql_tables(id INTEGER PRIMARY KEY, name TEXT)");
    EXPECT_EQ(SelectError("half"),
              "Database \"half\" is damaged: its catalog is incomplete (drop it and create it again)");
    // Nothing is selected after the refusal; a drop repairs it.
    EXPECT_EQ(msqlQuery(sock, C("select a from t")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "No Database Selected");
    ASSERT_EQ(msqlDropDB(sock, C("half")), 0);
    ASSERT_EQ(msqlCreateDB(sock, C("half")), 0) << msqlGetErrMsg(nullptr);
    EXPECT_EQ(msqlSelectDB(sock, C("half")), 0) << msqlGetErrMsg(nullptr);

    { std::ofstream(dataDir + "/empty.msql"); }
    EXPECT_EQ(SelectError("empty"),
              "Database \"empty\" is damaged: its catalog is incomplete (drop it and create it again)");
    std::ofstream(dataDir + "/junk.msql") << std::string(8192, 'j');
    EXPECT_EQ(SelectError("junk"), "Database \"junk\" is damaged: its file is not a database");
}

TEST_F(Robustness, DamageFoundByAStatementIsNamedNotPassedOnFromTheStorageEngine) {
    Exec("create table t (a int)");
    Exec("create table u (a int)");
    Exec("insert into t values (1)");
    msqlClose(sock);
    // The storage of table t vanishes and the catalog loses its sequence table.
    RawSql("test.msql", "DROP TABLE t1; DROP TABLE msql_sequences");
    sock = msqlConnect(C(""));
    ASSERT_GE(sock, 0);
    EXPECT_EQ(SelectError("test"),
              "Database \"test\" is damaged: its catalog is incomplete (drop it and create it again)");
    RawSql("test.msql", "CREATE TABLE msql_sequences(table_id INTEGER PRIMARY KEY, step, value)");
    ASSERT_EQ(msqlSelectDB(sock, C("test")), 0) << msqlGetErrMsg(nullptr);
    EXPECT_EQ(Error("select a from t"), "Database \"test\" is damaged: a table's storage is missing");
    EXPECT_EQ(Error("insert into t values (2)"),
              "Database \"test\" is damaged: a table's storage is missing");
    EXPECT_EQ(Select("select a from u"), Rows{});
}

// Creations killed at arbitrary moments leave only whole databases, and what a killed creation
// left behind is cleared by the next creation of that name.
TEST_F(Robustness, KilledCreationsLeaveNoHalfMadeDatabase) {
    constexpr int kRounds = 12;
    for (int round = 0; round < kRounds; ++round) {
        int progress[2];
        ASSERT_EQ(pipe(progress), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(progress[0]);
            try {
                msql::Session session(dataDir, "killer");
                for (int i = 0;; ++i) {
                    std::string name = "r" + std::to_string(round) + "_" + std::to_string(i);
                    if (write(progress[1], "x", 1) != 1) _exit(1);
                    session.CreateDatabase(name);
                }
            } catch (...) {
                _exit(2);
            }
        }
        close(progress[1]);
        // Let it get going; the kill then lands somewhere inside a creation.
        char buf[1];
        for (int seen = 0; seen < 3 + round % 4 && read(progress[0], buf, 1) == 1; ++seen) {
        }
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(progress[0]);
        EXPECT_TRUE(WIFSIGNALED(status));
    }
    m_result* dbs = msqlListDBs(sock);
    ASSERT_NE(dbs, nullptr);
    int listed = 0;
    while (m_row row = msqlFetchRow(dbs)) {
        ++listed;
        EXPECT_EQ(msqlSelectDB(sock, row[0]), 0) << row[0] << ": " << msqlGetErrMsg(nullptr);
        EXPECT_EQ(Exec("create table t (a int)"), 1) << row[0];
    }
    msqlFreeResult(dbs);
    EXPECT_GT(listed, kRounds);

    // The killed creations' scratch files (".creating.<name>.<pid>.<n>") are hidden; creating the
    // same names clears them.
    std::set<std::string> interrupted;
    for (const auto& entry : std::filesystem::directory_iterator(dataDir)) {
        std::string file = entry.path().filename().string();
        if (file.rfind(".creating.", 0) != 0) continue;
        std::string name = file.substr(10);
        for (int part = 0; part < 2; ++part)
            name.erase(name.rfind('.'));
        interrupted.insert(name);
    }
    for (const auto& name : interrupted) {
        if (std::filesystem::exists(dataDir + "/" + name + ".msql")) continue;
        EXPECT_EQ(msqlCreateDB(sock, C(name)), 0) << msqlGetErrMsg(nullptr);
    }
    for (const auto& entry : std::filesystem::directory_iterator(dataDir))
        EXPECT_EQ(entry.path().filename().string().rfind(".creating.", 0), std::string::npos) << entry.path();
}

TEST_F(Robustness, CreatingAnExistingDatabaseKeepsIt) {
    Exec("create table t (a int)");
    Exec("insert into t values (7)");
    EXPECT_EQ(msqlCreateDB(sock, C("test")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Error creating database : test exists!");
    EXPECT_EQ(Select("select a from t"), (Rows{{"7"}}));
}

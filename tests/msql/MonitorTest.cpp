// The msql monitor run as a program on a script: table output, row counts, error lines and the
// exit status for scripts.
#include "MsqlFixture.h"

#include <cstdio>
#include <fstream>
#include <sys/wait.h>

using namespace msqltest;

class Monitor : public MsqlTest {
protected:
    // Runs the monitor on `script`; returns its output and sets `status` to its exit code.
    std::string Run(const std::string& args, const std::string& script, int& status) {
        std::string input = dataDir + "/script.sql";
        std::ofstream(input) << script;
        std::string command = "MSQL_DATA_DIR='" + dataDir + "' '" MSQL_MONITOR_PATH "' " +
                              (host.empty() ? "" : "-h '" + host + "' ") + args + " < '" + input + "' 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        std::string output;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
            output.append(buf, n);
        int raw = pclose(pipe);
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return output;
    }
};

TEST_F(Monitor, RunsAScriptAndPrintsTables) {
    int status = 0;
    std::string out = Run("test",
                          "create table pet (name char(10), age int)\\g\n"
                          "insert into pet values ('Rex', 3);\n"
                          "insert into pet\n  values ('Tom', NULL)\\g\n"
                          "select name, age from pet order by name;\n",
                          status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(
        out.find(" +------+------+\n | name | age  |\n +------+------+\n | Rex  | 3    |\n | Tom  | NULL |\n"
                 " +------+------+\n"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("2 row(s) modified or retrieved."), std::string::npos) << out;
}

TEST_F(Monitor, SemicolonInsideStringDoesNotEndTheStatement) {
    int status = 0;
    std::string out = Run(
        "test", "create table t (c char(10));\ninsert into t values ('a;b');\nselect c from t;\n", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("| a;b |"), std::string::npos) << out;
}

TEST_F(Monitor, FailedStatementPrintsErrorAndSetsExitStatus) {
    int status = 0;
    std::string out = Run("test", "select a from nosuch;\nselect 1 from\\g\n", status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("ERROR : Unknown table \"nosuch\""), std::string::npos) << out;
    EXPECT_NE(out.find("ERROR : syntax error."), std::string::npos) << out;
}

TEST_F(Monitor, UnknownDatabaseFailsToStart) {
    int status = 0;
    std::string out = Run("nosuch", "", status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("ERROR : Unknown database \"nosuch\""), std::string::npos) << out;
}

TEST_F(Monitor, CommentsWithQuotesDoNotConfuseStatementEnds) {
    int status = 0;
    std::string out =
        Run("test", "# it's a comment; really\ncreate table t (a int);\nselect a from t;\n", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("0 row(s) modified or retrieved."), std::string::npos) << out;
}

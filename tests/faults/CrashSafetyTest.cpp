// Crash safety of the embedded engine: writer processes (crash_writer) write through libmsql.so and are
// killed with SIGKILL at random moments. Afterwards every write a writer saw acknowledged is in the
// database, no write that failed is, a write that was under way is either wholly there or not at all,
// and the database passes SQLite's integrity check and reads completely through the client library.
//
// The rounds are seeded (CORVANE_CRASH_SEED overrides the seed) so that a failure can be replayed; the
// seed and round are in every failure message.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "FaultInjection.h"
#include "access/AccessFixture.h"
#include "writer/CrashProtocol.h"

extern char** environ;

namespace corvane::test {
namespace {

constexpr int WritesPerRound = 30;

// The writes of one writer as its reports tell them, and the rows they must have left.
class WriterModel {
public:
    explicit WriterModel(int writer) : fWriter(writer) {}

    int Writer() const { return fWriter; }
    long Acknowledged() const { return fAcknowledged; }
    long Failed() const { return fFailed; }
    const std::vector<std::string>& Problems() const { return fProblems; }
    const std::vector<std::string>& FailureTexts() const { return fFailureTexts; }
    bool Finished() const { return fFinished; }

    void Feed(const std::string& line) {
        if (line.empty()) return;
        switch (line[0]) {
        case 'B': {
            Op op{};
            char code = 0;
            if (std::sscanf(line.c_str(), "B %c %d %d", &code, &op.k, &op.v) != 3)
                fProblems.push_back("unreadable report: " + line);
            op.code = code;
            fPending = op;
            break;
        }
        case 'A':
            if (!fPending) break;
            ++fAcknowledged;
            if (fPending->code == 'X')
                fProblems.push_back("a duplicate key was accepted: " + std::to_string(fPending->k));
            Apply(*fPending, fState);
            fPending.reset();
            break;
        case 'F':
            ++fFailed;
            fFailureTexts.push_back(line.size() > 2 ? line.substr(2) : "");
            fPending.reset(); // a failed write must have left nothing behind
            break;
        case 'E':
            fFinished = true;
            break;
        default:
            fProblems.push_back("unreadable report: " + line);
        }
    }

    // Checks the writer's rows as read from the database (k -> "v|g|p" entries, duplicates kept) and
    // the numbers of its tables that exist; a write that was under way may be there or not. The model
    // takes the state found.
    void Check(const std::multimap<int32_t, std::string>& rows, const std::set<int32_t>& tables) {
        State alternative = fState;
        if (fPending) Apply(*fPending, alternative);
        if (Matches(fState, rows, tables)) {
        } else if (fPending && Matches(alternative, rows, tables)) {
            fState = alternative;
        } else {
            ADD_FAILURE() << "writer " << fWriter << ": the data is neither the acknowledged state nor that "
                          << "plus the write under way\n  expected " << Describe(fState) << "\n  found    "
                          << Describe(rows, tables);
        }
        fPending.reset();
    }

private:
    struct Op {
        char code;
        int32_t k;
        int32_t v;
    };
    struct State {
        std::map<int32_t, int32_t> rows; // k -> v
        int32_t generation = 0;
        std::set<int32_t> tables;
    };

    static void Apply(const Op& op, State& state) {
        switch (op.code) {
        case 'I':
            state.rows[op.k] = 0;
            break;
        case 'U':
            state.rows[op.k] = op.v;
            break;
        case 'D':
            state.rows.erase(op.k);
            break;
        case 'G':
            state.generation = op.v;
            break;
        case 'T':
            state.tables.insert(op.k);
            break;
        case 'Z':
            state.tables.erase(op.k);
            break;
        default:
            break; // X must be refused
        }
    }

    bool Matches(const State& state, const std::multimap<int32_t, std::string>& rows,
                 const std::set<int32_t>& tables) const {
        if (rows.size() != state.rows.size() || tables != state.tables) return false;
        for (const auto& [k, v] : state.rows) {
            if (rows.count(k) != 1) return false;
            const std::string expected =
                std::to_string(v) + "|" + std::to_string(state.generation) + "|" + crash::Payload(k, v);
            if (rows.find(k)->second != expected) return false;
        }
        return true;
    }
    static std::string Describe(const State& state) {
        std::string text = "generation " + std::to_string(state.generation) + ":";
        for (const auto& [k, v] : state.rows)
            text += " " + std::to_string(k) + "@" + std::to_string(v);
        for (const int32_t n : state.tables)
            text += " table " + std::to_string(n);
        return text;
    }
    static std::string Describe(const std::multimap<int32_t, std::string>& rows,
                                const std::set<int32_t>& tables) {
        std::string text;
        for (const auto& [k, row] : rows)
            text += " " + std::to_string(k) + "@" + row.substr(0, row.find('|', row.find('|') + 1));
        for (const int32_t n : tables)
            text += " table " + std::to_string(n);
        return text;
    }

    int fWriter;
    State fState;
    std::optional<Op> fPending;
    long fAcknowledged = 0;
    long fFailed = 0;
    bool fFinished = false;
    std::vector<std::string> fProblems;
    std::vector<std::string> fFailureTexts;
};

// A running crash_writer whose reports arrive through a pipe.
class WriterProcess {
public:
    WriterProcess(int writer, uint32_t seed, const std::vector<std::string>& extraEnvironment) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        std::vector<std::string> environment;
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            bool replaced = false;
            for (const std::string& extra : extraEnvironment)
                replaced =
                    replaced || text.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0;
            if (!replaced) environment.push_back(text);
        }
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
        std::vector<char*> envp;
        for (std::string& text : environment)
            envp.push_back(text.data());
        envp.push_back(nullptr);
        std::string program = CRASH_WRITER, id = std::to_string(writer), seedText = std::to_string(seed),
                    writes = std::to_string(WritesPerRound);
        char* argv[] = {program.data(), id.data(), seedText.data(), writes.data(), nullptr};

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        const int spawned = posix_spawn(&fPid, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (spawned != 0) {
            ::close(fds[0]);
            fPid = -1;
            return;
        }
        fPipe = fds[0];
    }
    ~WriterProcess() {
        if (fPid > 0) {
            ::kill(fPid, SIGKILL);
            ::waitpid(fPid, nullptr, 0);
        }
        if (fPipe >= 0) ::close(fPipe);
    }
    WriterProcess(const WriterProcess&) = delete;
    WriterProcess& operator=(const WriterProcess&) = delete;

    bool Started() const { return fPipe >= 0; }
    int Pipe() const { return fPipe; }
    bool Open() const { return fPipe >= 0 && !fEnded; }
    long Lines() const { return fLines; }

    // Reads what the pipe holds (it must be readable) and feeds whole lines to model.
    void ReadInto(WriterModel& model) {
        char buffer[4096];
        const ssize_t n = ::read(fPipe, buffer, sizeof buffer);
        if (n <= 0) {
            fEnded = true; // every report written before the writer ended has been read
            Reap();
            return;
        }
        fPartial.append(buffer, static_cast<size_t>(n));
        for (size_t end; (end = fPartial.find('\n')) != std::string::npos;) {
            model.Feed(fPartial.substr(0, end));
            fPartial.erase(0, end + 1);
            ++fLines;
        }
    }
    void Kill() {
        if (fPid > 0 && !fKilled) ::kill(fPid, SIGKILL);
        fKilled = true;
    }

private:
    void Reap() {
        if (fPid <= 0) return;
        ::waitpid(fPid, nullptr, 0);
        fPid = -1;
    }

    pid_t fPid = -1;
    int fPipe = -1;
    bool fEnded = false;
    bool fKilled = false;
    long fLines = 0;
    std::string fPartial;
};

class CrashSafetyTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        if (HasFatalFailure()) return;
        if (FaultControl::Get().Available()) FaultControl::Get().Reset();
        ASSERT_EQ(msqlCreateDB(fAdmin, crash::Database), 0) << ClientErrorText();
        ASSERT_EQ(msqlSelectDB(fAdmin, crash::Database), 0) << ClientErrorText();
        Exec(crash::CreateTable);
        Exec(crash::CreateIndex);
        if (const char* seed = std::getenv("CORVANE_CRASH_SEED"); seed && *seed)
            fSeed = static_cast<uint32_t>(std::strtoul(seed, nullptr, 10));
    }

    std::vector<std::string> WriterEnvironment() const {
        return {"MSQL_DATA_DIR=" + fDataDir, std::string("LD_LIBRARY_PATH=") + REAL_CLIENT_DIR,
                "MSQL_BUSY_TIMEOUT=20000"};
    }

    // Runs writers at once, killing writer i after its kills[i]-th report line (never when the number
    // exceeds what it reports), and reads every report up to each writer's end.
    void RunWriters(std::vector<WriterModel*> models, const std::vector<long>& kills, uint32_t seed,
                    const std::vector<std::string>& environment) {
        std::vector<std::unique_ptr<WriterProcess>> processes;
        for (size_t i = 0; i < models.size(); ++i) {
            processes.push_back(std::make_unique<WriterProcess>(
                models[i]->Writer(), seed + static_cast<uint32_t>(i), environment));
            ASSERT_TRUE(processes.back()->Started()) << "crash_writer could not be started";
            if (kills[i] == 0) processes.back()->Kill();
        }
        for (;;) {
            std::vector<pollfd> fds;
            std::vector<size_t> owners;
            for (size_t i = 0; i < processes.size(); ++i) {
                if (!processes[i]->Open()) continue;
                fds.push_back({processes[i]->Pipe(), POLLIN, 0});
                owners.push_back(i);
            }
            if (fds.empty()) break;
            ASSERT_GT(::poll(fds.data(), fds.size(), -1), 0);
            for (size_t j = 0; j < fds.size(); ++j) {
                if (!(fds[j].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                WriterProcess& process = *processes[owners[j]];
                process.ReadInto(*models[owners[j]]);
                if (process.Lines() >= kills[owners[j]]) process.Kill();
            }
        }
    }

    // The rows of the database read through the client library, by writer: k -> "v|g|p"; and the
    // numbers of each writer's tables, each of which must read as a table of two columns.
    std::map<int, std::multimap<int32_t, std::string>> ReadRows(std::map<int, std::set<int32_t>>& tables) {
        std::map<int, std::multimap<int32_t, std::string>> byWriter;
        const int sock = msqlConnect("");
        EXPECT_GE(sock, 0) << ClientErrorText();
        EXPECT_EQ(msqlSelectDB(sock, crash::Database), 0) << ClientErrorText();
        EXPECT_GE(msqlQuery(sock, crash::SelectRows), 0) << ClientErrorText();
        if (m_result* result = msqlStoreResult()) {
            while (m_row row = msqlFetchRow(result)) {
                for (int i = 0; i < 5; ++i)
                    if (!row[i]) ADD_FAILURE() << "a row with a NULL value: half-written";
                if (!row[0] || !row[1] || !row[2] || !row[3] || !row[4]) continue;
                byWriter[std::atoi(row[1])].emplace(std::atoi(row[0]),
                                                    std::string(row[2]) + "|" + row[3] + "|" + row[4]);
            }
            msqlFreeResult(result);
        }
        std::vector<std::string> names;
        if (m_result* list = msqlListTables(sock)) {
            while (m_row row = msqlFetchRow(list))
                if (row[0]) names.emplace_back(row[0]);
            msqlFreeResult(list);
        } else {
            ADD_FAILURE() << "the tables cannot be listed: " << ClientErrorText();
        }
        for (const std::string& name : names) {
            int writer = 0, n = 0;
            if (std::sscanf(name.c_str(), "x%d_%d", &writer, &n) != 2) continue;
            tables[writer].insert(n);
            EXPECT_EQ(msqlQuery(sock, ("select a, b from " + name).c_str()), 0)
                << name << ": " << ClientErrorText();
            if (m_result* result = msqlStoreResult()) msqlFreeResult(result);
            m_result* fields = msqlListFields(sock, name.c_str());
            EXPECT_NE(fields, nullptr) << name << ": " << ClientErrorText();
            if (fields) {
                EXPECT_EQ(msqlNumFields(fields), 2) << name;
                msqlFreeResult(fields);
            }
        }
        msqlClose(sock);
        return byWriter;
    }

    // SQLite's own check of the database file.
    void ExpectIntegrity() {
        const std::string path = fDataDir + "/" + crash::Database + ".msql";
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        std::vector<std::string> report;
        sqlite3_exec(
            db, "PRAGMA integrity_check",
            [](void* out, int, char** values, char**) {
                static_cast<std::vector<std::string>*>(out)->push_back(values[0] ? values[0] : "NULL");
                return 0;
            },
            &report, nullptr);
        sqlite3_close(db);
        EXPECT_EQ(report, std::vector<std::string>{"ok"});
    }

    // Every writer's rows as its model says, nothing else, and a sound file.
    void Verify(std::vector<WriterModel>& models) {
        ExpectIntegrity();
        std::map<int, std::set<int32_t>> tables;
        auto rows = ReadRows(tables);
        for (WriterModel& model : models) {
            for (const std::string& problem : model.Problems())
                ADD_FAILURE() << "writer " << model.Writer() << ": " << problem;
            model.Check(rows[model.Writer()], tables[model.Writer()]);
            rows.erase(model.Writer());
        }
        for (const auto& [writer, stray] : rows)
            ADD_FAILURE() << stray.size() << " rows of unknown writer " << writer;
    }

    // Rounds of `writers` writers at once, each killed at a random report line.
    void KillRounds(int rounds, int writers) {
        std::mt19937 random(fSeed);
        std::vector<WriterModel> models;
        models.reserve(static_cast<size_t>(rounds * writers));
        long acknowledged = 0, failed = 0;
        for (int round = 0; round < rounds && !HasFailure(); ++round) {
            SCOPED_TRACE("seed " + std::to_string(fSeed) + ", round " + std::to_string(round));
            std::vector<WriterModel*> running;
            std::vector<long> kills;
            for (int w = 0; w < writers; ++w) {
                models.emplace_back(static_cast<int>(models.size()) + 1);
                running.push_back(&models.back());
                // Two report lines per write and one at the end: now and then past the end.
                kills.push_back(static_cast<long>(random() % (2 * WritesPerRound + 4)));
            }
            RunWriters(running, kills, fSeed * 7919u + static_cast<uint32_t>(round), WriterEnvironment());
            Verify(models);
            for (WriterModel* model : running) {
                acknowledged += model->Acknowledged();
                failed += model->Failed();
            }
        }
        std::printf("[ figures  ] %d kill rounds of %d writer(s): %ld writes acknowledged, %ld refused\n",
                    rounds, writers, acknowledged, failed);
    }

    uint32_t fSeed = 20240617;
};

TEST_F(CrashSafetyTest, KilledWriterLosesNoAcknowledgedWrite) {
    KillRounds(24, 1);
}

TEST_F(CrashSafetyTest, TwoKilledWritersInOneFolderLoseNothing) {
    KillRounds(12, 2);
}

TEST_F(CrashSafetyTest, WritesFailedByTheClientLeaveNothing) {
    // The fault-injecting library on the writer's path fails its n-th write once, or loses its connection
    // there; every write reported failed must be absent.
    std::vector<WriterModel> models;
    models.reserve(4);
    const std::pair<const char*, int> runs[] = {{"fail", 1}, {"fail", 9}, {"lose", 4}, {"lose", 20}};
    for (const auto& [kind, call] : runs) {
        SCOPED_TRACE(std::string(kind) + " at query " + std::to_string(call));
        models.emplace_back(static_cast<int>(models.size()) + 1);
        std::vector<std::string> environment = WriterEnvironment();
        environment[1] = std::string("LD_LIBRARY_PATH=") + FAULT_CLIENT_DIR;
        environment.push_back("MSQL_FAULT_FUNCTION=msqlQuery");
        environment.push_back("MSQL_FAULT_CALL=" + std::to_string(call));
        environment.push_back(std::string("MSQL_FAULT_KIND=") + kind);
        RunWriters({&models.back()}, {1000}, fSeed + static_cast<uint32_t>(call), environment);
        const WriterModel& model = models.back();
        EXPECT_TRUE(model.Finished());
        EXPECT_EQ(model.Acknowledged() + model.Failed(), WritesPerRound);
        const auto& texts = model.FailureTexts();
        const long gone = std::count(texts.begin(), texts.end(), "mSQL server has gone away");
        EXPECT_EQ(gone, std::string(kind) == "lose" ? WritesPerRound - call + 1 : 1)
            << "a lost connection fails every later write";
        Verify(models);
    }
}

} // namespace
} // namespace corvane::test

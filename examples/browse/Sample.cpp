// The sample database, written through the mSQL client library Corvane binds.
#include "Sample.h"

#include <cstdio>
#include <stdexcept>

#include "client/msqlBinding.h"

namespace browse {

using namespace corvane;

namespace {

constexpr const char* kNames[] = {"Alder",  "Birch", "Cedar",   "Dogwood", "Elm",   "Fir",
                                  "Ginkgo", "Hazel", "Juniper", "Larch",   "Maple", "Oak",
                                  "Pine",   "Rowan", "Spruce",  "Willow"};
constexpr const char* kCities[] = {"Bergen", "Oslo", "Stavanger", "Tromso", "Trondheim"};
constexpr const char* kItems[] = {"Lamp", "Chair", "Desk", "Shelf", "Rug", "Clock", "Mirror"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

class Connection {
public:
    explicit Connection(const std::string& host) : fSocket(msqlConnect(host.c_str())) {
        if (fSocket < 0) Fail("connect");
    }
    ~Connection() { msqlClose(fSocket); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void Run(const std::string& sql) {
        if (msqlQuery(fSocket, sql.c_str()) < 0) Fail(sql);
        if (m_result* result = msqlStoreResult()) msqlFreeResult(result);
    }
    int Socket() const { return fSocket; }
    [[noreturn]] static void Fail(const std::string& what) {
        throw std::runtime_error(what + ": " + msqlGetErrMsg(nullptr));
    }

private:
    int fSocket;
};

} // namespace

void CreateSampleDatabase(const std::string& host, const std::string& name, int customers) {
    if (!TryLoadmSQLLibrary()) throw std::runtime_error(mSQLLoadErrorText());
    Connection connection(host);
    msqlDropDB(connection.Socket(), name.c_str()); // a database left by an earlier run
    if (msqlCreateDB(connection.Socket(), name.c_str()) < 0) Connection::Fail("create database " + name);
    if (msqlSelectDB(connection.Socket(), name.c_str()) < 0) Connection::Fail("select database " + name);
    connection.Run("create table customers (id int, name char(24), city char(16), since date, balance money, "
                   "notes text(120))");
    connection.Run("create unique index customers_id on customers (id)");
    connection.Run("create index customers_name on customers (name)");
    connection.Run("create index customers_city on customers (city, name)");
    connection.Run("create table orders (id int, customer int, item char(24), qty int, price money)");
    connection.Run("create unique index orders_id on orders (id)");
    connection.Run("create index orders_customer on orders (customer, id)");
    char sql[512];
    int order = 1;
    for (int c = 1; c <= customers; ++c) {
        const char* name1 = kNames[(c * 7) % 16];
        const char* city = kCities[(c * 3) % 5];
        std::snprintf(sql, sizeof sql,
                      "insert into customers values (%d, '%s %d', '%s', '%02d-%s-%d', %d.%02d, "
                      "'Customer %d of %s.\\nPrefers delivery on %s.')",
                      c, name1, c, city, 1 + c % 28, kMonths[c % 12], 1990 + c % 30, 100 + c * 37 % 900,
                      c % 100, c, city, c % 2 == 0 ? "weekdays" : "weekends");
        connection.Run(sql);
        for (int k = 0; k < 3; ++k, ++order) {
            std::snprintf(sql, sizeof sql, "insert into orders values (%d, %d, '%s', %d, %d.%02d)", order, c,
                          kItems[(c + k * 3) % 7], 1 + (c + k) % 5, 10 + (c * 13 + k * 7) % 90,
                          (c * k) % 100);
            connection.Run(sql);
        }
    }
}

} // namespace browse

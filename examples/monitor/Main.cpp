// Demo of the msql monitor: creates the database "demo" through the client library, then feeds a
// small script to the monitor (bin/msql, beside this program) and lets it print its tables.
#include "msql.h"

#include <climits>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

const char* const kScript = R"(# A small script for the msql monitor
create table staff (id int not null, name char(20), salary money, hired date)\g
create unique index staff_id on staff (id)\g
insert into staff values (1, 'Ada', 4200.50, '10-Dec-1995');
insert into staff values (2, 'O\'Brien', 3100, '5-Mar-1999');
insert into staff (id, name) values (3, 'Grace');
select id, name, salary, hired from staff order by name;
select name from staff where salary = NULL;
update staff set salary = 3300.25 where name = 'O\'Brien';
select name, salary from staff where salary > 3000 order by salary desc;
insert into staff values (1, 'Duplicate', 1, '1-Jan-2000');
)";

std::string ProgramDir() {
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string dir(path, static_cast<size_t>(n));
    return dir.substr(0, dir.rfind('/'));
}

} // namespace

int main() {
    char empty[] = "";
    char db[] = "demo";
    int sock = msqlConnect(empty);
    if (sock < 0 || (msqlCreateDB(sock, db) < 0 && msqlSelectDB(sock, db) < 0)) {
        std::fprintf(stderr, "demo: %s\n", msqlGetErrMsg(nullptr));
        return 1;
    }
    msqlClose(sock);

    std::string command = "'" + ProgramDir() + "/msql' demo";
    std::printf("$ msql demo < script  (the last statement fails on purpose)\n\n");
    std::fflush(stdout);
    FILE* monitor = ::popen(command.c_str(), "w");
    if (!monitor) {
        std::perror("demo: popen");
        return 1;
    }
    std::fputs(kScript, monitor);
    int status = ::pclose(monitor);
    std::printf("monitor exit status: %d (non-zero because one statement failed)\n", WEXITSTATUS(status));
    return 0;
}

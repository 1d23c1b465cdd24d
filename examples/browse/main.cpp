// corvane-browse: browse, search and edit the tables of an mSQL database in a window.
//   corvane-browse [-h host] database
//   corvane-browse --sample [-h host] [database]
// Without -h the embedded engine is used (its data folder is $MSQL_DATA_DIR, else ./msqldata);
// host is a name or address (host:port for another port) or a UNIX socket path. --sample first
// (re)creates the sample database (default name corvane_sample) with its customers and orders.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "Browser.h"
#include "Sample.h"
#include "ui/MessageBox.h"
#include "ui/ModalHook.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: corvane-browse [-h host] database\n"
                         "       corvane-browse --sample [-h host] [database]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    browse::Options options;
    bool sample = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 && i + 1 < argc)
            options.host = argv[++i];
        else if (std::strcmp(argv[i], "--sample") == 0)
            sample = true;
        else if (argv[i][0] == '-' || !options.database.empty())
            return Usage();
        else
            options.database = argv[i];
    }
    if (sample && options.database.empty()) options.database = "corvane_sample";
    if (options.database.empty()) return Usage();
    if (!ui::DisplayAvailable()) {
        std::fprintf(stderr, "corvane-browse: no X display (is DISPLAY set?)\n");
        return 1;
    }
    try {
        if (sample) browse::CreateSampleDatabase(options.host, options.database);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane-browse: cannot create the sample database: %s\n", e.what());
        return 1;
    }
    // Dialogs (the navigator's delete confirmation, the components' message boxes) as windows.
    ui::InstallShowModalHook();
    ui::InstallMessageBoxHook();
    browse::Browser browser(options);
    return browser.Run();
}

// A form file that connects and opens on load. The components of a form - a database, tables, a
// data source linking them - are written down in a form file with their properties; reading the
// file creates them, resolves their references to each other, and once the whole form is read
// connects the database and opens the tables marked Active. Nothing here sets them up by hand.
//
// Usage: demo_form_file [form file]   (default: CustomerForm.dfm beside the program)
#include <algorithm>
#include <climits>
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "common/PrintTable.h"
#include "components/mSQLDbTables.h"
#include "host/Application.h"
#include "host/Forms.h"
#include "host/Streaming.h"

using namespace corvane;

namespace {

std::string DefaultFormFile() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string program = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string("./x");
    return program.substr(0, program.rfind('/') + 1) + "CustomerForm.dfm";
}

} // namespace

int main(int argc, char** argv) {
    const std::string formFile = argc > 1 ? argv[1] : DefaultFormFile();
    std::ifstream in(formFile);
    if (!in) {
        std::fprintf(stderr, "form_file: cannot read %s\n", formFile.c_str());
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();

    // A failure while the form opens its components (a database that cannot be reached) goes to the
    // application's exception handler, as in a GUI application; here it ends the program.
    int failures = 0;
    host::Application().SetOnException([&failures](host::TObject*, const std::exception& e) {
        std::fprintf(stderr, "form_file: %s\n", e.what());
        ++failures;
    });

    try {
        host::TForm form(nullptr);
        host::ReadComponentFromText(text.str(), &form);
        if (failures) return 1;

        auto* database = dynamic_cast<TmSQLDatabase*>(form.FindComponent("ShopDatabase"));
        auto* customers = dynamic_cast<TmSQLTable*>(form.FindComponent("Customers"));
        auto* orders = dynamic_cast<TmSQLTable*>(form.FindComponent("Orders"));
        if (!database || !customers || !orders) {
            std::fprintf(stderr, "form_file: the form lacks a component\n");
            return 1;
        }
        std::printf("form '%s' loaded from %s: %d components\n", form.Name().c_str(), "CustomerForm.dfm",
                    form.ComponentCount());
        std::printf("database %s connected: %s; customers active: %s, filter: %s\n\n",
                    database->DatabaseName().c_str(), database->Connected() ? "yes" : "no",
                    customers->Active() ? "yes" : "no", customers->Filter().c_str());

        example::PrintTable(*customers, "Customers", "id;name;city");
        for (customers->First(); !customers->Eof(); customers->Next())
            example::PrintTable(*orders, "Orders of " + customers->FieldByName("name")->AsString(),
                                "id;item;qty;price");

        // The form as the designer would save it again, with the state the components are in now.
        const std::string saved = host::WriteComponentToText(&form);
        std::printf("saved again, the form text has %zu lines\n",
                    static_cast<size_t>(std::count(saved.begin(), saved.end(), '\n')));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "form_file: %s\n", e.what());
        return 1;
    }
}

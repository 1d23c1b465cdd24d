// Module start and stop of the client layer, the month-name table they fill and release, and
// the static object that runs them when the code is loaded and unloaded.
#include "client/ClientModule.h"

#include <dlfcn.h>
#include <link.h>

#include "client/ValueConversions.h"
#include "client/msqlBinding.h"
#include "host/Messages.h"

namespace corvane {

// Defined here, before the static start object below, so that it is constructed before the
// automatic start fills it and destroyed after the automatic stop releases it.
std::array<std::string, 13> ShortMNames;

namespace {

int gStartCount = 0;

void FillMonthNames() {
    static constexpr const char* kNames[12] = {
        host::SShortMonthNameJan, host::SShortMonthNameFeb, host::SShortMonthNameMar,
        host::SShortMonthNameApr, host::SShortMonthNameMay, host::SShortMonthNameJun,
        host::SShortMonthNameJul, host::SShortMonthNameAug, host::SShortMonthNameSep,
        host::SShortMonthNameOct, host::SShortMonthNameNov, host::SShortMonthNameDec};
    for (int month = 1; month <= 12; ++month)
        ShortMNames[month] = kNames[month - 1];
}

void ReleaseMonthNames() {
    for (std::string& name : ShortMNames)
        std::string().swap(name);
}

void Start(bool showMessages) {
    if (gStartCount++ > 0) return;
    FillMonthNames();
    if (showMessages)
        LoadmSQLLibrary();
    else
        TryLoadmSQLLibrary();
}

// True when this code is part of the main program rather than of a shared library: the
// object that contains this function is the one dlopen(nullptr) names.
bool LinkedIntoExecutable() {
    Dl_info info;
    link_map* self = nullptr;
    if (!dladdr1(reinterpret_cast<void*>(&LinkedIntoExecutable), &info, reinterpret_cast<void**>(&self),
                 RTLD_DL_LINKMAP) ||
        !self)
        return true;
    void* program = dlopen(nullptr, RTLD_LAZY);
    if (!program) return true;
    link_map* programMap = nullptr;
    const bool found = dlinfo(program, RTLD_DI_LINKMAP, &programMap) == 0;
    dlclose(program);
    return !found || programMap == self;
}

// Runs the module start when the code is loaded and the stop when it is unloaded.
struct AutomaticModuleStart {
    AutomaticModuleStart() { Start(!LinkedIntoExecutable()); }
    ~AutomaticModuleStart() { FinalizeClientModule(); }
    AutomaticModuleStart(const AutomaticModuleStart&) = delete;
    AutomaticModuleStart& operator=(const AutomaticModuleStart&) = delete;
};

const AutomaticModuleStart gAutomaticStart;

} // namespace

void InitializeClientModule() {
    Start(true);
}

void FinalizeClientModule() {
    if (gStartCount == 0) return;
    if (--gStartCount > 0) return;
    UnloadmSQLLibrary();
    ReleaseMonthNames();
}

int ClientModuleStartCount() {
    return gStartCount;
}

} // namespace corvane

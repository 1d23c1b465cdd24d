// Prints the Corvane build this program was linked with.
#include "client/Version.h"

#include <cstdio>

int main() {
    std::printf("Corvane %s (host generation %d)\n", corvane::CorvaneVersion(), corvane::CorvaneHostGeneration());
    return 0;
}

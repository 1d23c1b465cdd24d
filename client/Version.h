// Version and host generation of the loaded Corvane deliverable.
#pragma once

namespace corvane {

// "major.minor.patch" of this build.
const char* CorvaneVersion();
// 5 for corvane5/corvaneb5, 4 for corvane4 (built without the provider-support operations).
int CorvaneHostGeneration();

}  // namespace corvane

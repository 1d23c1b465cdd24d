// Client-side filters of a native cursor: record acceptance and the skip over rejected rows.
#include "access/EmSQLException.h"
#include "access/NativeDataSet.h"

namespace corvane {

bool TNativeDataSet::FilteredRecord(uint8_t* /*buffer*/) {
    // Filter expressions are evaluated here, in the order they were added, once filters can be added;
    // an empty filter list accepts every record.
    return true;
}

void TNativeDataSet::CheckFilter(uint8_t* buffer) {
    if (!buffer || !fFiltersActive) return;
    while (!FilteredRecord(buffer)) {
        // Each read forgets the buffer, so it is set again for every step.
        SetInternalBuffer(buffer);
        if (fLastDirection == cdBackward)
            PrevRecord();
        else
            NextRecord();
    }
}

} // namespace corvane

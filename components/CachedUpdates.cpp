// Cached updates and constraints of the dataset core: the update buffer pair, the constraint test
// and the binding of an update object.
#include "components/DataSet.h"

namespace corvane {

void TmSQLDataSet::AllocCachedUpdateBuffers(bool allocate) {
    if (fUpdateBuffers) {
        FreeRecordBuffer(fUpdateBuffers->newBuffer);
        FreeRecordBuffer(fUpdateBuffers->oldBuffer);
        fUpdateBuffers.reset();
    }
    if (!allocate) return;
    auto buffers = std::make_unique<TUpdateBuffers>();
    buffers->recordSize = fRecordSize;
    buffers->newBuffer = AllocRecordBuffer();
    try {
        buffers->oldBuffer = AllocRecordBuffer();
    } catch (...) {
        FreeRecordBuffer(buffers->newBuffer);
        throw;
    }
    fUpdateBuffers = std::move(buffers);
}

bool TmSQLDataSet::HasConstraints() {
    if (Constraints()->Count() > 0) return true;
    for (host::TField* field : *Fields())
        if (field->HasConstraints()) return true;
    return false;
}

void TmSQLDataSet::SetUpdateObject(TmSQLSQLUpdateObject* object) {
    if (object == fUpdateObject) return;
    if (fUpdateObject && fUpdateObject->GetDataSet() == this) fUpdateObject->SetDataSet(nullptr);
    fUpdateObject = object;
    if (!object) return;
    // An update object serves one dataset at a time: the one it served lets go of it.
    if (TmSQLDataSet* previous = object->GetDataSet(); previous && previous != this)
        previous->SetUpdateObject(nullptr);
    object->SetDataSet(this);
}

} // namespace corvane

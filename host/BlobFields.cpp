// The blob field classes: values read and written through the dataset's blob streams.
#include <algorithm>

#include "host/DataSet.h"
#include "host/Exceptions.h"
#include "host/Fields.h"
#include "host/Messages.h"
#include "host/Stream.h"
#include "host/Strings.h"

namespace host {

TBlobField::TBlobField(TComponent* owner) : TField(owner) {
    SetDataType(ftBlob);
}

void TBlobField::CheckTypeSize(int size) const {
    if (size < 0) DatabaseError(SInvalidFieldSize);
}

void TBlobField::SetModified(bool value) {
    fModified = value;
}

int64_t TBlobField::BlobSize() const {
    if (DataSet() == nullptr) return 0;
    auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
    return stream ? stream->Size() : 0;
}

bool TBlobField::IsNull() const {
    if (fModified) return BlobSize() == 0;
    return TField::IsNull();
}

std::string TBlobField::GetAsString() const {
    if (DataSet() == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
    auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
    if (!stream) return {};
    std::string result(static_cast<size_t>(std::max<int64_t>(stream->Size(), 0)), '\0');
    stream->SetPosition(0);
    const int64_t read =
        result.empty() ? 0 : stream->Read(result.data(), static_cast<int64_t>(result.size()));
    result.resize(static_cast<size_t>(std::max<int64_t>(read, 0)));
    return result;
}

void TBlobField::SetAsString(const std::string& value) {
    if (DataSet() == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
    auto stream = DataSet()->CreateBlobStream(this, bmWrite);
    if (!stream) AccessError("String");
    if (!value.empty()) stream->WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
    stream.reset();
    fModified = true;
}

void TBlobField::Clear() {
    if (DataSet() == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
    auto stream = DataSet()->CreateBlobStream(this, bmWrite);
    stream.reset();
    fModified = true;
}

void TBlobField::LoadFromStream(TStream& source) {
    if (DataSet() == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
    auto stream = DataSet()->CreateBlobStream(this, bmWrite);
    if (!stream) AccessError("String");
    stream->CopyFrom(source, 0);
    stream.reset();
    fModified = true;
}

void TBlobField::SaveToStream(TStream& dest) const {
    if (DataSet() == nullptr) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
    auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
    if (stream && stream->Size() > 0) dest.CopyFrom(*stream, 0);
}

void TBlobField::LoadFromFile(const std::string& fileName) {
    TMemoryStream stream;
    stream.LoadFromFile(fileName);
    LoadFromStream(stream);
}

void TBlobField::SaveToFile(const std::string& fileName) const {
    TMemoryStream stream;
    SaveToStream(stream);
    stream.SaveToFile(fileName);
}

void TBlobField::Assign(TPersistent* source) {
    if (auto* blob = dynamic_cast<TBlobField*>(source)) {
        SetAsString(blob->AsString());
        return;
    }
    if (auto* strings = dynamic_cast<TStrings*>(source)) {
        SetAsString(strings->Text());
        return;
    }
    TField::Assign(source);
}

void TBlobField::FreeBuffers() {
    if (!fModified) return;
    if (DataSet() != nullptr) DataSet()->CloseBlob(this);
    fModified = false;
}

Variant TBlobField::GetAsVariant() const {
    if (IsNull()) return Null();
    return Variant(GetAsString());
}

void TBlobField::GetText(std::string& text, bool /*displayText*/) const {
    text = ClassDesc();
}

void TBlobField::SetTextValue(const std::string& /*value*/) {
    AccessError("Text");
}

TMemoField::TMemoField(TComponent* owner) : TBlobField(owner) {
    SetDataType(ftMemo);
    SetTransliterate(true);
}

TGraphicField::TGraphicField(TComponent* owner) : TBlobField(owner) {
    SetDataType(ftGraphic);
}

} // namespace host

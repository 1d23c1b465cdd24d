// libFuzzer target: the form text reader builds a component tree from any text or raises a host
// exception (EReadError naming the property and line, EClassNotFound, EConvertError ...), never
// crashing, hanging or leaking what it built before the failure.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/Exceptions.h"
#include "host/MemDataSet.h"
#include "host/Params.h"
#include "host/Streaming.h"

namespace {

// A component with the property kinds the host's own classes lack: a float, binary data and a
// collection of parameters stored the way a query stores them ("ParamData").
class TQueryStandIn : public host::TComponent {
public:
    explicit TQueryStandIn(host::TComponent* owner) : host::TComponent(owner), fParams(this) {}
    const std::string& Data() const { return fData; }
    void SetData(const std::string& value) { fData = value; }
    double Ratio() const { return fRatio; }
    void SetRatio(double value) { fRatio = value; }

protected:
    void DefineProperties(host::TFiler* filer) override {
        filer->DefineProperty(
            "ParamData",
            [this](host::TReader& reader) {
                reader.ReadValue();
                reader.ReadCollection(&fParams);
            },
            [this](host::TWriter& writer) { writer.WriteCollection(&fParams); }, fParams.Count() > 0);
    }

private:
    host::TParams fParams;
    std::string fData;
    double fRatio = 0;
};

// Forms, their controls, fields and data sources are registered by the host; an in-memory dataset
// with three columns stands for a dataset class.
bool RegisterDataSet() {
    host::RegisterClass<TQueryStandIn>("TQueryStandIn", "TComponent")
        .Binary("Data", &TQueryStandIn::Data, &TQueryStandIn::SetData)
        .Float("Ratio", &TQueryStandIn::Ratio, &TQueryStandIn::SetRatio);
    host::RegisterClass<hosttest::MemDataSet>("MemDataSet", "TDataSet");
    host::ClassRegistry().SetFactory("MemDataSet", [](host::TComponent* owner) -> host::TComponent* {
        return new hosttest::MemDataSet(owner, hosttest::StandardColumns());
    });
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = RegisterDataSet();
    (void)registered;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto owner = std::make_unique<host::TComponent>(nullptr);
    try {
        host::ReadComponentFromText(text, nullptr, owner.get());
        // What was read can be written again.
        if (owner->ComponentCount() > 0) host::WriteComponentToText(owner->Components(0));
    } catch (const host::Exception&) {
        // Refused with a message.
    }
    return 0;
}

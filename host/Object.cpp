// TObject (class names, destroying delete) and TPersistent's assignment protocol.
#include "host/Object.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

TObject::~TObject() = default;

std::string TObject::ClassName() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                     std::free);
    std::string name = (status == 0 && demangled) ? demangled.get() : mangled;
    // Drop namespaces ("host::TStringList" -> "TStringList"); template arguments are kept.
    size_t end = name.find('<');
    size_t cut = name.rfind("::", end);
    if (cut != std::string::npos) name.erase(0, cut + 2);
    return name;
}

void* TObject::operator new(std::size_t size) {
    return ::operator new(size);
}

void TObject::operator delete(void* block) noexcept {
    ::operator delete(block);
}

void TObject::operator delete(TObject* object, std::destroying_delete_t) {
    object->BeforeDestruction();
    void* block = dynamic_cast<void*>(object); // start of the most derived object
    object->~TObject();
    ::operator delete(block);
}

void TPersistent::Assign(TPersistent* source) {
    if (source != nullptr) {
        source->AssignTo(this);
        return;
    }
    throw EConvertError(Format(SAssignError, "nil", ClassName()));
}

std::string TPersistent::GetNamePath() const {
    return ClassName();
}

void TPersistent::AssignTo(TPersistent* dest) {
    throw EConvertError(Format(SAssignError, ClassName(), dest ? dest->ClassName() : std::string("nil")));
}

void TPersistent::DefineProperties(TFiler* /*filer*/) {}

} // namespace host

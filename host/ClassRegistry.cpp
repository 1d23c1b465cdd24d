// Component streaming, part one: the published-property registry and the class registry
// (RegisterClass / FindClass) that the reader creates components through, and the generic
// property access over them (GetPropValue / SetPropValue).
#include <algorithm>

#include "host/Messages.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

namespace host {

const char* DefaultTypeName(TPropKind kind) {
    switch (kind) {
    case pkInteger:
        return "Integer";
    case pkString:
        return "string";
    case pkBoolean:
        return "Boolean";
    case pkEnum:
        return "Enumeration";
    case pkSet:
        return "Set";
    case pkFloat:
        return "Double";
    case pkVariant:
        return "Variant";
    case pkStrings:
        return "TStrings";
    case pkCollection:
        return "TCollection";
    case pkComponent:
        return "TComponent";
    case pkBinary:
        return "Binary";
    case pkPersistent:
        return "TPersistent";
    }
    return "";
}

const TClassInfo* TClassInfo::Parent() const {
    if (fParentName.empty() || fRegistry == nullptr) return nullptr;
    return fRegistry->Find(fParentName);
}

int TClassInfo::Depth() const {
    int depth = 0;
    // The chain is bounded so that a registration cycle cannot loop forever.
    for (const TClassInfo* c = Parent(); c != nullptr && depth < 64; c = c->Parent())
        ++depth;
    return depth;
}

std::vector<const TPropInfo*> TClassInfo::Properties() const {
    std::vector<const TClassInfo*> chain;
    for (const TClassInfo* c = this; c != nullptr && chain.size() < 64; c = c->Parent())
        chain.push_back(c);
    std::vector<const TPropInfo*> result;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        for (const TPropInfo& p : (*it)->fProperties) {
            auto same = std::find_if(result.begin(), result.end(),
                                     [&](const TPropInfo* q) { return SameText(q->Name, p.Name); });
            if (same != result.end())
                *same = &p;
            else
                result.push_back(&p);
        }
    }
    return result;
}

const TPropInfo* TClassInfo::FindProperty(const std::string& name) const {
    int guard = 0;
    for (const TClassInfo* c = this; c != nullptr && guard < 64; c = c->Parent(), ++guard)
        for (const TPropInfo& p : c->fProperties)
            if (SameText(p.Name, name)) return &p;
    return nullptr;
}

TComponent* TClassInfo::Create(TComponent* owner) const {
    if (!fFactory) throw EClassNotFound(Format(SNotAComponentClass, {fName}));
    return fFactory(owner);
}

bool TClassRegistry::Less::operator()(const std::string& a, const std::string& b) const {
    return CompareText(a, b) < 0;
}

TClassRegistry::TClassRegistry() = default;
TClassRegistry::~TClassRegistry() = default;

TClassInfo* TClassRegistry::Emplace(const std::string& name, const std::string& parentName) {
    auto& slot = fClasses[name];
    if (!slot) slot = std::make_unique<TClassInfo>();
    slot->fName = name;
    slot->fParentName = parentName;
    slot->fProperties.clear();
    slot->fFactory = nullptr;
    slot->fRegistry = this;
    return slot.get();
}

void TClassRegistry::SetFactory(const std::string& name, TComponentFactory factory) {
    auto it = fClasses.find(name);
    if (it == fClasses.end()) throw EClassNotFound(Format(SClassNotFound, {name}));
    it->second->fFactory = std::move(factory);
}

const TClassInfo* TClassRegistry::Find(const std::string& name) const {
    auto it = fClasses.find(name);
    return it == fClasses.end() ? nullptr : it->second.get();
}

const TClassInfo& TClassRegistry::Get(const std::string& name) const {
    const TClassInfo* info = Find(name);
    if (info == nullptr) throw EClassNotFound(Format(SClassNotFound, {name}));
    return *info;
}

const TClassInfo* TClassRegistry::InfoOf(const TPersistent* object) const {
    if (object == nullptr) return nullptr;
    const TClassInfo* exact = Find(object->ClassName());
    if (exact != nullptr && exact->IsInstance(object)) return exact;
    const TClassInfo* best = nullptr;
    int bestDepth = -1;
    for (const auto& [name, info] : fClasses) {
        if (!info->IsInstance(object)) continue;
        const int depth = info->Depth();
        if (depth > bestDepth) {
            best = info.get();
            bestDepth = depth;
        }
    }
    return best;
}

TClassRegistry& ClassRegistry() {
    static TClassRegistry& registry = []() -> TClassRegistry& {
        static TClassRegistry instance;
        RegisterHostStreamClasses(instance);
        return instance;
    }();
    return registry;
}

const TPropInfo* GetPropInfo(const TPersistent* object, const std::string& name) {
    const TClassInfo* info = ClassRegistry().InfoOf(object);
    return info != nullptr ? info->FindProperty(name) : nullptr;
}

TPersistent* GetObjectProp(TPersistent* object, const std::string& name) {
    const TPropInfo* prop = GetPropInfo(object, name);
    return prop != nullptr && prop->GetObject ? prop->GetObject(object) : nullptr;
}

Variant GetPropValue(TPersistent* object, const std::string& name) {
    const TPropInfo* prop = GetPropInfo(object, name);
    if (prop == nullptr || !prop->Get) throw EFilerError(Format(SUnknownProperty, {name}));
    return prop->Get(object);
}

void SetPropValue(TPersistent* object, const std::string& name, const Variant& value) {
    const TPropInfo* prop = GetPropInfo(object, name);
    if (prop == nullptr || !prop->Set) throw EFilerError(Format(SUnknownProperty, {name}));
    prop->Set(object, value);
}

} // namespace host

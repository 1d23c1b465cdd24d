// Component streaming: class registry, form text reader and writer.
#include "host/Streaming.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstring>

#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

// ---------------------------------------------------------------- class registry

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

// ---------------------------------------------------------------- shared helpers

namespace {

bool IsObjectKeyword(const std::string& s) {
    return SameText(s, "object") || SameText(s, "inherited") || SameText(s, "inline");
}

std::string Spaces(int n) {
    return std::string(static_cast<size_t>(std::max(n, 0)), ' ');
}

// The components written inside root's block: the ones it owns that have no other parent, then
// whatever root->GetChildren adds.
std::vector<TComponent*> RootChildren(TComponent* root) {
    std::vector<TComponent*> result;
    for (int i = 0; i < root->ComponentCount(); ++i) {
        TComponent* c = root->Components(i);
        TComponent* parent = c->HasParent() ? c->GetParentComponent() : nullptr;
        if (parent == nullptr || parent == root) result.push_back(c);
    }
    root->GetChildren(
        [&](TComponent* c) {
            if (std::find(result.begin(), result.end(), c) == result.end()) result.push_back(c);
        },
        root);
    return result;
}

// Keeps a component state flag set for a scope.
class StateFlagScope {
public:
    StateFlagScope(TComponent* c, TComponentStateFlag flag) : fC(c), fFlag(flag) {
        fC->SetComponentStateFlag(flag, true);
    }
    ~StateFlagScope() { fC->SetComponentStateFlag(fFlag, false); }
    StateFlagScope(const StateFlagScope&) = delete;
    StateFlagScope& operator=(const StateFlagScope&) = delete;

private:
    TComponent* fC;
    TComponentStateFlag fFlag;
};

} // namespace

// ---------------------------------------------------------------- TReader

namespace {

// Hears of the destruction of the components a reader has read (a failing component is deleted
// together with whatever it owns or frees), so that the reader never touches them again.
class ReadWatcher : public TComponent {
public:
    explicit ReadWatcher(std::function<void(TComponent*)> onGone)
        : TComponent(nullptr), fOnGone(std::move(onGone)) {}

protected:
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == opRemove && fOnGone) fOnGone(component);
    }

private:
    std::function<void(TComponent*)> fOnGone;
};

} // namespace

struct TReader::Impl {
    enum Kind : uint8_t { tkEOF, tkSymbol, tkString, tkInteger, tkFloat, tkBinary, tkChar };
    struct Token {
        Kind kind = tkEOF;
        std::string text; // symbol, decoded string, binary bytes
        char ch = 0;
        int64_t integer = 0;
        double real = 0;
        int line = 1;
    };
    struct Fixup {
        TPersistent* instance;
        std::function<void(TPersistent*, TComponent*)> set;
        std::string name;
        std::string what; // "Name.Prop" for messages
        int line;
    };

    TReader& owner;
    const TClassRegistry& registry;
    std::string text;
    size_t pos = 0;
    int line = 1;
    Token tok;
    bool positioned = false; // the error in flight already names its line

    // DefineProperty matching while a defined property is read.
    std::string propName;
    bool propHandled = false;

    std::vector<TComponent*> read;   // components being read or read (state flags to clear)
    std::vector<TComponent*> loaded; // in Loaded order
    std::vector<Fixup> fixups;
    std::unique_ptr<ReadWatcher> watcher;

    Impl(TReader& r, std::string t, const TClassRegistry& reg) : owner(r), registry(reg), text(std::move(t)) {
        Next();
    }

    [[noreturn]] void Fail(const std::string& message) { throw EReadError(message); }

    // Objects and skipped values nest by recursion: their depth is bounded, so that no text can exhaust
    // the stack.
    static constexpr int MaxNesting = 256;
    int nesting = 0;
    struct Nested {
        explicit Nested(Impl& impl) : impl(impl) {
            if (impl.nesting >= MaxNesting) impl.Fail("Objects or values nested more than 256 deep");
            ++impl.nesting;
        }
        ~Nested() { --impl.nesting; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;
        Impl& impl;
    };

    // An error that names the line of the current token.
    [[noreturn]] void FailAt(const std::string& message, int atLine) {
        positioned = true;
        throw EReadError(Format(SParseError, {message, atLine}));
    }

    unsigned char At(size_t i) const { return i < text.size() ? static_cast<unsigned char>(text[i]) : '\0'; }

    void Next() {
        while (pos < text.size() && At(pos) <= ' ') {
            if (At(pos) == '\n') ++line;
            ++pos;
        }
        tok = Token{};
        tok.line = line;
        if (pos >= text.size()) return;
        const unsigned char c = At(pos);
        if (std::isalpha(c) || c == '_') {
            const size_t start = pos;
            while (std::isalnum(At(pos)) || At(pos) == '_' || At(pos) == '.')
                ++pos;
            tok.kind = tkSymbol;
            tok.text = text.substr(start, pos - start);
            return;
        }
        if (c == '\'' || c == '#') {
            ScanString();
            return;
        }
        if (c == '-' || c == '$' || std::isdigit(c)) {
            ScanNumber();
            return;
        }
        if (c == '{') {
            ScanBinary();
            return;
        }
        tok.kind = tkChar;
        tok.ch = static_cast<char>(c);
        ++pos;
    }

    void ScanString() {
        std::string value;
        for (;;) {
            if (At(pos) == '\'') {
                ++pos;
                for (;;) {
                    if (pos >= text.size() || At(pos) == '\n' || At(pos) == '\r') Fail("Unterminated string");
                    if (At(pos) == '\'') {
                        if (At(pos + 1) != '\'') break;
                        ++pos;
                    }
                    value += static_cast<char>(At(pos));
                    ++pos;
                }
                ++pos;
            } else if (At(pos) == '#') {
                ++pos;
                int code = 0;
                const size_t start = pos;
                while (std::isdigit(At(pos)) && code < 256)
                    code = code * 10 + (At(pos++) - '0');
                if (pos == start || code > 255) Fail("Invalid character code in string");
                value += static_cast<char>(code);
            } else {
                break;
            }
        }
        tok.kind = tkString;
        tok.text = std::move(value);
    }

    void ScanNumber() {
        const size_t start = pos;
        bool negative = false;
        if (At(pos) == '-') {
            negative = true;
            ++pos;
        }
        if (At(pos) == '$') {
            ++pos;
            const size_t digits = pos;
            while (std::isxdigit(At(pos)))
                ++pos;
            uint64_t v = 0;
            auto [end, ec] = std::from_chars(text.data() + digits, text.data() + pos, v, 16);
            if (pos == digits || ec != std::errc() || end != text.data() + pos) Fail("Invalid number");
            tok.kind = tkInteger;
            tok.integer = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
            return;
        }
        bool isFloat = false;
        while (std::isdigit(At(pos)) || At(pos) == '.' || At(pos) == 'e' || At(pos) == 'E' ||
               ((At(pos) == '+' || At(pos) == '-') && (At(pos - 1) == 'e' || At(pos - 1) == 'E'))) {
            if (!std::isdigit(At(pos))) isFloat = true;
            ++pos;
        }
        const char* first = text.data() + start;
        const char* last = text.data() + pos;
        if (isFloat) {
            double v = 0;
            auto [end, ec] = std::from_chars(first, last, v);
            if (ec != std::errc() || end != last) Fail("Invalid number");
            tok.kind = tkFloat;
            tok.real = v;
        } else {
            int64_t v = 0;
            auto [end, ec] = std::from_chars(first, last, v);
            if (ec != std::errc() || end != last) Fail("Invalid number");
            tok.kind = tkInteger;
            tok.integer = v;
        }
    }

    void ScanBinary() {
        ++pos; // '{'
        std::string bytes;
        int high = -1;
        for (;;) {
            const unsigned char c = At(pos);
            if (pos >= text.size()) Fail(SInvalidBinary);
            ++pos;
            if (c == '}') break;
            if (c == '\n') ++line;
            if (c <= ' ') continue;
            int nibble;
            if (c >= '0' && c <= '9')
                nibble = c - '0';
            else if (c >= 'A' && c <= 'F')
                nibble = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f')
                nibble = c - 'a' + 10;
            else
                Fail(SInvalidBinary);
            if (high < 0) {
                high = nibble;
            } else {
                bytes += static_cast<char>((high << 4) | nibble);
                high = -1;
            }
        }
        if (high >= 0) Fail(SInvalidBinary);
        tok.kind = tkBinary;
        tok.text = std::move(bytes);
    }

    bool IsChar(char c) const { return tok.kind == tkChar && tok.ch == c; }
    bool IsSymbol(const char* s) const { return tok.kind == tkSymbol && SameText(tok.text, s); }

    void ExpectChar(char c) {
        if (!IsChar(c)) Fail(Format(SExpected, {std::string("'") + c + "'"}));
        Next();
    }

    // ---- values

    TValueType NextValue() {
        switch (tok.kind) {
        case tkInteger:
            return tok.integer >= INT32_MIN && tok.integer <= INT32_MAX ? vaInt32 : vaInt64;
        case tkFloat:
            return vaExtended;
        case tkString:
            return vaString;
        case tkBinary:
            return vaBinary;
        case tkSymbol:
            if (SameText(tok.text, "True")) return vaTrue;
            if (SameText(tok.text, "False")) return vaFalse;
            if (SameText(tok.text, "nil")) return vaNil;
            if (SameText(tok.text, "Null")) return vaNull;
            return vaIdent;
        case tkChar:
            if (tok.ch == '(') return vaList;
            if (tok.ch == '[') return vaSet;
            if (tok.ch == '<') return vaCollection;
            break;
        case tkEOF:
            break;
        }
        Fail(SInvalidPropertyValue);
    }

    TValueType ReadValue() {
        const TValueType t = NextValue();
        switch (t) {
        case vaList:
        case vaSet:
        case vaCollection:
        case vaTrue:
        case vaFalse:
        case vaNil:
        case vaNull:
            Next();
            break;
        default:
            break;
        }
        return t;
    }

    bool EndOfList() const {
        return tok.kind == tkEOF || IsChar(')') || IsChar('>') || IsChar(']') || IsSymbol("end");
    }

    int64_t ReadInt64() {
        if (tok.kind != tkInteger) Fail(SInvalidPropertyValue);
        const int64_t v = tok.integer;
        Next();
        return v;
    }

    double ReadFloat() {
        double v;
        if (tok.kind == tkInteger)
            v = static_cast<double>(tok.integer);
        else if (tok.kind == tkFloat)
            v = tok.real;
        else
            Fail(SInvalidPropertyValue);
        Next();
        return v;
    }

    std::string ReadString() {
        if (tok.kind != tkString) Fail(SInvalidPropertyValue);
        std::string s = tok.text;
        Next();
        while (IsChar('+')) {
            Next();
            if (tok.kind != tkString) Fail(SInvalidPropertyValue);
            s += tok.text;
            Next();
        }
        return s;
    }

    bool ReadBoolean() {
        if (IsSymbol("True")) {
            Next();
            return true;
        }
        if (IsSymbol("False")) {
            Next();
            return false;
        }
        Fail(SInvalidPropertyValue);
    }

    std::string ReadIdent() {
        if (tok.kind != tkSymbol) Fail(SInvalidPropertyValue);
        std::string s = tok.text;
        Next();
        return s;
    }

    std::string ReadBinary() {
        if (tok.kind != tkBinary) Fail(SInvalidPropertyValue);
        std::string s = std::move(tok.text);
        Next();
        return s;
    }

    Variant ReadVariant() {
        switch (NextValue()) {
        case vaNull:
            Next();
            return Null();
        case vaNil:
            Next();
            return Unassigned();
        case vaTrue:
        case vaFalse:
            return Variant(ReadBoolean());
        case vaInt32:
            return Variant(static_cast<int32_t>(ReadInt64()));
        case vaInt64:
            return Variant(ReadInt64());
        case vaExtended:
            return Variant(ReadFloat());
        case vaString:
            return Variant(ReadString());
        default:
            Fail(SInvalidPropertyValue);
        }
    }

    void SkipValue() {
        const Nested nested(*this);
        switch (NextValue()) {
        case vaList:
            Next();
            while (!IsChar(')')) {
                if (tok.kind == tkEOF) Fail(Format(SExpected, {"')'"}));
                SkipValue();
            }
            Next();
            break;
        case vaSet:
            Next();
            while (!IsChar(']')) {
                if (tok.kind == tkEOF) Fail(Format(SExpected, {"']'"}));
                Next();
            }
            Next();
            break;
        case vaCollection:
            Next();
            while (IsSymbol("item")) {
                Next();
                while (!IsSymbol("end")) {
                    ReadIdent();
                    ExpectChar('=');
                    SkipValue();
                }
                Next();
            }
            ExpectChar('>');
            break;
        case vaString:
            ReadString();
            break;
        default:
            Next();
            break;
        }
    }

    void ReadCollection(TCollection* collection, const std::string& path) {
        collection->BeginUpdate();
        try {
            if (!IsChar('>')) collection->Clear();
            int index = 0;
            while (IsSymbol("item")) {
                Next();
                TCollectionItem* item = collection->Add();
                const std::string itemPath = path + "[" + std::to_string(index++) + "]";
                ReadProperties(item, itemPath);
                if (!IsSymbol("end")) Fail(Format(SExpected, {"'end'"}));
                Next();
            }
            ExpectChar('>');
        } catch (...) {
            collection->EndUpdate();
            throw;
        }
        collection->EndUpdate();
    }

    // ---- properties

    void ReadProperties(TPersistent* instance, const std::string& path) {
        while (tok.kind == tkSymbol && !IsSymbol("end") && !IsObjectKeyword(tok.text))
            ReadProperty(instance, path);
    }

    void ReadProperty(TPersistent* instance, const std::string& path) {
        const int propLine = tok.line;
        const std::string name = tok.text;
        Next();
        try {
            ExpectChar('=');
            ApplyProperty(instance, name, path);
        } catch (const Exception& e) {
            if (positioned) throw;
            FailAt(Format(SPropertyException, {path, ".", name, e.Message()}), propLine);
        }
    }

    void ApplyProperty(TPersistent* instance, const std::string& dottedName, const std::string& path) {
        TPersistent* object = instance;
        std::string name = dottedName;
        for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.')) {
            const TClassInfo* info = registry.InfoOf(object);
            const TPropInfo* prop = info != nullptr ? info->FindProperty(name.substr(0, dot)) : nullptr;
            if (prop == nullptr || !prop->GetObject) Fail(Format(SUnknownProperty, {dottedName}));
            object = prop->GetObject(object);
            if (object == nullptr) Fail(Format(SUnknownProperty, {dottedName}));
            name = name.substr(dot + 1);
        }
        if (auto* strings = dynamic_cast<TStrings*>(object);
            strings != nullptr && SameText(name, "Strings")) {
            ReadStringList(strings);
            return;
        }
        const TClassInfo* info = registry.InfoOf(object);
        if (const TPropInfo* prop = info != nullptr ? info->FindProperty(name) : nullptr) {
            ReadPropertyValue(object, *prop, path);
            return;
        }
        // No published property: the position of a component, then DefineProperties.
        if (auto* component = dynamic_cast<TComponent*>(object);
            component != nullptr && (SameText(name, "Left") || SameText(name, "Top"))) {
            const auto value = static_cast<uint16_t>(static_cast<int16_t>(ReadInt64()));
            auto info32 = static_cast<uint32_t>(component->DesignInfo());
            info32 = SameText(name, "Left") ? (info32 & 0xFFFF0000u) | value
                                            : (info32 & 0xFFFFu) | (uint32_t{value} << 16);
            component->SetDesignInfo(static_cast<int32_t>(info32));
            return;
        }
        const std::string savedName = propName;
        const bool savedHandled = propHandled;
        propName = name;
        propHandled = false;
        CallDefineProperties(object, &owner);
        const bool handled = propHandled;
        propName = savedName;
        propHandled = savedHandled;
        if (!handled) Fail(Format(SUnknownProperty, {name}));
    }

    void ReadStringList(TStrings* strings) {
        ExpectChar('(');
        strings->BeginUpdate();
        try {
            strings->Clear();
            while (!IsChar(')')) {
                if (tok.kind == tkEOF) Fail(Format(SExpected, {"')'"}));
                strings->Add(ReadString());
            }
            Next();
        } catch (...) {
            strings->EndUpdate();
            throw;
        }
        strings->EndUpdate();
    }

    void ReadPropertyValue(TPersistent* object, const TPropInfo& prop, const std::string& path) {
        switch (prop.Kind) {
        case pkInteger:
            prop.Set(object, Variant(ReadInt64()));
            break;
        case pkString:
            prop.Set(object, Variant(ReadString()));
            break;
        case pkBoolean:
            prop.Set(object, Variant(ReadBoolean()));
            break;
        case pkFloat:
            prop.Set(object, Variant(ReadFloat()));
            break;
        case pkVariant:
            prop.Set(object, ReadVariant());
            break;
        case pkBinary:
            prop.Set(object, Variant(ReadBinary()));
            break;
        case pkEnum: {
            const std::string ident = ReadIdent();
            prop.Set(object, Variant(static_cast<int64_t>(IndexOfName(prop, ident))));
            break;
        }
        case pkSet: {
            ExpectChar('[');
            uint64_t bits = 0;
            while (!IsChar(']')) {
                const int index = IndexOfName(prop, ReadIdent());
                if (index >= 64) Fail(SInvalidPropertyValue);
                bits |= uint64_t{1} << index;
                if (IsChar(',')) {
                    Next();
                    if (IsChar(']')) Fail(SInvalidPropertyValue);
                } else if (!IsChar(']')) {
                    Fail(Format(SExpected, {"']'"}));
                }
            }
            Next();
            prop.Set(object, Variant(static_cast<int64_t>(bits)));
            break;
        }
        case pkStrings: {
            auto* strings = dynamic_cast<TStrings*>(prop.GetObject(object));
            if (strings == nullptr) Fail(SInvalidPropertyValue);
            ReadStringList(strings);
            break;
        }
        case pkCollection: {
            auto* collection = dynamic_cast<TCollection*>(prop.GetObject(object));
            if (collection == nullptr || ReadValue() != vaCollection) Fail(SInvalidPropertyValue);
            ReadCollection(collection, path + "." + prop.Name);
            break;
        }
        case pkComponent: {
            const int refLine = tok.line;
            const std::string ident = ReadIdent();
            fixups.push_back(Fixup{object, prop.SetComponent, ident, path + "." + prop.Name, refLine});
            break;
        }
        case pkPersistent:
            Fail(SInvalidPropertyValue);
        }
    }

    int IndexOfName(const TPropInfo& prop, const std::string& ident) {
        for (size_t i = 0; i < prop.Names.size(); ++i)
            if (SameText(prop.Names[i], ident)) return static_cast<int>(i);
        Fail(SInvalidPropertyValue);
    }

    // ---- components

    TComponent* ReadComponent(TComponent* parent, bool isRoot, TComponent* rootOwner, bool& rootCreated) {
        const Nested nested(*this);
        if (tok.kind != tkSymbol || !IsObjectKeyword(tok.text)) Fail(Format(SExpected, {"'object'"}));
        const int objectLine = tok.line;
        Next();
        std::string name = ReadIdent();
        std::string className;
        if (IsChar(':')) {
            Next();
            className = ReadIdent();
        } else {
            className = name;
            name.clear();
        }
        auto classOf = [&]() -> const TClassInfo& {
            try {
                return registry.Get(className);
            } catch (const EClassNotFound& e) {
                positioned = true;
                throw EClassNotFound(Format(SParseError, {e.Message(), objectLine}));
            }
        };
        TComponent* component = nullptr;
        bool created = false;
        if (isRoot) {
            if (owner.fRoot == nullptr) {
                owner.fRoot = classOf().Create(rootOwner);
                rootCreated = true;
            }
            component = owner.fRoot;
            loaded.insert(loaded.begin(), component);
        } else {
            TComponent* existing = name.empty() ? nullptr : owner.fRoot->FindComponent(name);
            if (existing != nullptr && SameText(existing->ClassName(), className)) {
                component = existing;
            } else {
                component = classOf().Create(owner.fRoot);
                created = true;
            }
        }
        read.push_back(component);
        watcher->FreeNotification(component);
        try {
            if (isRoot ? (!name.empty() && component->Name().empty()) : created) component->SetName(name);
            component->SetComponentStateFlag(csLoading, true);
            component->SetComponentStateFlag(csReading, true);
            const std::string path = component->Name().empty() ? className : component->Name();
            ReadProperties(component, path);
            // The parent is set once the component's own properties are in place (a field
            // joins its dataset with its name already set).
            if (!isRoot && component->HasParent()) component->SetParentComponent(parent);
            while (tok.kind == tkSymbol && IsObjectKeyword(tok.text))
                ReadComponent(component, false, nullptr, rootCreated);
            if (!IsSymbol("end")) Fail(Format(SExpected, {"'end'"}));
            Next();
            component->SetComponentStateFlag(csReading, false);
        } catch (...) {
            if (created) delete component; // the watcher drops it from the lists
            throw;
        }
        if (!isRoot) loaded.push_back(component);
        return component;
    }

    TComponent* FindReference(const std::string& name) const {
        TComponent* root = owner.fRoot;
        const size_t dot = name.find('.');
        if (dot != std::string::npos) {
            if (!SameText(name.substr(0, dot), root->Name())) return nullptr;
            return root->FindComponent(name.substr(dot + 1));
        }
        if (!root->Name().empty() && SameText(name, root->Name())) return root;
        return root->FindComponent(name);
    }

    void ResolveFixups() {
        for (const Fixup& f : fixups) {
            TComponent* target = nullptr;
            if (!SameText(f.name, "nil")) {
                target = FindReference(f.name);
                if (target == nullptr)
                    FailAt(
                        Format(SPropertyException, {f.what, "", "", Format(SUnresolvedReference, {f.name})}),
                        f.line);
            }
            try {
                f.set(f.instance, target);
            } catch (const Exception& e) {
                FailAt(Format(SPropertyException, {f.what, "", "", e.Message()}), f.line);
            }
        }
        fixups.clear();
    }

    void ClearReadingFlags() {
        for (TComponent* c : read) {
            c->SetComponentStateFlag(csReading, false);
            c->SetComponentStateFlag(csLoading, false);
        }
    }

    void Forget(TComponent* component) {
        read.erase(std::remove(read.begin(), read.end(), component), read.end());
        loaded.erase(std::remove(loaded.begin(), loaded.end(), component), loaded.end());
        fixups.erase(std::remove_if(fixups.begin(), fixups.end(),
                                    [&](const Fixup& f) { return f.instance == component; }),
                     fixups.end());
        if (component == owner.fRoot) owner.fRoot = nullptr;
    }

    TComponent* ReadRoot(TComponent* root, TComponent* rootOwner) {
        owner.fRoot = root;
        positioned = false;
        bool rootCreated = false;
        watcher = std::make_unique<ReadWatcher>([this](TComponent* c) { Forget(c); });
        try {
            try {
                ReadComponent(nullptr, true, rootOwner, rootCreated);
                if (tok.kind != tkEOF) Fail("End of text expected");
            } catch (const EClassNotFound& e) {
                if (positioned) throw;
                positioned = true;
                throw EClassNotFound(Format(SParseError, {e.Message(), tok.line}));
            } catch (const Exception& e) {
                if (positioned) throw;
                FailAt(e.Message(), tok.line);
            }
            ResolveFixups();
            // Every value and reference is in place: now Loaded, root first. The list shrinks
            // when a Loaded handler destroys a component that has not been loaded yet.
            while (!loaded.empty()) {
                TComponent* next = loaded.front();
                loaded.erase(loaded.begin());
                next->Loaded();
            }
        } catch (...) {
            ClearReadingFlags();
            TComponent* result = owner.fRoot;
            if (rootCreated && result != nullptr) delete result;
            owner.fRoot = rootCreated ? nullptr : result;
            read.clear();
            loaded.clear();
            fixups.clear();
            watcher.reset();
            throw;
        }
        TComponent* result = owner.fRoot;
        read.clear();
        watcher.reset();
        return result;
    }
};

TReader::TReader(std::string text, const TClassRegistry& registry)
    : fImpl(std::make_unique<Impl>(*this, std::move(text), registry)) {}

TReader::~TReader() = default;

TComponent* TReader::ReadRootComponent(TComponent* root, TComponent* owner) {
    return fImpl->ReadRoot(root, owner);
}

TValueType TReader::NextValue() {
    return fImpl->NextValue();
}
TValueType TReader::ReadValue() {
    return fImpl->ReadValue();
}
bool TReader::EndOfList() {
    return fImpl->EndOfList();
}
void TReader::ReadListBegin() {
    fImpl->ExpectChar('(');
}
void TReader::ReadListEnd() {
    fImpl->ExpectChar(')');
}
int32_t TReader::ReadInteger() {
    const int64_t v = fImpl->ReadInt64();
    if (v < INT32_MIN || v > INT32_MAX) throw EReadError(SInvalidPropertyValue);
    return static_cast<int32_t>(v);
}
int64_t TReader::ReadInt64() {
    return fImpl->ReadInt64();
}
double TReader::ReadFloat() {
    return fImpl->ReadFloat();
}
std::string TReader::ReadString() {
    return fImpl->ReadString();
}
bool TReader::ReadBoolean() {
    return fImpl->ReadBoolean();
}
std::string TReader::ReadIdent() {
    return fImpl->ReadIdent();
}
Variant TReader::ReadVariant() {
    return fImpl->ReadVariant();
}
std::string TReader::ReadBinary() {
    return fImpl->ReadBinary();
}
void TReader::ReadCollection(TCollection* collection) {
    fImpl->ReadCollection(collection, collection->GetNamePath());
}
void TReader::SkipValue() {
    fImpl->SkipValue();
}
int TReader::Line() const {
    return fImpl->tok.line;
}

void TReader::DefineProperty(const std::string& name, const TReaderProc& readData,
                             const TWriterProc& /*writeData*/, bool /*hasData*/) {
    if (fImpl->propHandled || !readData || !SameText(name, fImpl->propName)) return;
    fImpl->propHandled = true;
    readData(*this);
}

void TReader::DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                                   const TStreamProc& /*writeData*/, bool /*hasData*/) {
    if (fImpl->propHandled || !readData || !SameText(name, fImpl->propName)) return;
    fImpl->propHandled = true;
    const std::string bytes = fImpl->ReadBinary();
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
    readData(stream);
}

// ---------------------------------------------------------------- TWriter

struct TWriter::Impl {
    TWriter& owner;
    const TClassRegistry& registry;
    std::string out;
    int indent = 0;               // indentation of property lines of the current object
    std::vector<int> listIndents; // indentation of values inside open lists
    std::string prefix;           // "Sub." while a sub-object's properties are written

    Impl(TWriter& w, const TClassRegistry& reg) : owner(w), registry(reg) {}

    int ValueIndent() const { return (listIndents.empty() ? indent : listIndents.back()) + 2; }

    void BeginValue() {
        if (!listIndents.empty()) out += "\n" + Spaces(listIndents.back());
    }

    void WritePropName(const std::string& name) { out += Spaces(indent) + prefix + name + " = "; }

    void WriteInteger(int64_t v) {
        BeginValue();
        out += std::to_string(v);
    }

    void WriteFloat(double v) {
        BeginValue();
        char buffer[64];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
        std::string s(buffer, ec == std::errc() ? end : buffer);
        if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
        out += s;
    }

    void WriteString(const std::string& s) {
        BeginValue();
        if (s.empty()) {
            out += "''";
            return;
        }
        bool quoted = false;
        for (char ch : s) {
            const auto c = static_cast<unsigned char>(ch);
            if (c < ' ') {
                if (quoted) out += '\'';
                quoted = false;
                out += "#" + std::to_string(c);
            } else {
                if (!quoted) out += '\'';
                quoted = true;
                out += c == '\'' ? std::string("''") : std::string(1, ch);
            }
        }
        if (quoted) out += '\'';
    }

    void WriteIdent(const std::string& ident) {
        BeginValue();
        out += ident;
    }

    void WriteBinary(const std::string& bytes) {
        BeginValue();
        static const char hex[] = "0123456789ABCDEF";
        const int lineIndent = ValueIndent();
        out += "{";
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i % 32 == 0) out += "\n" + Spaces(lineIndent);
            const auto b = static_cast<unsigned char>(bytes[i]);
            out += hex[b >> 4];
            out += hex[b & 15];
        }
        out += "}";
    }

    void WriteVariant(const Variant& v) {
        switch (v.VarType()) {
        case varEmpty:
            WriteIdent("nil");
            return;
        case varNull:
            WriteIdent("Null");
            return;
        case varBoolean:
            WriteIdent(v.AsBoolean() ? "True" : "False");
            return;
        case varString:
            WriteString(v.RawString());
            return;
        case varSmallint:
        case varInteger:
        case varByte:
        case varInt64:
            WriteInteger(v.AsInt64());
            return;
        case varDouble:
        case varDate:
        case varCurrency:
            WriteFloat(v.AsDouble());
            return;
        default:
            throw EWriteError(SInvalidPropertyValue);
        }
    }

    void WriteListBegin() {
        BeginValue();
        out += "(";
        listIndents.push_back(ValueIndent());
    }

    void WriteListEnd() {
        if (!listIndents.empty()) listIndents.pop_back();
        out += ")";
    }

    void WriteCollection(TCollection* collection) {
        BeginValue();
        const int base = listIndents.empty() ? indent : listIndents.back();
        out += "<";
        std::vector<int> savedLists;
        savedLists.swap(listIndents);
        const int savedIndent = indent;
        std::string savedPrefix;
        savedPrefix.swap(prefix);
        for (int i = 0; i < collection->Count(); ++i) {
            out += "\n" + Spaces(base + 2) + "item\n";
            indent = base + 4;
            WriteProperties(collection->Items(i));
            out += Spaces(base + 2) + "end";
        }
        indent = savedIndent;
        prefix.swap(savedPrefix);
        listIndents.swap(savedLists);
        out += ">";
    }

    std::string ReferenceName(TComponent* c) const {
        TComponent* root = owner.fRoot;
        if (c == root || c->Owner() == root || c->Owner() == nullptr) return c->Name();
        return c->Owner()->Name() + "." + c->Name();
    }

    void WriteScalar(const TPropInfo& p, const Variant& v) {
        switch (p.Kind) {
        case pkInteger:
            WriteInteger(v.AsInt64());
            break;
        case pkString:
            WriteString(v.AsString());
            break;
        case pkBoolean:
            WriteIdent(v.AsBoolean() ? "True" : "False");
            break;
        case pkFloat:
            WriteFloat(v.AsDouble());
            break;
        case pkVariant:
            WriteVariant(v);
            break;
        case pkBinary:
            WriteBinary(v.AsString());
            break;
        case pkEnum: {
            const int64_t ordinal = v.AsInt64();
            if (ordinal < 0 || ordinal >= static_cast<int64_t>(p.Names.size()))
                throw EWriteError(SInvalidPropertyValue);
            WriteIdent(p.Names[static_cast<size_t>(ordinal)]);
            break;
        }
        case pkSet: {
            const auto bits = static_cast<uint64_t>(v.AsInt64());
            std::string text = "[";
            for (size_t i = 0; i < p.Names.size() && i < 64; ++i) {
                if ((bits & (uint64_t{1} << i)) == 0) continue;
                if (text.size() > 1) text += ", ";
                text += p.Names[i];
            }
            WriteIdent(text + "]");
            break;
        }
        default:
            break;
        }
    }

    void WriteProperty(TPersistent* object, const TPropInfo& p) {
        if (p.Stored && !p.Stored(object)) return;
        switch (p.Kind) {
        case pkStrings: {
            auto* strings = dynamic_cast<TStrings*>(p.GetObject(object));
            if (strings == nullptr || strings->Count() == 0) return;
            WritePropName(p.Name + ".Strings");
            WriteListBegin();
            for (int i = 0; i < strings->Count(); ++i)
                WriteString(strings->Strings(i));
            WriteListEnd();
            out += "\n";
            return;
        }
        case pkCollection: {
            auto* collection = dynamic_cast<TCollection*>(p.GetObject(object));
            if (collection == nullptr || collection->Count() == 0) return;
            WritePropName(p.Name);
            WriteCollection(collection);
            out += "\n";
            return;
        }
        case pkComponent: {
            TComponent* c = p.GetComponent(object);
            if (c == nullptr) return;
            WritePropName(p.Name);
            WriteIdent(ReferenceName(c));
            out += "\n";
            return;
        }
        case pkPersistent: {
            TPersistent* sub = p.GetObject(object);
            if (sub == nullptr) return;
            const std::string saved = prefix;
            prefix += p.Name + ".";
            WriteProperties(sub);
            prefix = saved;
            return;
        }
        default:
            break;
        }
        const Variant v = p.Get(object);
        if (p.Kind == pkVariant) {
            if (v.IsEmpty()) return;
        } else if (p.Kind == pkBinary) {
            if (v.AsString().empty()) return;
        } else if (!p.Default.IsEmpty() && v == p.Default) {
            return;
        }
        WritePropName(p.Name);
        WriteScalar(p, v);
        out += "\n";
    }

    void WriteProperties(TPersistent* object) {
        const TClassInfo* info = registry.InfoOf(object);
        if (info != nullptr)
            for (const TPropInfo* p : info->Properties())
                WriteProperty(object, *p);
        if (auto* component = dynamic_cast<TComponent*>(object);
            component != nullptr && component->DesignInfo() != 0 &&
            (info == nullptr || info->FindProperty("Left") == nullptr)) {
            const auto design = static_cast<uint32_t>(component->DesignInfo());
            WritePropName("Left");
            WriteInteger(static_cast<int16_t>(design & 0xFFFF));
            out += "\n";
            WritePropName("Top");
            WriteInteger(static_cast<int16_t>(design >> 16));
            out += "\n";
        }
        CallDefineProperties(object, &owner);
    }

    void WriteComponent(TComponent* component, bool isRoot) {
        out += Spaces(indent) + "object " + (component->Name().empty() ? "" : component->Name() + ": ") +
               component->ClassName() + "\n";
        StateFlagScope writing(component, csWriting);
        indent += 2;
        WriteProperties(component);
        std::vector<TComponent*> children;
        if (isRoot)
            children = RootChildren(component);
        else
            component->GetChildren([&](TComponent* c) { children.push_back(c); }, owner.fRoot);
        for (TComponent* child : children)
            WriteComponent(child, false);
        indent -= 2;
        out += Spaces(indent) + "end\n";
    }
};

TWriter::TWriter(const TClassRegistry& registry) : fImpl(std::make_unique<Impl>(*this, registry)) {}
TWriter::~TWriter() = default;

void TWriter::WriteRootComponent(TComponent* root) {
    fRoot = root;
    fImpl->WriteComponent(root, true);
}
const std::string& TWriter::Text() const {
    return fImpl->out;
}
void TWriter::WriteInteger(int64_t value) {
    fImpl->WriteInteger(value);
}
void TWriter::WriteFloat(double value) {
    fImpl->WriteFloat(value);
}
void TWriter::WriteString(const std::string& value) {
    fImpl->WriteString(value);
}
void TWriter::WriteBoolean(bool value) {
    fImpl->WriteIdent(value ? "True" : "False");
}
void TWriter::WriteIdent(const std::string& ident) {
    fImpl->WriteIdent(ident);
}
void TWriter::WriteVariant(const Variant& value) {
    fImpl->WriteVariant(value);
}
void TWriter::WriteBinary(const std::string& bytes) {
    fImpl->WriteBinary(bytes);
}
void TWriter::WriteListBegin() {
    fImpl->WriteListBegin();
}
void TWriter::WriteListEnd() {
    fImpl->WriteListEnd();
}
void TWriter::WriteCollection(TCollection* collection) {
    fImpl->WriteCollection(collection);
}

void TWriter::DefineProperty(const std::string& name, const TReaderProc& /*readData*/,
                             const TWriterProc& writeData, bool hasData) {
    if (!hasData || !writeData) return;
    fImpl->WritePropName(name);
    writeData(*this);
    fImpl->out += "\n";
}

void TWriter::DefineBinaryProperty(const std::string& name, const TStreamProc& /*readData*/,
                                   const TStreamProc& writeData, bool hasData) {
    if (!hasData || !writeData) return;
    TMemoryStream stream;
    writeData(stream);
    const auto* bytes = reinterpret_cast<const char*>(stream.Memory());
    fImpl->WritePropName(name);
    fImpl->WriteBinary(bytes == nullptr ? std::string()
                                        : std::string(bytes, static_cast<size_t>(stream.Size())));
    fImpl->out += "\n";
}

// ---------------------------------------------------------------- entry points

std::string WriteComponentToText(TComponent* root) {
    TWriter writer;
    writer.WriteRootComponent(root);
    return writer.Text();
}

TComponent* ReadComponentFromText(const std::string& text, TComponent* root, TComponent* owner) {
    TReader reader(text);
    return reader.ReadRootComponent(root, owner);
}

void WriteComponentToStream(TStream& stream, TComponent* root) {
    const std::string text = WriteComponentToText(root);
    stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

TComponent* ReadComponentFromStream(TStream& stream, TComponent* root, TComponent* owner) {
    std::string text;
    char buffer[4096];
    for (int64_t n; (n = stream.Read(buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    return ReadComponentFromText(text, root, owner);
}

} // namespace host

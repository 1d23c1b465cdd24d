// Component streaming, part two: TReader, which reads the text form format back into components
// (tokens, values, properties, nested components, reference fix-ups, then Loaded).
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "host/FormLexer.h"
#include "host/Messages.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

namespace host {

namespace {

bool IsObjectKeyword(const std::string& s) {
    return SameText(s, "object") || SameText(s, "inherited") || SameText(s, "inline");
}

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
    struct Fixup {
        TPersistent* instance;
        std::function<void(TPersistent*, TComponent*)> set;
        std::string name;
        std::string what; // "Name.Prop" for messages
        int line;
    };

    using enum TFormLexer::Kind;

    TReader& owner;
    const TClassRegistry& registry;
    TFormLexer lexer;
    TFormLexer::Token& tok = lexer.tok; // the current token
    bool positioned = false;            // the error in flight already names its line

    // DefineProperty matching while a defined property is read.
    std::string propName;
    bool propHandled = false;

    std::vector<TComponent*> read;   // components being read or read (state flags to clear)
    std::vector<TComponent*> loaded; // in Loaded order
    std::vector<Fixup> fixups;
    std::unique_ptr<ReadWatcher> watcher;

    Impl(TReader& r, std::string t, const TClassRegistry& reg)
        : owner(r), registry(reg), lexer(std::move(t)) {}

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

    void Next() { lexer.Next(); }
    bool IsChar(char c) const { return lexer.IsChar(c); }
    bool IsSymbol(const char* symbol) const { return lexer.IsSymbol(symbol); }

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

// ---- entry points

TComponent* ReadComponentFromText(const std::string& text, TComponent* root, TComponent* owner) {
    TReader reader(text);
    return reader.ReadRootComponent(root, owner);
}

TComponent* ReadComponentFromStream(TStream& stream, TComponent* root, TComponent* owner) {
    std::string text;
    char buffer[4096];
    for (int64_t n; (n = stream.Read(buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    return ReadComponentFromText(text, root, owner);
}

} // namespace host

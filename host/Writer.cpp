// Component streaming, part three: TWriter, which writes components in the text form format
// (published properties that differ from their defaults, defined properties, then children).
#include <algorithm>
#include <charconv>
#include <cstring>

#include "host/Messages.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

namespace host {

namespace {

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

// ---- entry points

std::string WriteComponentToText(TComponent* root) {
    TWriter writer;
    writer.WriteRootComponent(root);
    return writer.Text();
}

void WriteComponentToStream(TStream& stream, TComponent* root) {
    const std::string text = WriteComponentToText(root);
    stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

} // namespace host

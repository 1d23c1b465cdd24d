// Component streaming: the published-property registry (one hand-written table per class), the
// class registry used to create components while reading (RegisterClass / FindClass), and
// TFiler / TReader / TWriter over the classic text form format:
//
//   object Form1: TForm
//     Caption = 'Orders'              string ('' doubles a quote, #13 etc. for control chars)
//     Width = 352                     integer (a leading '-' for negatives)
//     Ratio = 1.5                     float ('.' always; an exponent is allowed)
//     Visible = False                 boolean, enumeration identifier, nil, Null
//     Options = [foCaseInsensitive]   set
//     DataSet = Table1                component reference (resolved after the whole form)
//     Items.Strings = (               string list
//       'one'
//       'two')
//     Data = {                        binary: hexadecimal bytes
//       0A0000004142}
//     Columns = <                     collection
//       item
//         Width = 10
//       end>
//     object Table1: TSomeTable       nested component (owned by the root; a component with a
//       ...                           parent, e.g. a field of a dataset, nests in that parent)
//     end
//   end
//
// Writing: published properties in registration order (inherited first), only when stored and
// different from their default; then the properties defined through DefineProperties; then the
// children (root: the components it owns that have no other parent; others: GetChildren).
// Reading: properties are applied in file order through their setters while csLoading and
// csReading are set; component references are resolved once the whole root is read; then
// Loaded runs on every component read (the root first, then the others in the order they
// finished). A property that cannot be read raises EReadError
// "Error reading Name.Prop: <reason> on line N".
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "host/Collection.h"
#include "host/Component.h"
#include "host/Exceptions.h"
#include "host/Object.h"
#include "host/Sets.h"
#include "host/Stream.h"
#include "host/Strings.h"
#include "host/Variant.h"

namespace host {

class TReader;
class TWriter;

inline constexpr const char* SInvalidPropertyValue = "Invalid property value";
inline constexpr const char* SClassNotFound = "Class %s not found";
inline constexpr const char* SUnresolvedReference = "Component '%s' not found";
inline constexpr const char* SParseError = "%s on line %d";
inline constexpr const char* SExpected = "%s expected";
inline constexpr const char* SInvalidBinary = "Invalid binary value";
inline constexpr const char* SNotAComponentClass = "Class %s cannot be created from a stream";

// Raised for a class name without a registered class (or without a factory).
class EClassNotFound : public EFilerError {
public:
    using EFilerError::EFilerError;
};

// ---------------------------------------------------------------- property registry

enum TPropKind : uint8_t {
    pkInteger,    // 64-bit integer
    pkString,     // text
    pkBoolean,    // True / False
    pkEnum,       // ordinal, written as its name
    pkSet,        // bits of a TSet, written as [name, ...]
    pkFloat,      // double
    pkVariant,    // Null, text, integer, float or boolean; not written while Unassigned
    pkStrings,    // a TStrings object, written as Name.Strings = ( ... )
    pkCollection, // a TCollection object, written as Name = < item ... end >
    pkComponent,  // reference to a component by name
    pkBinary,     // bytes (a std::string), written as { hex }
    pkPersistent  // a sub-object whose own properties are written as Name.Prop
};

// One published property. Scalar kinds travel as Variants (integers as Int64, enumerations as
// their ordinal, sets as their bits, binary values as a string of bytes).
struct TPropInfo {
    std::string Name;
    TPropKind Kind = pkInteger;
    // The property's type for property editors: "Integer", "string", "Boolean", "Double",
    // "Variant", "Binary", "TStrings", "TCollection", "TComponent", or what Type() set
    // (an enumeration's or class's name, "TFileName" ...).
    std::string TypeName;
    // pkComponent: whether a component may be assigned (the setter's class).
    std::function<bool(TComponent*)> AcceptsComponent;
    std::vector<std::string> Names; // pkEnum / pkSet: member names by ordinal
    Variant Default;                // scalar kinds: not written when equal; Unassigned: always
    std::function<Variant(TPersistent*)> Get;
    std::function<void(TPersistent*, const Variant&)> Set;
    std::function<TPersistent*(TPersistent*)> GetObject; // pkStrings, pkCollection, pkPersistent
    std::function<TComponent*(TPersistent*)> GetComponent;
    std::function<void(TPersistent*, TComponent*)> SetComponent;
    std::function<bool(TPersistent*)> Stored; // empty: always stored
};

// The type name a property of the kind gets unless Type() names another.
const char* DefaultTypeName(TPropKind kind);

// Creates a component of the class with the given owner (for reading).
using TComponentFactory = std::function<TComponent*(TComponent* owner)>;

class TClassRegistry;

// The registered information of one class.
class TClassInfo {
public:
    const std::string& Name() const { return fName; }
    const std::string& ParentName() const { return fParentName; }
    // The registered parent, or nullptr.
    const TClassInfo* Parent() const;
    // Own properties, in registration order.
    const std::vector<TPropInfo>& OwnProperties() const { return fProperties; }
    // Inherited properties first; a property re-registered by a descendant keeps the inherited
    // position.
    std::vector<const TPropInfo*> Properties() const;
    // Case-insensitive search along the class chain.
    const TPropInfo* FindProperty(const std::string& name) const;
    bool CanCreate() const { return static_cast<bool>(fFactory); }
    TComponent* Create(TComponent* owner) const;
    bool IsInstance(const TPersistent* object) const { return fIsInstance(object); }
    int Depth() const;

private:
    friend class TClassRegistry;
    template <class T>
    friend class TClassBuilder;
    std::string fName;
    std::string fParentName;
    std::vector<TPropInfo> fProperties;
    TComponentFactory fFactory;
    std::function<bool(const TPersistent*)> fIsInstance;
    const TClassRegistry* fRegistry = nullptr;
};

namespace detail {

// The class a component-reference setter takes (void (C::*)(P*)); TComponent otherwise.
template <class S>
struct SetterPointee {
    using type = TComponent;
};
template <class C, class P>
struct SetterPointee<void (C::*)(P*)> {
    using type = P;
};

template <class T>
struct IsTSet : std::false_type {};
template <class E>
struct IsTSet<TSet<E>> : std::true_type {};

template <class X>
Variant ToVariant(const X& value) {
    using V = std::remove_cvref_t<X>;
    if constexpr (std::is_same_v<V, Variant>)
        return value;
    else if constexpr (std::is_same_v<V, bool>)
        return Variant(value);
    else if constexpr (std::is_enum_v<V>)
        return Variant(static_cast<int64_t>(value));
    else if constexpr (std::is_integral_v<V>)
        return Variant(static_cast<int64_t>(value));
    else if constexpr (std::is_floating_point_v<V>)
        return Variant(static_cast<double>(value));
    else if constexpr (IsTSet<V>::value)
        return Variant(static_cast<int64_t>(value.Bits()));
    else if constexpr (std::is_same_v<V, std::vector<uint8_t>>)
        return Variant(std::string(value.begin(), value.end()));
    else
        return Variant(std::string(value));
}

// Converts a Variant into whatever parameter type a setter takes.
struct VariantArg {
    const Variant& v;
    template <class X>
    requires(!std::is_pointer_v<X> && !std::is_same_v<X, std::string_view>) operator X() const {
        if constexpr (std::is_same_v<X, Variant>)
            return v;
        else if constexpr (std::is_same_v<X, bool>)
            return v.AsBoolean();
        else if constexpr (std::is_enum_v<X>)
            return static_cast<X>(v.AsInt64());
        else if constexpr (std::is_integral_v<X>) {
            const int64_t i = v.AsInt64();
            if (!std::in_range<X>(i)) throw EFilerError(SInvalidPropertyValue);
            return static_cast<X>(i);
        } else if constexpr (std::is_floating_point_v<X>)
            return static_cast<X>(v.AsDouble());
        else if constexpr (IsTSet<X>::value)
            return X::FromBits(static_cast<uint64_t>(v.AsInt64()));
        else if constexpr (std::is_same_v<X, std::vector<uint8_t>>) {
            const std::string s = v.AsString();
            return X(s.begin(), s.end());
        } else
            return X(v.AsString());
    }
};

// Converts a component into the pointer type a reference setter takes (EReadError when the
// component is of another class).
struct ComponentArg {
    TComponent* c;
    template <class X>
    operator X*() const {
        if (c == nullptr) return nullptr;
        X* result = dynamic_cast<X*>(c);
        if (result == nullptr) throw EReadError(SInvalidPropertyValue);
        return result;
    }
};

} // namespace detail

// Registers the published properties of class T; each call adds one property.
//   RegisterClass<TMyTable>("TMyTable", "TDataSet")
//       .String("TableName", &TMyTable::TableName, &TMyTable::SetTableName)
//       .Boolean("ReadOnly", &TMyTable::ReadOnly, &TMyTable::SetReadOnly, false)
//       .Component("MasterSource", &TMyTable::MasterSource, &TMyTable::SetMasterSource);
// Getters and setters are member functions or callables taking T*.
template <class T>
class TClassBuilder {
public:
    explicit TClassBuilder(TClassInfo* info) : fInfo(info) {}

    template <class G, class S>
    TClassBuilder& Integer(const std::string& name, G get, S set, int64_t defaultValue = 0) {
        return Scalar(name, pkInteger, get, set, Variant(defaultValue));
    }
    template <class G, class S>
    TClassBuilder& String(const std::string& name, G get, S set, const std::string& defaultValue = "") {
        return Scalar(name, pkString, get, set, Variant(defaultValue));
    }
    template <class G, class S>
    TClassBuilder& Boolean(const std::string& name, G get, S set, bool defaultValue = false) {
        return Scalar(name, pkBoolean, get, set, Variant(defaultValue));
    }
    template <class G, class S>
    TClassBuilder& Float(const std::string& name, G get, S set, double defaultValue = 0.0) {
        return Scalar(name, pkFloat, get, set, Variant(defaultValue));
    }
    // names[i] is the identifier of ordinal i.
    template <class G, class S>
    TClassBuilder& Enum(const std::string& name, std::vector<std::string> names, G get, S set,
                        int64_t defaultValue = 0) {
        Scalar(name, pkEnum, get, set, Variant(defaultValue));
        fInfo->fProperties.back().Names = std::move(names);
        return *this;
    }
    template <class G, class S, class E>
    TClassBuilder& Set(const std::string& name, std::vector<std::string> names, G get, S set,
                       TSet<E> defaultValue) {
        Scalar(name, pkSet, get, set, Variant(static_cast<int64_t>(defaultValue.Bits())));
        fInfo->fProperties.back().Names = std::move(names);
        return *this;
    }
    // Written unless Unassigned.
    template <class G, class S>
    TClassBuilder& VariantValue(const std::string& name, G get, S set) {
        return Scalar(name, pkVariant, get, set, Variant());
    }
    // Bytes as std::string or std::vector<uint8_t>; written unless empty.
    template <class G, class S>
    TClassBuilder& Binary(const std::string& name, G get, S set) {
        return Scalar(name, pkBinary, get, set, Variant(std::string()));
    }
    // A TStrings owned by the object (get returns a pointer to it).
    template <class G>
    TClassBuilder& Strings(const std::string& name, G get) {
        return Object(name, pkStrings, get);
    }
    // A TCollection owned by the object.
    template <class G>
    TClassBuilder& Collection(const std::string& name, G get) {
        return Object(name, pkCollection, get);
    }
    // A sub-object whose registered properties are written with the prefix "Name.".
    template <class G>
    TClassBuilder& Persistent(const std::string& name, G get) {
        return Object(name, pkPersistent, get);
    }
    // A reference to another component (written by name, resolved after reading).
    template <class G, class S>
    TClassBuilder& Component(const std::string& name, G get, S set) {
        TPropInfo p;
        p.Name = name;
        p.Kind = pkComponent;
        using Pointee = typename detail::SetterPointee<S>::type;
        p.TypeName = "TComponent";
        p.AcceptsComponent = [](TComponent* c) { return dynamic_cast<Pointee*>(c) != nullptr; };
        p.GetComponent = [get](TPersistent* o) -> TComponent* { return std::invoke(get, Cast(o)); };
        p.SetComponent = [set](TPersistent* o, TComponent* c) {
            std::invoke(set, Cast(o), detail::ComponentArg{c});
        };
        return Add(std::move(p));
    }
    // Names the last property's type (for property editors), e.g. "TFileName", "TDataSource".
    TClassBuilder& Type(const std::string& typeName) {
        fInfo->fProperties.back().TypeName = typeName;
        return *this;
    }
    // The last property is written only when stored(object) is true.
    template <class P>
    TClassBuilder& Stored(P stored) {
        fInfo->fProperties.back().Stored = [stored](TPersistent* o) { return std::invoke(stored, Cast(o)); };
        return *this;
    }

private:
    static T* Cast(TPersistent* o) {
        T* t = dynamic_cast<T*>(o);
        if (t == nullptr) throw EFilerError(SInvalidPropertyValue);
        return t;
    }
    template <class G, class S>
    TClassBuilder& Scalar(const std::string& name, TPropKind kind, G get, S set, Variant defaultValue) {
        TPropInfo p;
        p.Name = name;
        p.Kind = kind;
        p.Default = std::move(defaultValue);
        p.Get = [get](TPersistent* o) { return detail::ToVariant(std::invoke(get, Cast(o))); };
        p.Set = [set](TPersistent* o, const Variant& v) { std::invoke(set, Cast(o), detail::VariantArg{v}); };
        return Add(std::move(p));
    }
    template <class G>
    TClassBuilder& Object(const std::string& name, TPropKind kind, G get) {
        TPropInfo p;
        p.Name = name;
        p.Kind = kind;
        p.GetObject = [get](TPersistent* o) -> TPersistent* { return std::invoke(get, Cast(o)); };
        return Add(std::move(p));
    }
    TClassBuilder& Add(TPropInfo p) {
        if (p.TypeName.empty()) p.TypeName = DefaultTypeName(p.Kind);
        fInfo->fProperties.push_back(std::move(p));
        return *this;
    }

    TClassInfo* fInfo;
};

// Registered classes by name (case-insensitive).
class TClassRegistry {
public:
    TClassRegistry();
    ~TClassRegistry();
    TClassRegistry(const TClassRegistry&) = delete;
    TClassRegistry& operator=(const TClassRegistry&) = delete;

    // Registers (or registers anew, dropping the old properties) class T under name, below
    // parentName ("" for none). Components that can be built from an owner get a factory.
    template <class T>
    TClassBuilder<T> Register(const std::string& name, const std::string& parentName) {
        static_assert(std::is_base_of_v<TPersistent, T>, "only persistent classes are streamed");
        TClassInfo* info = Emplace(name, parentName);
        info->fIsInstance = [](const TPersistent* o) { return dynamic_cast<const T*>(o) != nullptr; };
        if constexpr (std::is_base_of_v<TComponent, T> && !std::is_abstract_v<T> &&
                      std::is_constructible_v<T, TComponent*>)
            info->fFactory = [](TComponent* owner) -> TComponent* { return new T(owner); };
        return TClassBuilder<T>(info);
    }
    // Replaces the factory of a registered class.
    void SetFactory(const std::string& name, TComponentFactory factory);

    const TClassInfo* Find(const std::string& name) const;
    // Find or EClassNotFound "Class %s not found".
    const TClassInfo& Get(const std::string& name) const;
    // The information of object's class: the class registered under object->ClassName() when
    // object is one, else the most derived registered class object belongs to (nullptr: none).
    const TClassInfo* InfoOf(const TPersistent* object) const;

private:
    TClassInfo* Emplace(const std::string& name, const std::string& parentName);
    struct Less {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    std::map<std::string, std::unique_ptr<TClassInfo>, Less> fClasses;
};

// The process-wide registry (holds the host framework's own classes from the start).
TClassRegistry& ClassRegistry();

template <class T>
TClassBuilder<T> RegisterClass(const std::string& name, const std::string& parentName) {
    return ClassRegistry().Register<T>(name, parentName);
}
inline const TClassInfo* FindClass(const std::string& name) {
    return ClassRegistry().Find(name);
}
inline const TClassInfo& GetClass(const std::string& name) {
    return ClassRegistry().Get(name);
}

// ---- run-time property access by name (the class registry's published properties)

// The published property of object's class, or nullptr.
const TPropInfo* GetPropInfo(const TPersistent* object, const std::string& name);
// The object held by an object property (strings, collection, sub-object), or nullptr when the
// property does not exist or is not an object property.
TPersistent* GetObjectProp(TPersistent* object, const std::string& name);
// Value of a scalar property (EFilerError "Property %s does not exist" when there is none).
Variant GetPropValue(TPersistent* object, const std::string& name);
void SetPropValue(TPersistent* object, const std::string& name, const Variant& value);

// Registers the host framework's streamable classes into registry (called once for the
// process-wide registry).
void RegisterHostStreamClasses(TClassRegistry& registry);

// ---------------------------------------------------------------- filers

using TReaderProc = std::function<void(TReader& reader)>;
using TWriterProc = std::function<void(TWriter& writer)>;
using TStreamProc = std::function<void(TStream& stream)>;

// Value kinds as NextValue / ReadValue report them.
enum TValueType : uint8_t {
    vaNull,
    vaList,
    vaInt8,
    vaInt16,
    vaInt32,
    vaExtended,
    vaString,
    vaIdent,
    vaFalse,
    vaTrue,
    vaBinary,
    vaSet,
    vaLString,
    vaNil,
    vaCollection,
    vaSingle,
    vaCurrency,
    vaDate,
    vaWString,
    vaInt64
};

// Common base of TReader and TWriter: the DefineProperties protocol.
class TFiler : public TObject {
public:
    TComponent* Root() const { return fRoot; }
    // The object this one is compared with when writing inherited forms; always none here.
    TPersistent* Ancestor() const { return nullptr; }

    // A property stored by readData/writeData: written (by writeData) only when hasData.
    virtual void DefineProperty(const std::string& name, const TReaderProc& readData,
                                const TWriterProc& writeData, bool hasData) = 0;
    // A binary property: readData gets a memory stream holding exactly the stored bytes at
    // position 0; writeData fills a stream whose whole content is stored.
    virtual void DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                                      const TStreamProc& writeData, bool hasData) = 0;

protected:
    static void CallDefineProperties(TPersistent* instance, TFiler* filer) {
        instance->DefineProperties(filer);
    }
    TComponent* fRoot = nullptr;
};

// Reads a form text. ReadRootComponent reads a whole form; the value functions are for
// DefineProperty read procedures.
class TReader : public TFiler {
public:
    explicit TReader(std::string text, const TClassRegistry& registry = ClassRegistry());
    ~TReader() override;

    // Reads the form into root (nullptr: creates the root from its class with owner).
    // Returns the root.
    TComponent* ReadRootComponent(TComponent* root, TComponent* owner = nullptr);

    // ---- values
    // The kind of the next value, without consuming it.
    TValueType NextValue();
    // Consumes a list, set or collection opening bracket, or a value without payload (True,
    // False, nil, Null); other values are left to be read. Returns the kind.
    TValueType ReadValue();
    bool EndOfList();
    void ReadListBegin();
    void ReadListEnd();
    int32_t ReadInteger();
    int64_t ReadInt64();
    double ReadFloat();
    std::string ReadString();
    bool ReadBoolean();
    std::string ReadIdent();
    Variant ReadVariant();
    std::string ReadBinary();
    // Reads collection items up to and including the closing '>' (the opening '<' was consumed
    // by ReadValue). A non-empty list clears the collection first.
    void ReadCollection(TCollection* collection);
    // Skips one value of any kind.
    void SkipValue();
    // Line of the current token (1-based).
    int Line() const;

    void DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc& writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                              const TStreamProc& writeData, bool hasData) override;

private:
    struct Impl;
    std::unique_ptr<Impl> fImpl;
    friend struct Impl;
};

// Writes a form text.
class TWriter : public TFiler {
public:
    explicit TWriter(const TClassRegistry& registry = ClassRegistry());
    ~TWriter() override;

    void WriteRootComponent(TComponent* root);
    const std::string& Text() const;

    // ---- values (for DefineProperty write procedures)
    void WriteInteger(int64_t value);
    void WriteFloat(double value);
    void WriteString(const std::string& value);
    void WriteBoolean(bool value);
    void WriteIdent(const std::string& ident);
    void WriteVariant(const Variant& value);
    void WriteBinary(const std::string& bytes);
    void WriteListBegin();
    void WriteListEnd();
    // The whole collection: '<', its items with their properties, '>'.
    void WriteCollection(TCollection* collection);

    void DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc& writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                              const TStreamProc& writeData, bool hasData) override;

private:
    struct Impl;
    std::unique_ptr<Impl> fImpl;
    friend struct Impl;
};

// The form text of root and everything it streams.
std::string WriteComponentToText(TComponent* root);
// Reads a form text into root (nullptr: creates it with owner); returns the root.
TComponent* ReadComponentFromText(const std::string& text, TComponent* root = nullptr,
                                  TComponent* owner = nullptr);
// The same over streams (the text is the rest of the stream / is written at its position).
void WriteComponentToStream(TStream& stream, TComponent* root);
TComponent* ReadComponentFromStream(TStream& stream, TComponent* root = nullptr, TComponent* owner = nullptr);

} // namespace host

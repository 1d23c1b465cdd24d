// The common root of the host classes (TObject), the event scheme, and TPersistent.
//
// Event scheme used throughout the host framework and the components built on it:
//   - An event is a std::function member; its type is named like the classic event type
//     (`TNotifyEvent`, later `TDataSetNotifyEvent`, `TFieldNotifyEvent`, ...).
//   - The sender comes first, as a pointer to the most specific class that makes sense.
//   - A classic `var` parameter becomes a reference parameter (`bool& accept`).
//   - Property `OnChange` is read with `OnChange()` (const reference to the function, empty when
//     unassigned) and written with `SetOnChange(handler)`; firing code checks `if (fOnChange)`.
//
// Lifetime: host objects are created with `new` and destroyed with `delete` (directly, by their
// owner, or through std::unique_ptr). `delete` first calls the virtual `BeforeDestruction()` while
// the object still has its full dynamic type, then runs the destructors, as the classic run time
// does. BeforeDestruction must not throw. Objects destroyed without `delete` (on the stack, as
// members, through std::make_shared) skip it; the host classes then run their teardown from
// their destructors instead.
#pragma once

#include <cstddef>
#include <functional>
#include <new>
#include <string>

namespace host {

class TObject {
public:
    TObject() = default;
    virtual ~TObject();
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;

    // The class name without namespaces, e.g. "TStringList" (taken from the dynamic type).
    virtual std::string ClassName() const;

    // Called by `delete` before any destructor runs; the object still has its full type here.
    virtual void BeforeDestruction() {}

    // Destroying delete: runs BeforeDestruction(), then the (virtual) destructor, then frees.
    static void operator delete(TObject* object, std::destroying_delete_t);
    // The allocation functions paired with it (plain global allocation; placement kept usable),
    // and the plain deallocation a failed constructor needs.
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t /*size*/, void* place) noexcept { return place; }
    static void operator delete(void* block) noexcept;
    static void operator delete(void* /*block*/, void* /*place*/) noexcept {}
};

// The basic event: a sender only.
using TNotifyEvent = std::function<void(TObject* sender)>;

class TFiler; // component streaming (defined by the streaming unit)

// Base of everything that can be assigned to and streamed.
class TPersistent : public TObject {
public:
    // Copies the contents of source into this object. The base asks source->AssignTo(this)
    // and raises EConvertError "Cannot assign a %s to a %s" when neither side knows the other.
    virtual void Assign(TPersistent* source);
    // The owner in the naming hierarchy (collections: their owner; components: their Owner).
    virtual TPersistent* GetOwner() const { return nullptr; }
    // Dotted path used by designers and messages; the base gives the class name.
    virtual std::string GetNamePath() const;

protected:
    // Copies this object into dest; the base raises the assign error.
    virtual void AssignTo(TPersistent* dest);
    // Hook for non-published streamed properties (Filer->DefineProperty ...); base: nothing.
    virtual void DefineProperties(TFiler* filer);

    friend class TFiler;
};

} // namespace host

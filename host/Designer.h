// Design-time interfaces, free of any GUI toolkit: the component palette registry
// (RegisterComponents), the property editor registry (RegisterPropertyEditor), the property
// editor base classes and the designer a property editor reports to.
//
// A property editor edits one published property (see host/Streaming.h) of one or more
// components. The designer asks GetAttributes, lists GetValues for a value list, shows GetValue,
// and passes the user's text to SetValue or calls Edit for a dialog; a change ends with
// Designer()->Modified().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/Component.h"
#include "host/Exceptions.h"
#include "host/Sets.h"
#include "host/Streaming.h"
#include "host/Variant.h"

namespace host {

// A value the property editor cannot store ("Invalid property value" ...).
class EPropertyError : public Exception {
public:
    using Exception::Exception;
};

enum TPropertyAttribute : uint8_t {
    paValueList,     // GetValues lists the possible values
    paSubProperties, // the property has sub-properties
    paDialog,        // Edit opens a dialog
    paMultiSelect,   // the editor may edit several components at once
    paAutoUpdate,    // SetValue after each change of the text
    paSortList,      // the value list is shown sorted
    paReadOnly,      // the text cannot be edited
    paRevertable     // the value can be reverted to the inherited one
};
using TPropertyAttributes = TSet<TPropertyAttribute>;

using TGetStrProc = std::function<void(const std::string& value)>;

// The form designer a property editor works for: the edited form (root), the components it
// offers, and the modification notice.
class TDesigner : public TObject {
public:
    explicit TDesigner(TComponent* root) : fRoot(root) {}
    TComponent* Root() const { return fRoot; }

    // Something in the form changed: counts and fires OnModified.
    virtual void Modified();
    int ModifiedCount() const { return fModifiedCount; }
    const TNotifyEvent& OnModified() const { return fOnModified; }
    void SetOnModified(TNotifyEvent h) { fOnModified = std::move(h); }

    // Names of the root and of the components it owns for which accept is true (all when empty),
    // in creation order; unnamed components are skipped.
    virtual void GetComponentNames(const std::function<bool(TComponent*)>& accept, const TGetStrProc& proc);
    // The root or an owned component by name (case-insensitive), or nullptr.
    virtual TComponent* GetComponent(const std::string& name);

private:
    TComponent* fRoot;
    int fModifiedCount = 0;
    TNotifyEvent fOnModified;
};

// Base of property editors.
class TPropertyEditor : public TObject {
public:
    TPropertyEditor(TDesigner* designer, int propCount);
    ~TPropertyEditor() override;

    // The edited components and the property (looked up in the class registry by name; nullptr
    // when none of that name is published, for editors that work through other means).
    void Initialize(std::vector<TPersistent*> components, const std::string& propName);

    virtual TPropertyAttributes GetAttributes();
    // Calls proc with each value of the value list; base: nothing.
    virtual void GetValues(const TGetStrProc& proc);
    // The value as text; base: "(Unknown)".
    virtual std::string GetValue();
    // Stores the text typed by the user; base: nothing.
    virtual void SetValue(const std::string& value);
    // Opens the editor's dialog; base: nothing.
    virtual void Edit();
    // Whether every edited component has the same value; base: true for one component.
    virtual bool AllEqual();

    // Edited component i (EListError when out of range).
    TPersistent* GetComponent(int index) const;
    int PropCount() const { return static_cast<int>(fComponents.size()); }
    const std::string& GetName() const { return fPropName; }
    const TPropInfo* PropInfo() const { return fPropInfo; }
    TDesigner* Designer() const { return fDesigner; }
    // Designer()->Modified().
    void Modified();

protected:
    // Values of the published property of component 0 / stored into every component (each
    // store ends with Modified()).
    Variant GetVarValue() const;
    void SetVarValue(const Variant& value);
    std::string GetStrValue() const { return GetVarValue().AsString(); }
    void SetStrValue(const std::string& value) { SetVarValue(Variant(value)); }
    int64_t GetOrdValue() const { return GetVarValue().AsInt64(); }
    void SetOrdValue(int64_t value) { SetVarValue(Variant(value)); }
    double GetFloatValue() const { return GetVarValue().AsDouble(); }
    void SetFloatValue(double value) { SetVarValue(Variant(value)); }
    const TPropInfo& RequireProp() const;

private:
    TDesigner* fDesigner;
    std::vector<TPersistent*> fComponents;
    std::string fPropName;
    const TPropInfo* fPropInfo = nullptr;
};

// Integer properties: decimal text.
class TIntegerProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override { return {paMultiSelect, paRevertable}; }
    std::string GetValue() override;
    // Non-numeric text raises EPropertyError "Invalid property value".
    void SetValue(const std::string& value) override;
};

// Text properties.
class TStringProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override { return {paMultiSelect, paRevertable}; }
    std::string GetValue() override { return GetStrValue(); }
    void SetValue(const std::string& value) override { SetStrValue(value); }
};

// Floating-point properties.
class TFloatProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override { return {paMultiSelect, paRevertable}; }
    std::string GetValue() override;
    void SetValue(const std::string& value) override;
};

// Enumerations and booleans: the member names as a value list.
class TEnumProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override {
        return {paMultiSelect, paValueList, paSortList, paRevertable};
    }
    void GetValues(const TGetStrProc& proc) override;
    std::string GetValue() override;
    // A name of the list (ignoring case); anything else raises EPropertyError.
    void SetValue(const std::string& value) override;

protected:
    std::vector<std::string> Names() const;
};

// References to other components: the designer's components of the property's class.
class TComponentProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override {
        return {paMultiSelect, paValueList, paSortList, paRevertable};
    }
    void GetValues(const TGetStrProc& proc) override;
    std::string GetValue() override;
    // '' clears; a name of a component the property accepts, else EPropertyError.
    void SetValue(const std::string& value) override;

protected:
    TComponent* GetComponentReference() const;
    // Whether component may be offered / assigned; base: the property's class accepts it.
    virtual bool Accepts(TComponent* component) const;
};

// Creates a property editor for a designer and the number of components it will edit.
using TPropertyEditorClass =
    std::function<std::unique_ptr<TPropertyEditor>(TDesigner* designer, int propCount)>;

template <class T>
TPropertyEditorClass PropertyEditorClass() {
    return [](TDesigner* designer, int propCount) -> std::unique_ptr<TPropertyEditor> {
        return std::make_unique<T>(designer, propCount);
    };
}

// A component class as the registries see it: its name, an instance test and (for the palette)
// a factory. An empty reference (no instance test) stands for "any class".
struct TComponentClassRef {
    std::string Name;
    std::function<bool(const TPersistent*)> IsInstance;
    TComponentFactory Create;
};

template <class T>
TComponentClassRef ComponentClass(const std::string& name) {
    TComponentClassRef ref;
    ref.Name = name;
    ref.IsInstance = [](const TPersistent* o) { return dynamic_cast<const T*>(o) != nullptr; };
    if constexpr (!std::is_abstract_v<T> && std::is_constructible_v<T, TComponent*>)
        ref.Create = [](TComponent* owner) -> TComponent* { return new T(owner); };
    return ref;
}

// Palette pages and property editors registered by design-time packages.
class TDesignRegistry {
public:
    // Puts classes on the palette page (a page keeps the order of registration; registering a
    // class again moves it to the new place).
    void RegisterComponents(const std::string& page, const std::vector<TComponentClassRef>& classes);
    // Page names in order of first registration.
    std::vector<std::string> Pages() const;
    // Class names of a page, in order.
    std::vector<std::string> PageClasses(const std::string& page) const;
    // A registered class by name, or nullptr.
    const TComponentClassRef* FindComponentClass(const std::string& name) const;

    // Uses editor for properties of type propertyType ("" = any) of components of
    // componentClass (empty = any) named propertyName ("" = any).
    void RegisterPropertyEditor(const std::string& propertyType, const TComponentClassRef& componentClass,
                                const std::string& propertyName, TPropertyEditorClass editor);
    // The best registered editor for the property of component (the most specific match; among
    // equally specific ones the latest), or an empty function.
    TPropertyEditorClass FindPropertyEditor(const TPersistent* component, const TPropInfo& prop) const;
    // An initialized editor for the property of components: the registered one, else the
    // standard editor of the property's kind. EPropertyError when the property does not exist.
    std::unique_ptr<TPropertyEditor> CreatePropertyEditor(TDesigner* designer,
                                                          std::vector<TPersistent*> components,
                                                          const std::string& propertyName) const;
    // Forgets everything (tests, unloading a package).
    void Clear();

private:
    struct PageEntry {
        std::string page;
        std::vector<TComponentClassRef> classes;
    };
    struct EditorEntry {
        std::string propertyType;
        TComponentClassRef componentClass;
        std::string propertyName;
        TPropertyEditorClass editor;
    };
    std::vector<PageEntry> fPages;
    std::vector<EditorEntry> fEditors;
};

// The process-wide design registry.
TDesignRegistry& DesignRegistry();

inline void RegisterComponents(const std::string& page, const std::vector<TComponentClassRef>& classes) {
    DesignRegistry().RegisterComponents(page, classes);
}
inline void RegisterPropertyEditor(const std::string& propertyType, const TComponentClassRef& componentClass,
                                   const std::string& propertyName, TPropertyEditorClass editor) {
    DesignRegistry().RegisterPropertyEditor(propertyType, componentClass, propertyName, std::move(editor));
}

} // namespace host

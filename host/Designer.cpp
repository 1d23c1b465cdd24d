// Design-time interfaces: designer, property editors, palette and editor registries.
#include "host/Designer.h"

#include <algorithm>

#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

// ---------------------------------------------------------------- TDesigner

void TDesigner::Modified() {
    ++fModifiedCount;
    if (fOnModified) fOnModified(this);
}

void TDesigner::GetComponentNames(const std::function<bool(TComponent*)>& accept, const TGetStrProc& proc) {
    if (fRoot == nullptr) return;
    auto offer = [&](TComponent* c) {
        if (!c->Name().empty() && (!accept || accept(c))) proc(c->Name());
    };
    offer(fRoot);
    for (int i = 0; i < fRoot->ComponentCount(); ++i)
        offer(fRoot->Components(i));
}

TComponent* TDesigner::GetComponent(const std::string& name) {
    if (fRoot == nullptr || name.empty()) return nullptr;
    if (SameText(fRoot->Name(), name)) return fRoot;
    return fRoot->FindComponent(name);
}

// ---------------------------------------------------------------- TPropertyEditor

TPropertyEditor::TPropertyEditor(TDesigner* designer, int propCount) : fDesigner(designer) {
    fComponents.reserve(static_cast<size_t>(std::max(propCount, 0)));
}

TPropertyEditor::~TPropertyEditor() = default;

void TPropertyEditor::Initialize(std::vector<TPersistent*> components, const std::string& propName) {
    fComponents = std::move(components);
    fPropName = propName;
    fPropInfo = nullptr;
    if (!fComponents.empty())
        if (const TClassInfo* info = ClassRegistry().InfoOf(fComponents.front()))
            fPropInfo = info->FindProperty(propName);
}

TPropertyAttributes TPropertyEditor::GetAttributes() {
    return {paRevertable};
}

void TPropertyEditor::GetValues(const TGetStrProc& /*proc*/) {}

std::string TPropertyEditor::GetValue() {
    return "(Unknown)";
}

void TPropertyEditor::SetValue(const std::string& /*value*/) {}

void TPropertyEditor::Edit() {}

bool TPropertyEditor::AllEqual() {
    if (PropCount() <= 1 || fPropInfo == nullptr || !fPropInfo->Get) return true;
    const Variant first = fPropInfo->Get(fComponents.front());
    for (size_t i = 1; i < fComponents.size(); ++i)
        if (!(fPropInfo->Get(fComponents[i]) == first)) return false;
    return true;
}

TPersistent* TPropertyEditor::GetComponent(int index) const {
    if (index < 0 || index >= PropCount()) throw EListError(Format(SListIndexError, {index}));
    return fComponents[static_cast<size_t>(index)];
}

void TPropertyEditor::Modified() {
    if (fDesigner != nullptr) fDesigner->Modified();
}

const TPropInfo& TPropertyEditor::RequireProp() const {
    if (fPropInfo == nullptr || fComponents.empty())
        throw EPropertyError(Format(SUnknownProperty, {fPropName}));
    return *fPropInfo;
}

Variant TPropertyEditor::GetVarValue() const {
    const TPropInfo& prop = RequireProp();
    if (!prop.Get) throw EPropertyError(SInvalidPropertyValue);
    return prop.Get(fComponents.front());
}

void TPropertyEditor::SetVarValue(const Variant& value) {
    const TPropInfo& prop = RequireProp();
    if (!prop.Set) throw EPropertyError(SInvalidPropertyValue);
    try {
        for (TPersistent* c : fComponents)
            prop.Set(c, value);
    } catch (const EFilerError& e) {
        throw EPropertyError(e.Message());
    }
    Modified();
}

// ---------------------------------------------------------------- standard editors

std::string TIntegerProperty::GetValue() {
    return IntToStr(GetOrdValue());
}

void TIntegerProperty::SetValue(const std::string& value) {
    int64_t v = 0;
    if (!TryStrToInt64(value, v)) throw EPropertyError(SInvalidPropertyValue);
    SetOrdValue(v);
}

std::string TFloatProperty::GetValue() {
    return FloatToStr(GetFloatValue());
}

void TFloatProperty::SetValue(const std::string& value) {
    double v = 0;
    if (!TryStrToFloat(value, v)) throw EPropertyError(SInvalidPropertyValue);
    SetFloatValue(v);
}

std::vector<std::string> TEnumProperty::Names() const {
    const TPropInfo& prop = RequireProp();
    if (prop.Kind == pkBoolean) return {"False", "True"};
    return prop.Names;
}

void TEnumProperty::GetValues(const TGetStrProc& proc) {
    for (const std::string& name : Names())
        proc(name);
}

std::string TEnumProperty::GetValue() {
    const std::vector<std::string> names = Names();
    const int64_t ordinal =
        RequireProp().Kind == pkBoolean ? (GetVarValue().AsBoolean() ? 1 : 0) : GetOrdValue();
    if (ordinal < 0 || ordinal >= static_cast<int64_t>(names.size())) return IntToStr(ordinal);
    return names[static_cast<size_t>(ordinal)];
}

void TEnumProperty::SetValue(const std::string& value) {
    const std::vector<std::string> names = Names();
    for (size_t i = 0; i < names.size(); ++i) {
        if (!SameText(names[i], value)) continue;
        if (RequireProp().Kind == pkBoolean)
            SetVarValue(Variant(i == 1));
        else
            SetOrdValue(static_cast<int64_t>(i));
        return;
    }
    throw EPropertyError(SInvalidPropertyValue);
}

bool TComponentProperty::Accepts(TComponent* component) const {
    const TPropInfo& prop = RequireProp();
    return !prop.AcceptsComponent || prop.AcceptsComponent(component);
}

TComponent* TComponentProperty::GetComponentReference() const {
    const TPropInfo& prop = RequireProp();
    if (!prop.GetComponent) throw EPropertyError(SInvalidPropertyValue);
    return prop.GetComponent(GetComponent(0));
}

void TComponentProperty::GetValues(const TGetStrProc& proc) {
    if (Designer() == nullptr) return;
    Designer()->GetComponentNames([this](TComponent* c) { return Accepts(c); }, proc);
}

std::string TComponentProperty::GetValue() {
    TComponent* c = GetComponentReference();
    return c == nullptr ? std::string() : c->Name();
}

void TComponentProperty::SetValue(const std::string& value) {
    const TPropInfo& prop = RequireProp();
    TComponent* target = nullptr;
    if (!value.empty()) {
        target = Designer() != nullptr ? Designer()->GetComponent(value) : nullptr;
        if (target == nullptr || !Accepts(target)) throw EPropertyError(SInvalidPropertyValue);
    }
    for (int i = 0; i < PropCount(); ++i)
        prop.SetComponent(GetComponent(i), target);
    Modified();
}

// ---------------------------------------------------------------- TDesignRegistry

void TDesignRegistry::RegisterComponents(const std::string& page,
                                         const std::vector<TComponentClassRef>& classes) {
    for (const TComponentClassRef& ref : classes) {
        for (PageEntry& entry : fPages)
            entry.classes.erase(
                std::remove_if(entry.classes.begin(), entry.classes.end(),
                               [&](const TComponentClassRef& r) { return SameText(r.Name, ref.Name); }),
                entry.classes.end());
    }
    auto it = std::find_if(fPages.begin(), fPages.end(),
                           [&](const PageEntry& e) { return SameText(e.page, page); });
    if (it == fPages.end()) {
        fPages.push_back(PageEntry{page, {}});
        it = fPages.end() - 1;
    }
    it->classes.insert(it->classes.end(), classes.begin(), classes.end());
}

std::vector<std::string> TDesignRegistry::Pages() const {
    std::vector<std::string> result;
    for (const PageEntry& e : fPages)
        if (!e.classes.empty()) result.push_back(e.page);
    return result;
}

std::vector<std::string> TDesignRegistry::PageClasses(const std::string& page) const {
    std::vector<std::string> result;
    for (const PageEntry& e : fPages)
        if (SameText(e.page, page))
            for (const TComponentClassRef& r : e.classes)
                result.push_back(r.Name);
    return result;
}

const TComponentClassRef* TDesignRegistry::FindComponentClass(const std::string& name) const {
    for (const PageEntry& e : fPages)
        for (const TComponentClassRef& r : e.classes)
            if (SameText(r.Name, name)) return &r;
    return nullptr;
}

void TDesignRegistry::RegisterPropertyEditor(const std::string& propertyType,
                                             const TComponentClassRef& componentClass,
                                             const std::string& propertyName, TPropertyEditorClass editor) {
    fEditors.push_back(EditorEntry{propertyType, componentClass, propertyName, std::move(editor)});
}

TPropertyEditorClass TDesignRegistry::FindPropertyEditor(const TPersistent* component,
                                                         const TPropInfo& prop) const {
    const EditorEntry* best = nullptr;
    for (auto it = fEditors.rbegin(); it != fEditors.rend(); ++it) {
        const EditorEntry& e = *it;
        if (!e.propertyType.empty() && !SameText(e.propertyType, prop.TypeName)) continue;
        if (e.componentClass.IsInstance && !e.componentClass.IsInstance(component)) continue;
        if (!e.propertyName.empty() && !SameText(e.propertyName, prop.Name)) continue;
        const bool better = best == nullptr ||
                            (!best->componentClass.IsInstance && e.componentClass.IsInstance) ||
                            (best->propertyName.empty() && !e.propertyName.empty()) ||
                            (best->propertyType.empty() && !e.propertyType.empty());
        if (better) best = &e;
    }
    return best != nullptr ? best->editor : TPropertyEditorClass();
}

std::unique_ptr<TPropertyEditor>
TDesignRegistry::CreatePropertyEditor(TDesigner* designer, std::vector<TPersistent*> components,
                                      const std::string& propertyName) const {
    if (components.empty()) throw EPropertyError(Format(SUnknownProperty, {propertyName}));
    const TClassInfo* info = ClassRegistry().InfoOf(components.front());
    const TPropInfo* prop = info != nullptr ? info->FindProperty(propertyName) : nullptr;
    if (prop == nullptr) throw EPropertyError(Format(SUnknownProperty, {propertyName}));
    TPropertyEditorClass editorClass = FindPropertyEditor(components.front(), *prop);
    if (!editorClass) {
        switch (prop->Kind) {
        case pkInteger:
            editorClass = PropertyEditorClass<TIntegerProperty>();
            break;
        case pkFloat:
            editorClass = PropertyEditorClass<TFloatProperty>();
            break;
        case pkEnum:
        case pkBoolean:
            editorClass = PropertyEditorClass<TEnumProperty>();
            break;
        case pkComponent:
            editorClass = PropertyEditorClass<TComponentProperty>();
            break;
        case pkString:
            editorClass = PropertyEditorClass<TStringProperty>();
            break;
        default:
            editorClass = PropertyEditorClass<TPropertyEditor>();
            break;
        }
    }
    const int count = static_cast<int>(components.size());
    std::unique_ptr<TPropertyEditor> editor = editorClass(designer, count);
    editor->Initialize(std::move(components), prop->Name);
    return editor;
}

void TDesignRegistry::Clear() {
    fPages.clear();
    fEditors.clear();
}

TDesignRegistry& DesignRegistry() {
    static TDesignRegistry registry;
    return registry;
}

} // namespace host

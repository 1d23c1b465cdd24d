// The headless form model: controls, list boxes, combo boxes, forms and ShowModal.
#include "host/Forms.h"

#include <algorithm>

#include "host/Dialogs.h"
#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

namespace {

TShowModalHook& ModalHook() {
    static TShowModalHook hook;
    return hook;
}

THelpHook& HelpHook() {
    static THelpHook hook;
    return hook;
}

[[noreturn]] void IndexError(int index) {
    throw EListError(Format(SListIndexError, {index}));
}

} // namespace

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
    SetParent(nullptr);
}

void TControl::BeforeDestruction() {
    SetParent(nullptr);
    TComponent::BeforeDestruction();
}

void TControl::SetBounds(int left, int top, int width, int height) {
    fLeft = left;
    fTop = top;
    fWidth = width;
    fHeight = height;
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == fParent) return;
    for (TWinControl* p = parent; p != nullptr; p = p->Parent())
        if (p == this) throw EInvalidOperation("A control cannot have itself as its parent");
    if (fParent != nullptr) fParent->RemoveControl(this);
    fParent = parent;
    if (fParent != nullptr) fParent->InsertControl(this);
}

TForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c->fParent != nullptr)
        c = c->fParent;
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::FireClick() {
    if (fOnClick) fOnClick(this);
}

void TControl::Click() {
    if (!fEnabled || !fVisible) return;
    FireClick();
}

TComponent* TControl::GetParentComponent() const {
    return fParent;
}

void TControl::SetParentComponent(TComponent* parent) {
    if (auto* p = dynamic_cast<TWinControl*>(parent)) SetParent(p);
}

// ---------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    for (TControl* c : fControls)
        c->fParent = nullptr;
    fControls.clear();
    fTabList.clear();
}

void TWinControl::BeforeDestruction() {
    // Children may outlive this container (another owner, or destroyed later by the same one).
    for (TControl* c : fControls)
        c->fParent = nullptr;
    fControls.clear();
    fTabList.clear();
    TControl::BeforeDestruction();
}

TControl* TWinControl::Controls(int index) const {
    if (index < 0 || index >= ControlCount()) IndexError(index);
    return fControls[static_cast<size_t>(index)];
}

void TWinControl::InsertControl(TControl* control) {
    fControls.push_back(control);
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        fTabList.push_back(w);
        if (w->fPendingTabOrder >= 0) {
            const int pending = w->fPendingTabOrder;
            w->fPendingTabOrder = -1;
            w->SetTabOrder(pending);
        }
    }
}

void TWinControl::RemoveControl(TControl* control) {
    fControls.erase(std::remove(fControls.begin(), fControls.end(), control), fControls.end());
    fTabList.erase(std::remove(fTabList.begin(), fTabList.end(), control), fTabList.end());
}

int TWinControl::TabOrder() const {
    if (Parent() == nullptr) return -1;
    const auto& list = Parent()->fTabList;
    const auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int value) {
    if (Parent() == nullptr) {
        fPendingTabOrder = std::max(value, 0);
        return;
    }
    auto& list = Parent()->fTabList;
    const int current = TabOrder();
    if (current < 0) return;
    list.erase(list.begin() + current);
    const int target = std::clamp(value, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + target, this);
}

void TWinControl::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    for (TControl* c : fControls)
        if (c->Owner() == root) proc(c);
}

// ---------------------------------------------------------------- TButton

void TButton::Click() {
    if (!Enabled() || !Visible()) return;
    if (TForm* form = ParentForm(); form != nullptr) form->SetModalResult(fModalResult);
    FireClick();
}

// ---------------------------------------------------------------- TComboBox

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner), fItems(std::make_unique<TStringList>()) {}

TComboBox::~TComboBox() = default;

int TComboBox::ItemIndex() const {
    return fItemIndex >= 0 && fItemIndex < fItems->Count() ? fItemIndex : -1;
}

void TComboBox::SetItemIndex(int index) {
    if (index < -1 || index >= fItems->Count()) IndexError(index);
    fItemIndex = index;
    fText = index >= 0 ? fItems->Strings(index) : std::string();
}

std::string TComboBox::Text() const {
    if (fStyle == csDropDownList) {
        const int index = ItemIndex();
        return index >= 0 ? fItems->Strings(index) : std::string();
    }
    return fText;
}

void TComboBox::SetText(const std::string& v) {
    if (fStyle == csDropDownList) {
        SetItemIndex(fItems->IndexOf(v));
        return;
    }
    fText = v;
    fItemIndex = fItems->IndexOf(v);
}

void TComboBox::SelectItem(int index) {
    if (!Enabled() || !Visible()) return;
    SetItemIndex(index);
    if (fOnChange) fOnChange(this);
    FireClick();
}

// ---------------------------------------------------------------- TListBoxStrings / TListBox

void TListBoxStrings::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) IndexError(index);
}

std::string TListBoxStrings::Strings(int index) const {
    CheckIndex(index);
    return fItems[static_cast<size_t>(index)].s;
}

void TListBoxStrings::SetStrings(int index, const std::string& s) {
    CheckIndex(index);
    fItems[static_cast<size_t>(index)].s = s;
}

TObject* TListBoxStrings::Objects(int index) const {
    CheckIndex(index);
    return fItems[static_cast<size_t>(index)].object;
}

void TListBoxStrings::SetObjects(int index, TObject* object) {
    CheckIndex(index);
    fItems[static_cast<size_t>(index)].object = object;
}

void TListBoxStrings::Insert(int index, const std::string& s) {
    if (index < 0 || index > Count()) IndexError(index);
    fItems.insert(fItems.begin() + index, Item{s, nullptr, false});
    fListBox->ItemInserted(index);
}

void TListBoxStrings::Delete(int index) {
    CheckIndex(index);
    fItems.erase(fItems.begin() + index);
    fListBox->ItemDeleted(index);
}

void TListBoxStrings::Clear() {
    fItems.clear();
    fListBox->fItemIndex = -1;
    fListBox->fAnchor = -1;
}

TListBox::TListBox(TComponent* owner) : TWinControl(owner), fItems(std::make_unique<TListBoxStrings>(this)) {}

TListBox::~TListBox() = default;

namespace {

// Keeps a position in the list on its item when an item is inserted before it.
void FollowInsert(int& position, int index) {
    if (position >= index) ++position;
}

// Keeps a position on its item when another is deleted; -1 when its own item goes.
void FollowDelete(int& position, int index) {
    if (position == index)
        position = -1;
    else if (position > index)
        --position;
}

} // namespace

void TListBox::ItemInserted(int index) {
    FollowInsert(fItemIndex, index);
    FollowInsert(fAnchor, index);
}

void TListBox::ItemDeleted(int index) {
    FollowDelete(fItemIndex, index);
    FollowDelete(fAnchor, index);
}

void TListBox::SetMultiSelect(bool v) {
    if (fMultiSelect == v) return;
    fMultiSelect = v;
    if (!v) {
        for (auto& item : List()->fItems)
            item.selected = false;
        if (fItemIndex >= 0) List()->fItems[static_cast<size_t>(fItemIndex)].selected = true;
    }
}

void TListBox::SetItemIndex(int index) {
    if (index < -1 || index >= fItems->Count()) IndexError(index);
    fItemIndex = index;
    fAnchor = index;
    if (index < 0) {
        ClearSelection();
        return;
    }
    if (!fMultiSelect || SelCount() == 0) {
        ClearSelection();
        List()->fItems[static_cast<size_t>(index)].selected = true;
    }
}

bool TListBox::Selected(int index) const {
    List()->CheckIndex(index);
    return List()->fItems[static_cast<size_t>(index)].selected;
}

void TListBox::SetSelected(int index, bool value) {
    List()->CheckIndex(index);
    if (!fMultiSelect) {
        if (value) {
            SetItemIndex(index);
        } else if (index == fItemIndex) {
            SetItemIndex(-1);
        }
        return;
    }
    List()->fItems[static_cast<size_t>(index)].selected = value;
}

int TListBox::SelCount() const {
    return static_cast<int>(std::count_if(List()->fItems.begin(), List()->fItems.end(),
                                          [](const TListBoxStrings::Item& i) { return i.selected; }));
}

void TListBox::ClearSelection() {
    for (auto& item : List()->fItems)
        item.selected = false;
}

void TListBox::ClickItem(int index, bool ctrl, bool shift) {
    if (!Enabled() || !Visible()) return;
    List()->CheckIndex(index);
    auto& items = List()->fItems;
    if (fMultiSelect && shift) {
        const int anchor = fAnchor >= 0 ? fAnchor : index;
        if (!ctrl) ClearSelection();
        for (int i = std::min(anchor, index); i <= std::max(anchor, index); ++i)
            items[static_cast<size_t>(i)].selected = true;
        fAnchor = anchor;
    } else if (fMultiSelect && ctrl) {
        auto& item = items[static_cast<size_t>(index)];
        item.selected = !item.selected;
        fAnchor = index;
    } else {
        ClearSelection();
        items[static_cast<size_t>(index)].selected = true;
        fAnchor = index;
    }
    fItemIndex = index;
    FireClick();
}

// ---------------------------------------------------------------- TForm

TForm::TForm(TComponent* owner) : TWinControl(owner) {
    SetVisible(false);
}

TForm::~TForm() = default;

TModalResult TForm::ShowModal() {
    if (fModal) throw EInvalidOperation("Cannot make a visible window modal");
    fModalResult = mrNone;
    fModal = true;
    SetVisible(true);
    struct Hide {
        TForm* form;
        ~Hide() {
            form->fModal = false;
            form->SetVisible(false);
        }
    } hide{this};
    if (fOnShow) fOnShow(this);
    if (const TShowModalHook& hook = ModalHook(); hook) hook(*this);
    if (fModalResult == mrNone) fModalResult = mrCancel;
    return fModalResult;
}

void TForm::Close() {
    if (fModal && fModalResult == mrNone) fModalResult = mrCancel;
    if (!fModal) SetVisible(false);
}

TShowModalHook SetShowModalHook(TShowModalHook hook) {
    TShowModalHook previous = std::move(ModalHook());
    ModalHook() = std::move(hook);
    return previous;
}

THelpHook SetHelpHook(THelpHook hook) {
    THelpHook previous = std::move(HelpHook());
    HelpHook() = std::move(hook);
    return previous;
}

void ShowHelpContext(THelpContext context) {
    if (const THelpHook& hook = HelpHook(); hook) hook(context);
}

TModalResult MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                        THelpContext /*helpContext*/) {
    static const char* captions[] = {"Warning", "Error", "Information", "Confirm", ""};
    static const int icons[] = {MB_ICONWARNING, MB_ICONERROR, MB_ICONINFORMATION, MB_ICONQUESTION, 0};
    int flags = MB_OK;
    if (buttons.Contains(mbYes) && buttons.Contains(mbNo))
        flags = buttons.Contains(mbCancel) ? MB_YESNOCANCEL : MB_YESNO;
    else if (buttons.Contains(mbAbort))
        flags = MB_ABORTRETRYIGNORE;
    else if (buttons.Contains(mbRetry))
        flags = MB_RETRYCANCEL;
    else if (buttons.Contains(mbOK) && buttons.Contains(mbCancel))
        flags = MB_OKCANCEL;
    switch (MessageBox(msg, captions[type], flags | icons[type])) {
    case IDOK:
        return mrOk;
    case IDCANCEL:
        return mrCancel;
    case IDABORT:
        return mrAbort;
    case IDRETRY:
        return mrRetry;
    case IDIGNORE:
        return mrIgnore;
    case IDYES:
        return mrYes;
    case IDNO:
        return mrNo;
    default:
        return mrNone;
    }
}

} // namespace host

// A headless form model: forms and a few controls that hold position, size, caption, enabled,
// visible, items, selection and tab order, with the events a dialog's logic lives in (OnClick,
// OnChange, OnShow). Nothing is drawn. ShowModal hands the form to a replaceable hook that acts
// as the user (clicks buttons, selects items ...) and returns the form's modal result.
//
// Controls are components owned by the form (or another owner) and placed in a parent
// (TWinControl: a form or a container) with SetParent. User actions are simulated with Click(),
// TListBox::ClickItem and TComboBox::SelectItem, which fire the events as the real controls do.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/Component.h"
#include "host/Sets.h"
#include "host/Strings.h"

namespace host {

class TWinControl;
class TForm;

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;
inline constexpr TModalResult mrAll = 8;

using THelpContext = int;

// Base of all controls: bounds, caption, enabled, visible, parent, OnClick.
class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;
    void BeforeDestruction() override;

    int Left() const { return fLeft; }
    void SetLeft(int v) { fLeft = v; }
    int Top() const { return fTop; }
    void SetTop(int v) { fTop = v; }
    int Width() const { return fWidth; }
    void SetWidth(int v) { fWidth = v; }
    int Height() const { return fHeight; }
    void SetHeight(int v) { fHeight = v; }
    void SetBounds(int left, int top, int width, int height);
    const std::string& Caption() const { return fCaption; }
    void SetCaption(const std::string& v) { fCaption = v; }
    bool Enabled() const { return fEnabled; }
    void SetEnabled(bool v) { fEnabled = v; }
    bool Visible() const { return fVisible; }
    virtual void SetVisible(bool v) { fVisible = v; }
    THelpContext HelpContext() const { return fHelpContext; }
    void SetHelpContext(THelpContext v) { fHelpContext = v; }

    TWinControl* Parent() const { return fParent; }
    // Moves the control into parent's control list (nullptr: out of any).
    virtual void SetParent(TWinControl* parent);
    // The form the control lies in (itself for a form), or nullptr.
    TForm* ParentForm() const;

    const TNotifyEvent& OnClick() const { return fOnClick; }
    void SetOnClick(TNotifyEvent h) { fOnClick = std::move(h); }
    // The user clicks the control: OnClick when the control is enabled and visible.
    virtual void Click();

    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* parent) override;

protected:
    void FireClick();

private:
    friend class TWinControl;
    int fLeft = 0, fTop = 0, fWidth = 0, fHeight = 0;
    std::string fCaption;
    bool fEnabled = true;
    bool fVisible = true;
    THelpContext fHelpContext = 0;
    TWinControl* fParent = nullptr;
    TNotifyEvent fOnClick;
};

// A control that can hold other controls and take part in the tab order.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;
    void BeforeDestruction() override;

    int ControlCount() const { return static_cast<int>(fControls.size()); }
    TControl* Controls(int index) const;
    // Position among the parent's window controls (-1 without parent). Set without a parent,
    // the value is applied when the control gets one (as when a form is read).
    int TabOrder() const;
    void SetTabOrder(int value);
    bool TabStop() const { return fTabStop; }
    void SetTabStop(bool v) { fTabStop = v; }
    // Child window controls in tab order.
    std::vector<TWinControl*> TabList() const { return fTabList; }

    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

private:
    friend class TControl;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    std::vector<TControl*> fControls;   // not owned
    std::vector<TWinControl*> fTabList; // not owned
    bool fTabStop = true;
    int fPendingTabOrder = -1;
};

// Static text; '&' marks the accelerator.
class TLabel : public TControl {
public:
    explicit TLabel(TComponent* owner) : TControl(owner) {}
    TWinControl* FocusControl() const { return fFocusControl; }
    void SetFocusControl(TWinControl* v) { fFocusControl = v; }

private:
    TWinControl* fFocusControl = nullptr;
};

// A frame (lowered box, line ...); only geometry.
enum TBevelShape : uint8_t { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
class TBevel : public TControl {
public:
    explicit TBevel(TComponent* owner) : TControl(owner) {}
    TBevelShape Shape() const { return fShape; }
    void SetShape(TBevelShape v) { fShape = v; }

private:
    TBevelShape fShape = bsBox;
};

// A push button. Click sets the parent form's ModalResult to the button's, then fires OnClick
// (which may reset it to keep the form open).
class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner) : TWinControl(owner) {}
    TModalResult ModalResult() const { return fModalResult; }
    void SetModalResult(TModalResult v) { fModalResult = v; }
    // The button Enter presses / Escape presses.
    bool Default() const { return fDefault; }
    void SetDefault(bool v) { fDefault = v; }
    bool Cancel() const { return fCancel; }
    void SetCancel(bool v) { fCancel = v; }
    void Click() override;

private:
    TModalResult fModalResult = mrNone;
    bool fDefault = false;
    bool fCancel = false;
};

enum TComboBoxStyle : uint8_t { csDropDown, csSimple, csDropDownList };

// A drop-down list with an edit text. ItemIndex -1 = none; with csDropDownList, Text is the
// selected item.
class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;
    TStrings* Items() const { return fItems.get(); }
    TComboBoxStyle Style() const { return fStyle; }
    void SetStyle(TComboBoxStyle v) { fStyle = v; }
    // -1 when the index no longer names an item.
    int ItemIndex() const;
    // Programmatic selection (no events); Text follows.
    void SetItemIndex(int index);
    std::string Text() const;
    void SetText(const std::string& v);
    const TNotifyEvent& OnChange() const { return fOnChange; }
    void SetOnChange(TNotifyEvent h) { fOnChange = std::move(h); }
    // The user picks item index: selection, then OnChange and OnClick.
    void SelectItem(int index);

private:
    std::unique_ptr<TStringList> fItems;
    TComboBoxStyle fStyle = csDropDown;
    int fItemIndex = -1;
    std::string fText;
    TNotifyEvent fOnChange;
};

class TListBox;

// The items of a list box: strings with objects and a selection mark each.
class TListBoxStrings : public TStrings {
public:
    explicit TListBoxStrings(TListBox* listBox) : fListBox(listBox) {}
    int Count() const override { return static_cast<int>(fItems.size()); }
    std::string Strings(int index) const override;
    void SetStrings(int index, const std::string& s) override;
    TObject* Objects(int index) const override;
    void SetObjects(int index, TObject* object) override;
    void Insert(int index, const std::string& s) override;
    void Delete(int index) override;
    void Clear() override;

private:
    friend class TListBox;
    struct Item {
        std::string s;
        TObject* object = nullptr;
        bool selected = false;
    };
    void CheckIndex(int index) const;
    TListBox* fListBox;
    std::vector<Item> fItems;
};

// A list of items; with MultiSelect any number of them may be selected.
class TListBox : public TWinControl {
public:
    explicit TListBox(TComponent* owner);
    ~TListBox() override;
    TStrings* Items() const { return fItems.get(); }
    bool MultiSelect() const { return fMultiSelect; }
    // Leaving multi-select keeps only the item at ItemIndex selected.
    void SetMultiSelect(bool v);
    // The focused item (-1 none).
    int ItemIndex() const { return fItemIndex; }
    // Programmatic: focuses index and (single-select, or multi-select without other selection)
    // selects only it; -1 clears the selection. No events.
    void SetItemIndex(int index);
    bool Selected(int index) const;
    void SetSelected(int index, bool value);
    int SelCount() const;
    void ClearSelection();
    // The user clicks item index, then OnClick. In a multi-select list Ctrl toggles the item and
    // keeps the others; Shift selects the range from the anchor (the last item clicked without
    // Shift, or focused by SetItemIndex) to index, replacing the selection (with Ctrl as well:
    // adding to it). Otherwise only index is selected.
    void ClickItem(int index, bool ctrl = false, bool shift = false);

private:
    friend class TListBoxStrings;
    void ItemDeleted(int index);
    void ItemInserted(int index);
    TListBoxStrings* List() const { return static_cast<TListBoxStrings*>(fItems.get()); }
    std::unique_ptr<TStrings> fItems;
    bool fMultiSelect = false;
    int fItemIndex = -1;
    int fAnchor = -1; // where a Shift-click range starts
};

enum TFormBorderStyle : uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition : uint8_t { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter };

// Called by ShowModal with the form; acts as the user. Empty: the default, which closes the
// form at once (mrCancel).
using TShowModalHook = std::function<void(TForm& form)>;

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    int ClientWidth() const { return fClientWidth; }
    void SetClientWidth(int v) { fClientWidth = v; }
    int ClientHeight() const { return fClientHeight; }
    void SetClientHeight(int v) { fClientHeight = v; }
    TFormBorderStyle BorderStyle() const { return fBorderStyle; }
    void SetBorderStyle(TFormBorderStyle v) { fBorderStyle = v; }
    TPosition Position() const { return fPosition; }
    void SetPosition(TPosition v) { fPosition = v; }
    TWinControl* ActiveControl() const { return fActiveControl; }
    void SetActiveControl(TWinControl* v) { fActiveControl = v; }

    TModalResult ModalResult() const { return fModalResult; }
    void SetModalResult(TModalResult v) { fModalResult = v; }
    // True between the start and the end of ShowModal.
    bool Modal() const { return fModal; }
    // Shows the form modally: ModalResult := mrNone, Visible, OnShow, then the modal hook. The
    // result is the form's ModalResult when the hook returns (mrNone counts as the user closing
    // the window: mrCancel). The form is hidden again afterwards.
    TModalResult ShowModal();
    // Closes the form: a modal form gets ModalResult mrCancel unless it has one.
    void Close();

    const TNotifyEvent& OnShow() const { return fOnShow; }
    void SetOnShow(TNotifyEvent h) { fOnShow = std::move(h); }

    // A form is a top-level window: no parent.
    bool HasParent() const override { return false; }

private:
    int fClientWidth = 0, fClientHeight = 0;
    TFormBorderStyle fBorderStyle = bsSizeable;
    TPosition fPosition = poDesigned;
    TWinControl* fActiveControl = nullptr;
    TModalResult fModalResult = mrNone;
    bool fModal = false;
    TNotifyEvent fOnShow;
};

// Installs the modal hook (empty: the default); returns the previous one.
TShowModalHook SetShowModalHook(TShowModalHook hook);

// Application help: shows the help topic of a context through a hook (default: nothing).
using THelpHook = std::function<void(THelpContext context)>;
THelpHook SetHelpHook(THelpHook hook);
void ShowHelpContext(THelpContext context);

// Message dialogs over host::MessageBox.
enum TMsgDlgType : uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : uint8_t {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp
};
using TMsgDlgButtons = TSet<TMsgDlgBtn>;
// Shows msg with the type's caption ("Error", "Warning", "Information", "Confirm") and returns
// the modal result of the button pressed.
TModalResult MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                        THelpContext helpContext);

} // namespace host

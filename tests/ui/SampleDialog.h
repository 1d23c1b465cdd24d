// A sample dialog on the headless form model for the view tests: pairs of detail and master
// fields are joined in a multi-select list, with the whole logic in event handlers (index
// change, Add, Delete, Clear, OK refusing an empty join, Help showing a hint).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "host/Forms.h"

namespace uitest {

using namespace host;

class SampleDialog : public TForm {
public:
    explicit SampleDialog(TComponent* owner) : TForm(owner) {
        SetName("SampleDialog");
        SetCaption("Join Fields");
        SetClientWidth(352);
        SetClientHeight(265);
        SetBorderStyle(bsDialog);
        SetPosition(poScreenCenter);

        indexLabel = Make(new TLabel(this), "IndexLabel", 4, 10, 83, 13);
        indexLabel->SetCaption("A&vailable Indexes");
        indexList = Make(new TComboBox(this), "IndexList", 109, 7, 192, 21);
        indexList->SetStyle(csDropDownList);
        for (const char* s : {"PRIMARY", "ByCompany", "Sales & Marketing"})
            indexList->Items()->Add(s);
        indexLabel->SetFocusControl(indexList);
        bevel = Make(new TBevel(this), "Bevel1", 4, 33, 343, 190);
        bevel->SetShape(bsFrame);
        detailLabel = Make(new TLabel(this), "DetailLabel", 13, 40, 57, 13);
        detailLabel->SetCaption("D&etail Fields");
        detailList = Make(new TListBox(this), "DetailList", 13, 55, 117, 69);
        detailLabel->SetFocusControl(detailList);
        addButton = Make(new TButton(this), "AddButton", 138, 74, 75, 25);
        addButton->SetCaption("&Add");
        masterLabel = Make(new TLabel(this), "MasterLabel", 222, 38, 62, 13);
        masterLabel->SetCaption("&Master Fields");
        masterList = Make(new TListBox(this), "MasterList", 222, 54, 117, 69);
        masterLabel->SetFocusControl(masterList);
        joinedLabel = Make(new TLabel(this), "JoinedLabel", 12, 142, 61, 13);
        joinedLabel->SetCaption("&Joined Fields");
        bindList = Make(new TListBox(this), "BindList", 12, 157, 242, 56);
        bindList->SetMultiSelect(true);
        joinedLabel->SetFocusControl(bindList);
        deleteButton = Make(new TButton(this), "DeleteButton", 263, 157, 75, 25);
        deleteButton->SetCaption("&Delete");
        clearButton = Make(new TButton(this), "ClearButton", 263, 188, 75, 25);
        clearButton->SetCaption("&Clear");
        okButton = Make(new TButton(this), "OkButton", 100, 231, 75, 25);
        okButton->SetCaption("OK");
        okButton->SetDefault(true);
        okButton->SetModalResult(mrOk);
        cancelButton = Make(new TButton(this), "CancelButton", 186, 231, 75, 25);
        cancelButton->SetCaption("Cancel");
        cancelButton->SetCancel(true);
        cancelButton->SetModalResult(mrCancel);
        helpButton = Make(new TButton(this), "HelpButton", 272, 231, 75, 25);
        helpButton->SetCaption("&Help");
        hintLabel = Make(new TLabel(this), "HintLabel", 8, 240, 0, 0); // sized by its text
        hintLabel->SetCaption("Pick && join");
        hintLabel->SetVisible(false);
        indexList->SetTabOrder(0);

        indexList->SetOnChange([this](TObject*) { IndexChanged(); });
        detailList->SetOnClick([this](TObject*) { UpdateButtons(); });
        masterList->SetOnClick([this](TObject*) { UpdateButtons(); });
        bindList->SetOnClick([this](TObject*) { UpdateButtons(); });
        addButton->SetOnClick([this](TObject*) { Add(); });
        deleteButton->SetOnClick([this](TObject*) { Delete(); });
        clearButton->SetOnClick([this](TObject*) { Clear(); });
        okButton->SetOnClick([this](TObject*) {
            if (bindList->Items()->Count() == 0) {
                MessageDlg("Join at least one pair of fields", mtError, {mbOK}, 0);
                SetModalResult(mrNone);
            }
        });
        helpButton->SetOnClick([this](TObject*) { hintLabel->SetVisible(!hintLabel->Visible()); });
        SetOnShow([this](TObject*) {
            indexList->SetItemIndex(0);
            IndexChanged();
        });
    }

    static std::vector<std::string> Texts(const TStrings* s) {
        std::vector<std::string> out;
        for (int i = 0; i < s->Count(); ++i)
            out.push_back(s->Strings(i));
        return out;
    }

    TLabel* indexLabel;
    TComboBox* indexList;
    TBevel* bevel;
    TLabel* detailLabel;
    TListBox* detailList;
    TButton* addButton;
    TLabel* masterLabel;
    TListBox* masterList;
    TLabel* joinedLabel;
    TListBox* bindList;
    TButton* deleteButton;
    TButton* clearButton;
    TButton* okButton;
    TButton* cancelButton;
    TButton* helpButton;
    TLabel* hintLabel;

private:
    template <class C>
    C* Make(C* control, const char* name, int left, int top, int width, int height) {
        control->SetName(name);
        control->SetParent(this);
        control->SetBounds(left, top, width, height);
        return control;
    }

    std::vector<std::string> DetailFields() const {
        switch (indexList->ItemIndex()) {
        case 0:
            return {"CustNo"};
        case 1:
            return {"Company", "City", "@Region"};
        default:
            return {"Dept", "Rep&Area"};
        }
    }

    static const std::vector<std::string>& MasterFields() {
        static const std::vector<std::string> fields{"CustNo",  "Company", "City",
                                                     "@Region", "Dept",    "Rep&Area"};
        return fields;
    }

    // Refills a list with the fields of all that no pair uses, in the fields' order.
    void Refill(TListBox* list, const std::vector<std::string>& all, bool detailSide) {
        std::vector<std::string> used;
        for (const std::string& pair : Texts(bindList->Items())) {
            const auto arrow = pair.rfind(" -> ");
            used.push_back(detailSide ? pair.substr(0, arrow) : pair.substr(arrow + 4));
        }
        list->Items()->Clear();
        for (const std::string& f : all)
            if (std::find(used.begin(), used.end(), f) == used.end()) list->Items()->Add(f);
    }

    void IndexChanged() {
        bindList->Items()->Clear();
        Refill(detailList, DetailFields(), true);
        Refill(masterList, MasterFields(), false);
        UpdateButtons();
    }

    void UpdateButtons() {
        addButton->SetEnabled(detailList->ItemIndex() >= 0 && masterList->ItemIndex() >= 0);
        deleteButton->SetEnabled(bindList->SelCount() > 0);
        clearButton->SetEnabled(bindList->Items()->Count() > 0);
    }

    void Add() {
        const int d = detailList->ItemIndex();
        const int m = masterList->ItemIndex();
        bindList->Items()->Add(detailList->Items()->Strings(d) + " -> " + masterList->Items()->Strings(m));
        detailList->Items()->Delete(d);
        masterList->Items()->Delete(m);
        UpdateButtons();
    }

    void Delete() {
        for (int i = bindList->Items()->Count() - 1; i >= 0; --i)
            if (bindList->Selected(i)) bindList->Items()->Delete(i);
        Refill(detailList, DetailFields(), true);
        Refill(masterList, MasterFields(), false);
        UpdateButtons();
    }

    void Clear() {
        bindList->Items()->Clear();
        Refill(detailList, DetailFields(), true);
        Refill(masterList, MasterFields(), false);
        UpdateButtons();
    }
};

} // namespace uitest

// The field link designer: the property editor base that runs it, the dialog's controls and the
// event handlers that join, separate and confirm pairs of detail and master fields.
#include "design/FieldLinkDesigner.h"

#include <memory>

#include "host/DataSource.h"
#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace corvane {

using namespace host;

namespace {

// The help topic of the dialog.
constexpr THelpContext kLinkFieldsHelpContext = 27140;

// The names of the dataset's fields; a dataset without field objects (closed, no persistent
// fields) answers with its field definitions, which SetDataSet brought up to date.
void GetDataSetFieldNames(TDataSet* dataSet, TStrings* list) {
    if (dataSet->FieldCount() > 0) {
        dataSet->GetFieldNames(list);
        return;
    }
    list->BeginUpdate();
    try {
        list->Clear();
        TFieldDefs* defs = dataSet->FieldDefs();
        for (int i = 0; i < defs->Count(); ++i)
            list->Add(defs->Items(i)->Name());
    } catch (...) {
        list->EndUpdate();
        throw;
    }
    list->EndUpdate();
}

std::vector<std::string> Texts(const TStrings* list) {
    std::vector<std::string> texts;
    texts.reserve(static_cast<size_t>(list->Count()));
    for (int i = 0; i < list->Count(); ++i)
        texts.push_back(list->Strings(i));
    return texts;
}

int PositionIn(const std::vector<std::string>& reference, const std::string& name) {
    for (size_t i = 0; i < reference.size(); ++i)
        if (SameText(reference[i], name)) return static_cast<int>(i);
    return -1;
}

// The index definition named name, or nullptr.
TIndexDef* FindIndexDef(TIndexDefs* defs, const std::string& name) {
    if (defs == nullptr) return nullptr;
    const int index = defs->IndexOf(name);
    return index < 0 ? nullptr : defs->Items(index);
}

// The name an index definition has in the index list.
std::string IndexListName(const TIndexDef& def) {
    if (def.Name().empty() && def.Options().Contains(ixPrimary)) return SPrimary;
    return def.Name();
}

// "a;b;c" with the final ';' removed.
void DropFinalSeparator(std::string& text) {
    if (!text.empty() && text.back() == ';') text.pop_back();
}

} // namespace

// ---- Pair items and list order

std::string LinkPairItem(const std::string& detail, const std::string& master) {
    return Format("%s -> %s", {detail, master});
}

std::string LinkPairDetail(const std::string& item) {
    const size_t arrow = item.rfind("->");
    if (arrow == std::string::npos) return item;
    const size_t end = arrow > 0 && item[arrow - 1] == ' ' ? arrow - 1 : arrow;
    return item.substr(0, end);
}

std::string LinkPairMaster(const std::string& item) {
    const size_t arrow = item.rfind("->");
    if (arrow == std::string::npos) return {};
    size_t start = arrow + 2;
    if (start < item.size() && item[start] == ' ') ++start;
    return item.substr(start);
}

void ReorderByReference(TStrings* list, const std::vector<std::string>& reference) {
    for (int i = 0; i < list->Count(); ++i) {
        int best = i;
        int bestPosition = PositionIn(reference, list->Strings(i));
        for (int j = i + 1; j < list->Count(); ++j) {
            const int position = PositionIn(reference, list->Strings(j));
            if (position < bestPosition) {
                best = j;
                bestPosition = position;
            }
        }
        if (best != i) list->Move(best, i);
    }
}

// ---- TmSQLFieldLinkProperty

TmSQLFieldLinkProperty::TmSQLFieldLinkProperty(TDesigner* designer, int propCount)
    : TStringProperty(designer, propCount) {}

TmSQLFieldLinkProperty::TmSQLFieldLinkProperty(TDesigner* designer, int propCount, TDataSet* dataSet)
    : TStringProperty(designer, propCount), fDataSet(dataSet) {}

TDataSet* TmSQLFieldLinkProperty::DataSet() const {
    if (fDataSet != nullptr) return fDataSet;
    auto* dataSet = PropCount() > 0 ? dynamic_cast<TDataSet*>(GetComponent(0)) : nullptr;
    if (dataSet == nullptr) throw EPropertyError(SInvalidPropertyValue);
    return dataSet;
}

bool TmSQLFieldLinkProperty::RunDesigner() {
    fChanged = EditMasterFields(DataSet(), this);
    return fChanged;
}

void TmSQLFieldLinkProperty::Edit() {
    if (RunDesigner()) Modified();
}

void TmSQLFieldLinkProperty::GetIndexNames(TStrings* list) {
    TIndexDefs* defs = GetIndexDefs();
    if (defs == nullptr) return;
    for (int i = 0; i < defs->Count(); ++i)
        list->Add(IndexListName(*defs->Items(i)));
}

void TmSQLFieldLinkProperty::GetFieldNamesForIndex(TStrings* /*list*/) {}

bool TmSQLFieldLinkProperty::GetIndexBased() {
    return false;
}

TIndexDefs* TmSQLFieldLinkProperty::GetIndexDefs() {
    return nullptr;
}

std::string TmSQLFieldLinkProperty::GetIndexFieldNames() {
    return {};
}

std::string TmSQLFieldLinkProperty::GetIndexName() {
    return {};
}

void TmSQLFieldLinkProperty::SetIndexFieldNames(const std::string& /*value*/) {}

void TmSQLFieldLinkProperty::SetIndexName(const std::string& /*value*/) {}

bool EditMasterFields(TDataSet* dataSet, TmSQLFieldLinkProperty* property) {
    auto dialog = std::make_unique<TLinkFields>(nullptr);
    dialog->SetProperty(property);
    dialog->SetDataSet(dataSet);
    return dialog->Edit();
}

// ---- TLinkFields: controls

namespace {

template <class C>
C* Place(C* control, TWinControl* parent, const char* name, int left, int top, int width, int height) {
    control->SetName(name);
    control->SetParent(parent);
    control->SetBounds(left, top, width, height);
    return control;
}

} // namespace

TLinkFields::TLinkFields(TComponent* owner) : TForm(owner) {
    BuildControls();
}

TLinkFields::~TLinkFields() = default;

void TLinkFields::BuildControls() {
    SetName("LinkFields");
    SetCaption("Field Link Designer");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetClientWidth(352);
    SetClientHeight(265);
    SetHelpContext(kLinkFieldsHelpContext);

    // Created in tab order: IndexList first, then the lists and buttons as they stand.
    IndexLabel = Place(new TLabel(this), this, "IndexLabel", 4, 10, 83, 13);
    IndexLabel->SetCaption("A&vailable Indexes");
    IndexList = Place(new TComboBox(this), this, "IndexList", 109, 7, 192, 21);
    IndexList->SetStyle(csDropDownList);
    IndexLabel->SetFocusControl(IndexList);
    Bevel1 = Place(new TBevel(this), this, "Bevel1", 4, 33, 343, 190);
    Label30 = Place(new TLabel(this), this, "Label30", 13, 40, 57, 13);
    Label30->SetCaption("D&etail Fields");
    DetailList = Place(new TListBox(this), this, "DetailList", 13, 55, 117, 69);
    Label30->SetFocusControl(DetailList);
    AddButton = Place(new TButton(this), this, "AddButton", 138, 74, 75, 25);
    AddButton->SetCaption("&Add");
    Label31 = Place(new TLabel(this), this, "Label31", 222, 38, 62, 13);
    Label31->SetCaption("&Master Fields");
    MasterList = Place(new TListBox(this), this, "MasterList", 222, 54, 117, 69);
    Label31->SetFocusControl(MasterList);
    Label2 = Place(new TLabel(this), this, "Label2", 12, 142, 61, 13);
    Label2->SetCaption("&Joined Fields");
    BindList = Place(new TListBox(this), this, "BindList", 12, 157, 242, 56);
    BindList->SetMultiSelect(true);
    Label2->SetFocusControl(BindList);
    DeleteButton = Place(new TButton(this), this, "DeleteButton", 263, 157, 75, 25);
    DeleteButton->SetCaption("&Delete");
    ClearButton = Place(new TButton(this), this, "ClearButton", 263, 188, 75, 25);
    ClearButton->SetCaption("&Clear");
    Button1 = Place(new TButton(this), this, "Button1", 100, 231, 75, 25);
    Button1->SetCaption("OK");
    Button1->SetDefault(true);
    Button1->SetModalResult(mrOk);
    Button2 = Place(new TButton(this), this, "Button2", 186, 231, 75, 25);
    Button2->SetCaption("Cancel");
    Button2->SetCancel(true);
    Button2->SetModalResult(mrCancel);
    Help = Place(new TButton(this), this, "Help", 272, 231, 75, 25);
    Help->SetCaption("&Help");
    // A second frame below the client area: part of the form, never seen.
    Bevel2 = Place(new TBevel(this), this, "Bevel2", 4, 280, 343, 2);
    Bevel2->SetShape(bsTopLine);
    IndexList->SetTabOrder(0);
    SetActiveControl(IndexList);

    IndexList->SetOnChange([this](TObject*) { IndexListChange(); });
    IndexList->SetOnClick([this](TObject*) { IndexListChange(); });
    DetailList->SetOnClick([this](TObject*) { BindingListClick(); });
    MasterList->SetOnClick([this](TObject*) { BindingListClick(); });
    BindList->SetOnClick([this](TObject*) { BindListClick(); });
    AddButton->SetOnClick([this](TObject*) { AddButtonClick(); });
    DeleteButton->SetOnClick([this](TObject*) { DeleteButtonClick(); });
    ClearButton->SetOnClick([this](TObject*) { ClearButtonClick(); });
    Button1->SetOnClick([this](TObject*) { OKClick(); });
    Help->SetOnClick([this](TObject*) { HelpClick(); });
}

// ---- TLinkFields: opening and confirming

void TLinkFields::SetDataSet(TDataSet* dataSet) {
    dataSet->FieldDefs()->Update();
    if (TIndexDefs* defs = fProperty->GetIndexDefs()) defs->Update();
    TDataSource* source = dataSet->DataSource();
    if (source == nullptr || source->DataSet() == nullptr) DatabaseError(SMissingDataSource);
    source->DataSet()->FieldDefs()->Update();
    fDataSet = dataSet;
    fMasterDataSet = source->DataSet();
}

bool TLinkFields::Edit() {
    Initialize();
    if (ShowModal() != mrOk) return false;
    if (!fIndexName.empty())
        fProperty->SetIndexName(fIndexName);
    else
        fProperty->SetIndexFieldNames(fIndexFieldNames);
    fProperty->SetMasterFields(fMasterFields);
    return true;
}

bool TLinkFields::IndexBased() {
    return fProperty->GetIndexBased();
}

void TLinkFields::Initialize() {
    TIndexDefs* defs = fProperty->GetIndexDefs();
    if (IndexBased()) {
        IndexList->Items()->Clear();
        fProperty->GetIndexNames(IndexList->Items());
        // The index in force: the one over the index field names, else the named one.
        std::string current;
        const std::string indexFields = fProperty->GetIndexFieldNames();
        if (!indexFields.empty()) {
            // No index over those fields: none is current.
            if (TIndexDef* def = defs != nullptr ? defs->GetIndexForFields(indexFields, false) : nullptr)
                current = IndexListName(*def);
        } else {
            current = fProperty->GetIndexName();
        }
        const int index = current.empty() ? -1 : IndexList->Items()->IndexOf(current);
        if (index >= 0)
            IndexList->SetItemIndex(index);
        else if (IndexList->Items()->Count() > 0)
            IndexList->SetItemIndex(0);
    } else {
        IndexLabel->SetVisible(false);
        IndexList->SetVisible(false);
    }

    const std::string masterText = fProperty->GetMasterFields();
    std::string detailText = fProperty->GetIndexFieldNames();
    if (detailText.empty()) {
        const std::string indexName = fProperty->GetIndexName();
        // An expression index's only detail candidate is its expression, so that is what its
        // pair was made with.
        if (TIndexDef* def = indexName.empty() ? nullptr : FindIndexDef(defs, indexName))
            detailText = def->Expression().empty() ? def->Fields() : def->Expression();
    }

    IndexListChange();

    GetDataSetFieldNames(fMasterDataSet, MasterList->Items());
    fFullMaster = Texts(MasterList->Items());

    // The pairs the dataset has now, as far as both of their fields are still candidates.
    size_t masterPos = 0;
    size_t detailPos = 0;
    while (masterPos < masterText.size() && detailPos < detailText.size()) {
        const std::string master = ExtractFieldName(masterText, masterPos);
        const std::string detail = ExtractFieldName(detailText, detailPos);
        const int masterIndex = MasterList->Items()->IndexOf(master);
        const int detailIndex = DetailList->Items()->IndexOf(detail);
        if (masterIndex < 0 || detailIndex < 0) continue;
        const std::string detailName = DetailList->Items()->Strings(detailIndex);
        const std::string masterName = MasterList->Items()->Strings(masterIndex);
        SetBound(detailName, true);
        DetailList->Items()->Delete(detailIndex);
        MasterList->Items()->Delete(masterIndex);
        BindList->Items()->Add(LinkPairItem(detailName, masterName));
        ClearButton->SetEnabled(true);
    }
}

void TLinkFields::OKClick() {
    fIndexName.clear();
    fMasterFields.clear();
    fIndexFieldNames.clear();
    if (IndexBased()) {
        // The joined detail fields must be the leading fields of the index.
        const TDetailEntry* firstUnbound = nullptr;
        for (const TDetailEntry& entry : fFullDetail) {
            if (!entry.bound) {
                if (firstUnbound == nullptr) firstUnbound = &entry;
                continue;
            }
            if (firstUnbound == nullptr) continue;
            const std::string name = firstUnbound->name;
            MessageDlg(Format(SLinkDesigner, {name}), mtError, {mbOK}, 0);
            SetModalResult(mrNone);
            const int index = DetailList->Items()->IndexOf(name);
            if (index >= 0) DetailList->SetItemIndex(index);
            return;
        }
        if (firstUnbound == nullptr) fIndexName = fProperty->GetIndexName();
    }
    for (int i = 0; i < BindList->Items()->Count(); ++i) {
        const std::string item = BindList->Items()->Strings(i);
        fMasterFields = Format("%s%s;", {fMasterFields, LinkPairMaster(item)});
        fIndexFieldNames = Format("%s%s;", {fIndexFieldNames, LinkPairDetail(item)});
    }
    DropFinalSeparator(fMasterFields);
    DropFinalSeparator(fIndexFieldNames);
}

// ---- TLinkFields: the lists and buttons

void TLinkFields::IndexListChange() {
    DetailList->Items()->Clear();
    if (IndexBased()) {
        fProperty->SetIndexName(IndexList->Text());
        const std::string indexName = fProperty->GetIndexName();
        TIndexDef* def = indexName.empty() ? nullptr : FindIndexDef(fProperty->GetIndexDefs(), indexName);
        if (def != nullptr && !def->Expression().empty())
            DetailList->Items()->Add(def->Expression());
        else
            fProperty->GetFieldNamesForIndex(DetailList->Items());
    } else {
        GetDataSetFieldNames(fDataSet, DetailList->Items());
    }
    MasterList->Items()->Clear();
    for (const std::string& name : fFullMaster)
        MasterList->Items()->Add(name);
    fFullDetail.clear();
    for (int i = 0; i < DetailList->Items()->Count(); ++i)
        fFullDetail.push_back(TDetailEntry{DetailList->Items()->Strings(i), false});
    BindList->Items()->Clear();
    AddButton->SetEnabled(false);
    ClearButton->SetEnabled(false);
    DeleteButton->SetEnabled(false);
    MasterList->SetItemIndex(-1);
}

void TLinkFields::BindingListClick() {
    AddButton->SetEnabled(DetailList->SelCount() > 0 && MasterList->SelCount() > 0);
}

void TLinkFields::BindListClick() {
    DeleteButton->SetEnabled(BindList->SelCount() > 0);
}

void TLinkFields::AddButtonClick() {
    const int detailIndex = DetailList->ItemIndex();
    const int masterIndex = MasterList->ItemIndex();
    if (detailIndex < 0 || masterIndex < 0) return;
    const std::string detail = DetailList->Items()->Strings(detailIndex);
    const std::string master = MasterList->Items()->Strings(masterIndex);
    // The joined list keeps the order of the detail candidates.
    const int position = DetailIndex(detail);
    int insertAt = BindList->Items()->Count();
    for (int i = 0; i < BindList->Items()->Count(); ++i) {
        if (DetailIndex(LinkPairDetail(BindList->Items()->Strings(i))) > position) {
            insertAt = i;
            break;
        }
    }
    BindList->Items()->Insert(insertAt, LinkPairItem(detail, master));
    SetBound(detail, true);
    DetailList->Items()->Delete(detailIndex);
    MasterList->Items()->Delete(masterIndex);
    ClearButton->SetEnabled(true);
    AddButton->SetEnabled(false);
}

void TLinkFields::DeleteButtonClick() {
    TStrings* pairs = BindList->Items();
    for (int i = pairs->Count() - 1; i >= 0; --i) {
        if (!BindList->Selected(i)) continue;
        const std::string item = pairs->Strings(i);
        const std::string detail = LinkPairDetail(item);
        DetailList->Items()->Add(detail);
        MasterList->Items()->Add(LinkPairMaster(item));
        SetBound(detail, false);
        pairs->Delete(i);
    }
    if (pairs->Count() > 0) BindList->SetItemIndex(0);
    DeleteButton->SetEnabled(pairs->Count() > 0);
    ClearButton->SetEnabled(pairs->Count() > 0);
    OrderLikeDetails(DetailList->Items());
    DetailList->SetItemIndex(-1);
    OrderLikeMasters(MasterList->Items());
    MasterList->SetItemIndex(-1);
    AddButton->SetEnabled(false);
}

void TLinkFields::ClearButtonClick() {
    TStrings* pairs = BindList->Items();
    for (int i = 0; i < pairs->Count(); ++i)
        DetailList->Items()->Add(LinkPairDetail(pairs->Strings(i)));
    pairs->Clear();
    ClearButton->SetEnabled(false);
    DeleteButton->SetEnabled(false);
    OrderLikeDetails(DetailList->Items());
    DetailList->SetItemIndex(-1);
    MasterList->Items()->Clear();
    for (const std::string& name : fFullMaster)
        MasterList->Items()->Add(name);
    MasterList->SetItemIndex(-1);
    for (TDetailEntry& entry : fFullDetail)
        entry.bound = false;
    AddButton->SetEnabled(false);
}

void TLinkFields::HelpClick() {
    ShowHelpContext(HelpContext());
}

int TLinkFields::DetailIndex(const std::string& name) const {
    for (size_t i = 0; i < fFullDetail.size(); ++i)
        if (SameText(fFullDetail[i].name, name)) return static_cast<int>(i);
    return -1;
}

void TLinkFields::SetBound(const std::string& detail, bool bound) {
    const int index = DetailIndex(detail);
    if (index >= 0) fFullDetail[static_cast<size_t>(index)].bound = bound;
}

void TLinkFields::OrderLikeDetails(TStrings* list) const {
    std::vector<std::string> reference;
    reference.reserve(fFullDetail.size());
    for (const TDetailEntry& entry : fFullDetail)
        reference.push_back(entry.name);
    ReorderByReference(list, reference);
}

void TLinkFields::OrderLikeMasters(TStrings* list) const {
    ReorderByReference(list, fFullMaster);
}

} // namespace corvane

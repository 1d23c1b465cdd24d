// The field link designer (unit mSQLfldlinks): the dialog TLinkFields that pairs detail fields
// with master fields of a master/detail link, and the property editor base TmSQLFieldLinkProperty
// through which the dialog reads and writes the detail dataset's index choice and master fields.
//
// The dialog is a headless host form: its whole behaviour lives in the event handlers of its
// controls, so it runs the same in a test that clicks the model and in a real window that mirrors
// it (ui/). Lists of field names are texts with ';' between the names; a pair in the joined list
// reads "detail -> master".
#pragma once

#include <string>
#include <vector>

#include "host/DataSet.h"
#include "host/Designer.h"
#include "host/Forms.h"
#include "host/IndexDefs.h"
#include "host/Strings.h"

namespace corvane {

class TLinkFields;

// Base of the editors of a detail dataset's master fields: Edit runs the field link designer.
// A descendant answers the index questions for its kind of dataset; this base answers "not index
// based, no indexes" and ignores the index setters.
class TmSQLFieldLinkProperty : public host::TStringProperty {
public:
    // The detail dataset is the first component being edited.
    TmSQLFieldLinkProperty(host::TDesigner* designer, int propCount);
    // The detail dataset is dataSet.
    TmSQLFieldLinkProperty(host::TDesigner* designer, int propCount, host::TDataSet* dataSet);

    host::TPropertyAttributes GetAttributes() override { return {host::paDialog}; }
    // Runs the designer on the detail dataset; a confirmed dialog sets Changed and tells the
    // designer that the property was modified.
    void Edit() override;

    // The names of GetIndexDefs in order: SPrimary for an unnamed primary index, else the name.
    void GetIndexNames(host::TStrings* list);

    // The detail dataset (EPropertyError when it is none).
    host::TDataSet* DataSet() const;
    // Whether the last Edit was confirmed.
    bool Changed() const { return fChanged; }

    // ---- what the dialog asks and tells
    // The display names of the fields of the index in force, in order; base: nothing.
    virtual void GetFieldNamesForIndex(host::TStrings* list);
    // Whether the detail fields are restricted to the fields of an index; base: false.
    virtual bool GetIndexBased();
    // The detail dataset's index definitions; base: none.
    virtual host::TIndexDefs* GetIndexDefs();
    virtual std::string GetIndexFieldNames();
    virtual std::string GetIndexName();
    virtual std::string GetMasterFields() = 0;
    virtual void SetIndexFieldNames(const std::string& value);
    virtual void SetIndexName(const std::string& value);
    virtual void SetMasterFields(const std::string& value) = 0;

protected:
    // Runs the dialog on the detail dataset and stores the answer as Changed, without telling the
    // designer (a descendant that must apply the result first tells it itself).
    bool RunDesigner();

private:
    host::TDataSet* fDataSet = nullptr;
    bool fChanged = false;
};

// The dialog. Every control keeps the name, place, caption and tab order the designer's users
// know; the form is built in code.
class TLinkFields : public host::TForm {
public:
    explicit TLinkFields(host::TComponent* owner);
    ~TLinkFields() override;

    // The property editor served (read and told through its virtual operations).
    void SetProperty(TmSQLFieldLinkProperty* property) { fProperty = property; }
    // Refreshes the field definitions of dataSet and of its master and the property's index
    // definitions; SMissingDataSource when dataSet has no master source or that source no dataset.
    void SetDataSet(host::TDataSet* dataSet);
    // Initialize, then the dialog modally. OK hands the index choice (index name, else index field
    // names) and the master fields to the property and answers true; anything else answers false.
    bool Edit();

    // Fills the lists from the property and the two datasets and re-creates the existing pairs.
    void Initialize();

    // The results of the last confirmation.
    const std::string& IndexNameResult() const { return fIndexName; }
    const std::string& MasterFieldsResult() const { return fMasterFields; }
    const std::string& IndexFieldNamesResult() const { return fIndexFieldNames; }

    // The controls (owned by the form).
    host::TLabel* IndexLabel;
    host::TComboBox* IndexList;
    host::TBevel* Bevel1;
    host::TLabel* Label30;
    host::TListBox* DetailList;
    host::TButton* AddButton;
    host::TLabel* Label31;
    host::TListBox* MasterList;
    host::TLabel* Label2;
    host::TListBox* BindList;
    host::TButton* DeleteButton;
    host::TButton* ClearButton;
    host::TButton* Button1;
    host::TButton* Button2;
    host::TButton* Help;
    host::TBevel* Bevel2;

private:
    // One candidate detail field and whether it is joined.
    struct TDetailEntry {
        std::string name;
        bool bound = false;
    };

    void BuildControls();
    bool IndexBased();
    // A new index is chosen: the detail candidates are the index's fields; no pairs.
    void IndexListChange();
    // Add is possible exactly when a detail and a master field are selected.
    void BindingListClick();
    void BindListClick();
    void AddButtonClick();
    void DeleteButtonClick();
    void ClearButtonClick();
    void HelpClick();
    // Checks the pairs against the index (a gap keeps the dialog open) and builds the results.
    void OKClick();

    // Position of name in the full detail list (ignoring case), -1 when absent.
    int DetailIndex(const std::string& name) const;
    void SetBound(const std::string& detail, bool bound);
    void OrderLikeDetails(host::TStrings* list) const;
    void OrderLikeMasters(host::TStrings* list) const;

    TmSQLFieldLinkProperty* fProperty = nullptr;
    host::TDataSet* fDataSet = nullptr;
    host::TDataSet* fMasterDataSet = nullptr;
    std::string fIndexName;
    std::string fMasterFields;
    std::string fIndexFieldNames;
    std::vector<TDetailEntry> fFullDetail;
    std::vector<std::string> fFullMaster;
};

// A pair item of the joined list: "detail -> master".
std::string LinkPairItem(const std::string& detail, const std::string& master);
// The detail part of a pair item: the text before the last "->", less the blank in front of it.
std::string LinkPairDetail(const std::string& item);
// The master part: the text after the last "->" and the blank that follows it.
std::string LinkPairMaster(const std::string& item);

// Reorders list in place by reference: each position, from the first, takes the entry from there
// on whose position in reference is smallest (a name not in reference counts as -1; ties keep the
// first).
void ReorderByReference(host::TStrings* list, const std::vector<std::string>& reference);

// Runs the field link designer for dataSet with property; true when the user confirmed.
bool EditMasterFields(host::TDataSet* dataSet, TmSQLFieldLinkProperty* property);

} // namespace corvane

// The published properties of the host framework's own streamable classes: components,
// datasets, fields, data sources, parameters and field/index definitions.
#include "host/DB.h"
#include "host/Forms.h"
#include "host/Streaming.h"

namespace host {

namespace {

std::vector<std::string> FieldTypeIdents() {
    return {"ftUnknown",    "ftString",     "ftSmallint", "ftInteger",     "ftWord",      "ftBoolean",
            "ftFloat",      "ftCurrency",   "ftBCD",      "ftDate",        "ftTime",      "ftDateTime",
            "ftBytes",      "ftVarBytes",   "ftAutoInc",  "ftBlob",        "ftMemo",      "ftGraphic",
            "ftFmtMemo",    "ftParadoxOle", "ftDBaseOle", "ftTypedBinary", "ftCursor",    "ftFixedChar",
            "ftWideString", "ftLargeint",   "ftADT",      "ftArray",       "ftReference", "ftDataSet",
            "ftOraBlob",    "ftOraClob",    "ftVariant",  "ftInterface",   "ftIDispatch", "ftGuid"};
}

bool Never(TPersistent*) {
    return false;
}

void RegisterFields(TClassRegistry& r) {
    r.Register<TField>("TField", "TComponent")
        .Enum("Alignment", {"taLeftJustify", "taRightJustify", "taCenter"}, &TField::Alignment,
              &TField::SetAlignment, taLeftJustify)
        .String("CustomConstraint", &TField::CustomConstraint, &TField::SetCustomConstraint)
        .String("ConstraintErrorMessage", &TField::ConstraintErrorMessage, &TField::SetConstraintErrorMessage)
        .String("DefaultExpression", &TField::DefaultExpression, &TField::SetDefaultExpression)
        .String("DisplayLabel", &TField::DisplayLabel, &TField::SetDisplayLabel)
        .Enum("FieldKind", {"fkData", "fkCalculated", "fkLookup", "fkInternalCalc", "fkAggregate"},
              &TField::FieldKind, &TField::SetFieldKind, fkData)
        .String("FieldName", &TField::FieldName, &TField::SetFieldName)
        .String("ImportedConstraint", &TField::ImportedConstraint, &TField::SetImportedConstraint)
        .String("KeyFields", &TField::KeyFields, &TField::SetKeyFields)
        .Boolean("LookupCache", &TField::LookupCache, &TField::SetLookupCache, false)
        .Component("LookupDataSet", &TField::LookupDataSet, &TField::SetLookupDataSet)
        .Type("TDataSet")
        .String("LookupKeyFields", &TField::LookupKeyFields, &TField::SetLookupKeyFields)
        .String("LookupResultField", &TField::LookupResultField, &TField::SetLookupResultField)
        .String("Origin", &TField::Origin, &TField::SetOrigin)
        .Set("ProviderFlags", {"pfInUpdate", "pfInWhere", "pfInKey", "pfHidden"}, &TField::ProviderFlags,
             &TField::SetProviderFlags, TProviderFlags{pfInWhere, pfInUpdate})
        .Boolean("ReadOnly", &TField::ReadOnly, &TField::SetReadOnly, false)
        .Boolean("Required", &TField::Required, &TField::SetRequired, false)
        .Boolean("Visible", &TField::Visible, &TField::SetVisible, true)
        // Older forms: read, never written (FieldKind carries the same information).
        .Boolean("Calculated", &TField::Calculated, &TField::SetCalculated)
        .Stored(Never)
        .Boolean("Lookup", &TField::Lookup, &TField::SetLookup)
        .Stored(Never)
        .String(
            "AttributeSet", [](TField*) { return std::string(); }, [](TField*, const std::string&) {})
        .Stored(Never);
    r.Register<TStringField>("TStringField", "TField")
        .Boolean("FixedChar", &TStringField::FixedChar, &TStringField::SetFixedChar, false)
        .Integer("Size", &TStringField::Size, &TStringField::SetSize, 20)
        .Boolean("Transliterate", &TStringField::Transliterate, &TStringField::SetTransliterate, true);
    r.Register<TNumericField>("TNumericField", "TField")
        .Enum("Alignment", {"taLeftJustify", "taRightJustify", "taCenter"}, &TField::Alignment,
              &TField::SetAlignment, taRightJustify);
    r.Register<TIntegerField>("TIntegerField", "TNumericField")
        .Integer("MaxValue", &TIntegerField::MaxValue, &TIntegerField::SetMaxValue, 0)
        .Integer("MinValue", &TIntegerField::MinValue, &TIntegerField::SetMinValue, 0);
    r.Register<TSmallintField>("TSmallintField", "TIntegerField");
    r.Register<TWordField>("TWordField", "TIntegerField");
    r.Register<TAutoIncField>("TAutoIncField", "TIntegerField");
    r.Register<TLargeintField>("TLargeintField", "TNumericField");
    r.Register<TFloatField>("TFloatField", "TNumericField")
        .Boolean("Currency", &TFloatField::Currency, &TFloatField::SetCurrency, false)
        .Float("MaxValue", &TFloatField::MaxValue, &TFloatField::SetMaxValue)
        .Float("MinValue", &TFloatField::MinValue, &TFloatField::SetMinValue)
        .Integer("Precision", &TFloatField::Precision, &TFloatField::SetPrecision, 15);
    r.Register<TCurrencyField>("TCurrencyField", "TFloatField")
        .Boolean("Currency", &TCurrencyField::Currency, &TCurrencyField::SetCurrency, true);
    r.Register<TBooleanField>("TBooleanField", "TField");
    r.Register<TDateTimeField>("TDateTimeField", "TField");
    r.Register<TDateField>("TDateField", "TDateTimeField");
    r.Register<TTimeField>("TTimeField", "TDateTimeField");
    r.Register<TBCDField>("TBCDField", "TNumericField")
        .Integer("Size", &TBCDField::Size, &TBCDField::SetSize, 4);
    r.Register<TBinaryField>("TBinaryField", "TField");
    r.Register<TBytesField>("TBytesField", "TBinaryField")
        .Integer("Size", &TBytesField::Size, &TBytesField::SetSize, 16);
    r.Register<TVarBytesField>("TVarBytesField", "TBytesField");
    r.Register<TBlobField>("TBlobField", "TField")
        .Integer("Size", &TBlobField::Size, &TBlobField::SetSize, 0);
    r.Register<TMemoField>("TMemoField", "TBlobField");
    r.Register<TGraphicField>("TGraphicField", "TBlobField");
}

void RegisterForms(TClassRegistry& r) {
    r.Register<TControl>("TControl", "TComponent")
        .Integer("Left", &TControl::Left, &TControl::SetLeft)
        .Integer("Top", &TControl::Top, &TControl::SetTop)
        .Integer("Width", &TControl::Width, &TControl::SetWidth)
        .Integer("Height", &TControl::Height, &TControl::SetHeight)
        .String("Caption", &TControl::Caption, &TControl::SetCaption)
        .Boolean("Enabled", &TControl::Enabled, &TControl::SetEnabled, true)
        .Integer("HelpContext", &TControl::HelpContext, &TControl::SetHelpContext)
        .Boolean("Visible", &TControl::Visible, &TControl::SetVisible, true);
    r.Register<TWinControl>("TWinControl", "TControl")
        .Integer("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, -1)
        .Boolean("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, true);
    r.Register<TLabel>("TLabel", "TControl")
        .Component("FocusControl", &TLabel::FocusControl, &TLabel::SetFocusControl);
    r.Register<TBevel>("TBevel", "TControl")
        .Enum("Shape",
              {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"},
              &TBevel::Shape, &TBevel::SetShape, bsBox);
    r.Register<TButton>("TButton", "TWinControl")
        .Boolean("Cancel", &TButton::Cancel, &TButton::SetCancel, false)
        .Boolean("Default", &TButton::Default, &TButton::SetDefault, false)
        .Integer("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, mrNone);
    r.Register<TComboBox>("TComboBox", "TWinControl")
        .Enum("Style", {"csDropDown", "csSimple", "csDropDownList"}, &TComboBox::Style, &TComboBox::SetStyle,
              csDropDown)
        .Strings("Items", &TComboBox::Items)
        .String("Text", &TComboBox::Text, &TComboBox::SetText);
    r.Register<TListBox>("TListBox", "TWinControl")
        .Strings("Items", &TListBox::Items)
        .Boolean("MultiSelect", &TListBox::MultiSelect, &TListBox::SetMultiSelect, false);
    r.Register<TForm>("TForm", "TWinControl")
        .Boolean("Visible", &TForm::Visible, &TForm::SetVisible, false)
        .Component("ActiveControl", &TForm::ActiveControl, &TForm::SetActiveControl)
        .Enum("BorderStyle",
              {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"},
              &TForm::BorderStyle, &TForm::SetBorderStyle, bsSizeable)
        .Integer("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth)
        .Integer("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight)
        .Enum("Position",
              {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter"},
              &TForm::Position, &TForm::SetPosition, poDesigned);
}

} // namespace

void RegisterHostStreamClasses(TClassRegistry& r) {
    r.Register<TPersistent>("TPersistent", "");
    r.Register<TComponent>("TComponent", "TPersistent")
        .Integer("Tag", &TComponent::Tag, &TComponent::SetTag, 0);
    r.Register<TCollectionItem>("TCollectionItem", "TPersistent");
    r.Register<TStrings>("TStrings", "TPersistent");
    r.Register<TStringList>("TStringList", "TStrings");

    r.Register<TDataSet>("TDataSet", "TComponent")
        .Boolean("Active", &TDataSet::Active, &TDataSet::SetActive, false)
        .Boolean("AutoCalcFields", &TDataSet::AutoCalcFields, &TDataSet::SetAutoCalcFields, true)
        .String("Filter", &TDataSet::Filter, &TDataSet::SetFilter)
        .Boolean("Filtered", &TDataSet::Filtered, &TDataSet::SetFiltered, false)
        .Set("FilterOptions", {"foCaseInsensitive", "foNoPartialCompare"}, &TDataSet::FilterOptions,
             &TDataSet::SetFilterOptions, TFilterOptions{})
        .Boolean("ObjectView", &TDataSet::ObjectView, &TDataSet::SetObjectView, false);

    r.Register<TDataSource>("TDataSource", "TComponent")
        .Boolean("AutoEdit", &TDataSource::AutoEdit, &TDataSource::SetAutoEdit, true)
        .Component("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet)
        .Type("TDataSet")
        .Boolean("Enabled", &TDataSource::Enabled, &TDataSource::SetEnabled, true);

    RegisterFields(r);
    RegisterForms(r);

    r.Register<TParam>("TParam", "TCollectionItem")
        .Enum("DataType", FieldTypeIdents(), &TParam::DataType, &TParam::SetDataType, ftUnknown)
        .Integer("Precision", &TParam::Precision, &TParam::SetPrecision, 0)
        .Integer("NumericScale", &TParam::NumericScale, &TParam::SetNumericScale, 0)
        .String("Name", &TParam::Name, &TParam::SetName)
        .Enum("ParamType", {"ptUnknown", "ptInput", "ptOutput", "ptInputOutput", "ptResult"},
              &TParam::ParamType, &TParam::SetParamType, ptUnknown)
        .Integer("Size", &TParam::Size, &TParam::SetSize, 0)
        .VariantValue("Value", &TParam::Value, &TParam::SetValue)
        .Stored(&TParam::Bound);

    r.Register<TNamedItem>("TNamedItem", "TCollectionItem")
        .String("Name", &TNamedItem::Name, &TNamedItem::SetName);
    r.Register<TFieldDef>("TFieldDef", "TNamedItem")
        .Set("Attributes", {"faHiddenCol", "faReadonly", "faRequired", "faLink", "faUnNamed", "faFixed"},
             &TFieldDef::Attributes, &TFieldDef::SetAttributes, TFieldAttributes{})
        .Enum("DataType", FieldTypeIdents(), &TFieldDef::DataType, &TFieldDef::SetDataType, ftUnknown)
        .Integer("Precision", &TFieldDef::Precision, &TFieldDef::SetPrecision, 0)
        .Integer("Size", &TFieldDef::Size, &TFieldDef::SetSize, 0);
    r.Register<TIndexDef>("TIndexDef", "TNamedItem")
        .String("CaseInsFields", &TIndexDef::CaseInsFields, &TIndexDef::SetCaseInsFields)
        .String("DescFields", &TIndexDef::DescFields, &TIndexDef::SetDescFields)
        .String("Expression", &TIndexDef::Expression, &TIndexDef::SetExpression)
        .String("Fields", &TIndexDef::Fields, &TIndexDef::SetFields)
        .Set(
            "Options",
            {"ixPrimary", "ixUnique", "ixDescending", "ixCaseInsensitive", "ixExpression", "ixNonMaintained"},
            &TIndexDef::Options, &TIndexDef::SetOptions, TIndexOptions{})
        .String("Source", &TIndexDef::Source, &TIndexDef::SetSource);
}

} // namespace host

// Component streaming: form text written from a component tree and read back, the loading
// protocol (state flags, references, Loaded order), DefineProperties, datasets with persistent
// fields and parameters, and read errors naming the property and the line.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MemDataSet.h"
#include "host/Streaming.h"

namespace {

using namespace host;

std::vector<std::string>* gLog = nullptr; // Loaded and setter observations of the current test

class TGadget : public TCollectionItem {
public:
    explicit TGadget(TCollection* c) : TCollectionItem(c) {}
    int Width() const { return fWidth; }
    void SetWidth(int v) { fWidth = v; }
    const std::string& Title() const { return fTitle; }
    void SetTitle(const std::string& v) { fTitle = v; }

private:
    int fWidth = 0;
    std::string fTitle;
};

// A component with one property of every kind; widgets nest inside their parent widget.
class TWidget : public TComponent {
public:
    explicit TWidget(TComponent* owner)
        : TComponent(owner), fGadgets(this, ItemClassOf<TGadget>()), fLines(std::make_unique<TStringList>()) {
    }

    int Count() const { return fCount; }
    void SetCount(int v) {
        if (v < 0) throw EInvalidOperation("Count must not be negative");
        fCount = v;
        if (gLog != nullptr) {
            const auto state = ComponentState();
            gLog->push_back(Name() + ".SetCount reading=" + std::to_string(state.Contains(csReading)) +
                            " loading=" + std::to_string(state.Contains(csLoading)));
        }
    }
    const std::string& Caption() const { return fCaption; }
    void SetCaption(const std::string& v) { fCaption = v; }
    bool Enabled() const { return fEnabled; }
    void SetEnabled(bool v) { fEnabled = v; }
    double Ratio() const { return fRatio; }
    void SetRatio(double v) { fRatio = v; }
    TAlignment Align() const { return fAlign; }
    void SetAlign(TAlignment v) { fAlign = v; }
    TFilterOptions Options() const { return fOptions; }
    void SetOptions(TFilterOptions v) { fOptions = v; }
    TStringList* Lines() const { return fLines.get(); }
    TOwnedCollection* Gadgets() { return &fGadgets; }
    TWidget* Buddy() const { return fBuddy; }
    void SetBuddy(TWidget* v) {
        if (fBuddy != nullptr) fBuddy->RemoveFreeNotification(this);
        fBuddy = v;
        if (fBuddy != nullptr) fBuddy->FreeNotification(this);
    }
    const std::string& Blob() const { return fBlob; }
    void SetBlob(const std::string& v) { fBlob = v; }
    const Variant& Extra() const { return fExtra; }
    void SetExtra(const Variant& v) { fExtra = v; }

    // Defined (not published) data: a binary block and a list of numbers.
    std::string hidden;
    std::vector<int> numbers;

    TWidget* ParentWidget() const { return fParent; }
    void SetParentWidget(TWidget* p) { fParent = p; }
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override { return fParent; }
    void SetParentComponent(TComponent* parent) override { fParent = dynamic_cast<TWidget*>(parent); }
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override {
        for (int i = 0; i < root->ComponentCount(); ++i)
            if (auto* w = dynamic_cast<TWidget*>(root->Components(i)); w != nullptr && w->fParent == this)
                proc(w);
    }

    void Loaded() override {
        TComponent::Loaded();
        if (gLog != nullptr)
            gLog->push_back(Name() + ".Loaded buddy=" + (fBuddy != nullptr ? fBuddy->Name() : "none") +
                            " caption=" + fCaption);
    }

protected:
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == opRemove && component == fBuddy) fBuddy = nullptr;
    }
    void DefineProperties(TFiler* filer) override {
        filer->DefineBinaryProperty(
            "Hidden",
            [this](TStream& s) {
                hidden.assign(static_cast<size_t>(s.Size()), '\0');
                s.ReadBuffer(hidden.data(), s.Size());
            },
            [this](TStream& s) { s.WriteBuffer(hidden.data(), static_cast<int64_t>(hidden.size())); },
            !hidden.empty());
        filer->DefineProperty(
            "Numbers",
            [this](TReader& r) {
                numbers.clear();
                r.ReadListBegin();
                while (!r.EndOfList())
                    numbers.push_back(r.ReadInteger());
                r.ReadListEnd();
            },
            [this](TWriter& w) {
                w.WriteListBegin();
                for (int n : numbers)
                    w.WriteInteger(n);
                w.WriteListEnd();
            },
            !numbers.empty());
    }

private:
    int fCount = 0;
    std::string fCaption;
    bool fEnabled = true;
    double fRatio = 0;
    TAlignment fAlign = taLeftJustify;
    TFilterOptions fOptions;
    TOwnedCollection fGadgets;
    std::unique_ptr<TStringList> fLines;
    TWidget* fBuddy = nullptr;
    std::string fBlob;
    Variant fExtra;
    TWidget* fParent = nullptr;
};

// A component streaming parameters the way a query does ("ParamData").
class TParamHolder : public TComponent {
public:
    explicit TParamHolder(TComponent* owner) : TComponent(owner), params(this) {}
    TParams params;

protected:
    void DefineProperties(TFiler* filer) override {
        filer->DefineProperty(
            "ParamData",
            [this](TReader& r) {
                r.ReadValue();
                r.ReadCollection(&params);
            },
            [this](TWriter& w) { w.WriteCollection(&params); }, params.Count() > 0);
    }
};

void RegisterTestClasses() {
    RegisterClass<TGadget>("TGadget", "TCollectionItem")
        .Integer("Width", &TGadget::Width, &TGadget::SetWidth)
        .String("Title", &TGadget::Title, &TGadget::SetTitle);
    RegisterClass<TWidget>("TWidget", "TComponent")
        .Integer("Count", &TWidget::Count, &TWidget::SetCount)
        .String("Caption", &TWidget::Caption, &TWidget::SetCaption)
        .Boolean("Enabled", &TWidget::Enabled, &TWidget::SetEnabled, true)
        .Float("Ratio", &TWidget::Ratio, &TWidget::SetRatio)
        .Enum("Align", {"taLeftJustify", "taRightJustify", "taCenter"}, &TWidget::Align, &TWidget::SetAlign,
              taLeftJustify)
        .Set("Options", {"foCaseInsensitive", "foNoPartialCompare"}, &TWidget::Options, &TWidget::SetOptions,
             TFilterOptions{})
        .Strings("Lines", &TWidget::Lines)
        .Collection("Gadgets", &TWidget::Gadgets)
        .Component("Buddy", &TWidget::Buddy, &TWidget::SetBuddy)
        .Binary("Blob", &TWidget::Blob, &TWidget::SetBlob)
        .VariantValue("Extra", &TWidget::Extra, &TWidget::SetExtra);
    RegisterClass<TParamHolder>("TParamHolder", "TComponent");
    RegisterClass<hosttest::MemDataSet>("MemDataSet", "TDataSet");
    ClassRegistry().SetFactory("MemDataSet", [](TComponent* owner) -> TComponent* {
        return new hosttest::MemDataSet(owner, hosttest::StandardColumns());
    });
}

struct StreamingTest : ::testing::Test {
    std::vector<std::string> log;
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);

    void SetUp() override {
        RegisterTestClasses();
        gLog = &log;
    }
    void TearDown() override { gLog = nullptr; }

    std::string ReadError(const std::string& text) {
        try {
            std::unique_ptr<TComponent> root(ReadComponentFromText(text));
        } catch (const Exception& e) {
            return e.Message();
        }
        return "(no error)";
    }
};

// A tree with every property kind, nested widgets, a forward reference and defined properties.
TWidget* BuildTree(TComponent* owner) {
    auto* form = new TWidget(owner);
    form->SetName("Form1");
    form->SetCaption("Main 'form'\r\nline two");
    auto* panel = new TWidget(form);
    panel->SetName("Panel");
    panel->SetCount(-0 + 3);
    panel->SetRatio(0.1);
    panel->SetEnabled(false);
    panel->SetAlign(taCenter);
    panel->SetOptions({foCaseInsensitive, foNoPartialCompare});
    panel->Lines()->Add("first");
    panel->Lines()->Add("");
    panel->Lines()->Add("it's #3");
    auto* g1 = static_cast<TGadget*>(panel->Gadgets()->Add());
    g1->SetWidth(10);
    g1->SetTitle("one");
    static_cast<TGadget*>(panel->Gadgets()->Add())->SetWidth(-20);
    std::string blob;
    for (int i = 0; i < 70; ++i)
        blob += static_cast<char>(i * 37 % 256);
    panel->SetBlob(blob);
    panel->SetExtra(Null());
    panel->hidden = std::string("\x00\x01\xFFxyz", 6);
    panel->numbers = {1, -2, 300000};
    auto* button = new TWidget(form);
    button->SetName("Button");
    button->SetParentWidget(panel);
    button->SetCaption("OK");
    button->SetExtra(Variant(int32_t{42}));
    auto* status = new TWidget(form);
    status->SetName("Status");
    status->SetRatio(1e20);
    status->SetExtra(Variant("text"));
    panel->SetBuddy(status); // declared after Panel in the file
    status->SetBuddy(button);
    status->SetDesignInfo(static_cast<int32_t>((uint32_t{40} << 16) | 24));
    return form;
}

TEST_F(StreamingTest, ComponentTreeRoundTripsThroughFormText) {
    TWidget* form = BuildTree(owner.get());
    const std::string text = WriteComponentToText(form);

    std::unique_ptr<TComponent> copy(ReadComponentFromText(text));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(WriteComponentToText(copy.get()), text);

    auto* root = dynamic_cast<TWidget*>(copy.get());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Name(), "Form1");
    EXPECT_EQ(root->Caption(), "Main 'form'\r\nline two");
    auto* panel = dynamic_cast<TWidget*>(root->FindComponent("Panel"));
    auto* button = dynamic_cast<TWidget*>(root->FindComponent("Button"));
    auto* status = dynamic_cast<TWidget*>(root->FindComponent("Status"));
    ASSERT_TRUE(panel && button && status);
    EXPECT_EQ(panel->Count(), 3);
    EXPECT_DOUBLE_EQ(panel->Ratio(), 0.1);
    EXPECT_FALSE(panel->Enabled());
    EXPECT_EQ(panel->Align(), taCenter);
    EXPECT_EQ(panel->Options(), (TFilterOptions{foCaseInsensitive, foNoPartialCompare}));
    ASSERT_EQ(panel->Lines()->Count(), 3);
    EXPECT_EQ(panel->Lines()->Strings(2), "it's #3");
    ASSERT_EQ(panel->Gadgets()->Count(), 2);
    EXPECT_EQ(static_cast<TGadget*>(panel->Gadgets()->Items(0))->Title(), "one");
    EXPECT_EQ(static_cast<TGadget*>(panel->Gadgets()->Items(1))->Width(), -20);
    EXPECT_EQ(panel->Blob(), form->FindComponent("Panel")
                                 ? static_cast<TWidget*>(form->FindComponent("Panel"))->Blob()
                                 : std::string());
    EXPECT_TRUE(VarIsNull(panel->Extra()));
    EXPECT_EQ(panel->hidden, std::string("\x00\x01\xFFxyz", 6));
    EXPECT_EQ(panel->numbers, (std::vector<int>{1, -2, 300000}));
    EXPECT_EQ(panel->Buddy(), status);
    EXPECT_EQ(status->Buddy(), button);
    EXPECT_EQ(button->ParentWidget(), panel);
    EXPECT_EQ(button->Extra().AsInteger(), 42);
    EXPECT_EQ(status->Extra().AsString(), "text");
    EXPECT_DOUBLE_EQ(status->Ratio(), 1e20);
    EXPECT_EQ(status->DesignInfo(), form->FindComponent("Status")->DesignInfo());
    for (int i = 0; i < root->ComponentCount(); ++i)
        EXPECT_FALSE(root->Components(i)->ComponentState().Contains(csLoading))
            << root->Components(i)->Name();
}

TEST_F(StreamingTest, WriterUsesTheClassicTextLayoutAndSkipsDefaults) {
    auto* form = new TWidget(owner.get());
    form->SetName("Form1");
    auto* w = new TWidget(form);
    w->SetName("W");
    w->SetCount(7);
    w->SetCaption("a'b");
    w->SetRatio(2);
    w->SetAlign(taRightJustify);
    w->SetOptions({foNoPartialCompare});
    w->Lines()->Add("x");
    static_cast<TGadget*>(w->Gadgets()->Add())->SetTitle("g");
    w->SetBlob("\x01\xAB");
    w->SetTag(5);
    w->numbers = {4};
    EXPECT_EQ(WriteComponentToText(form), "object Form1: TWidget\n"
                                          "  object W: TWidget\n"
                                          "    Tag = 5\n"
                                          "    Count = 7\n"
                                          "    Caption = 'a''b'\n"
                                          "    Ratio = 2.0\n"
                                          "    Align = taRightJustify\n"
                                          "    Options = [foNoPartialCompare]\n"
                                          "    Lines.Strings = (\n"
                                          "      'x')\n"
                                          "    Gadgets = <\n"
                                          "      item\n"
                                          "        Title = 'g'\n"
                                          "      end>\n"
                                          "    Blob = {\n"
                                          "      01AB}\n"
                                          "    Numbers = (\n"
                                          "      4)\n"
                                          "  end\n"
                                          "end\n");
}

TEST_F(StreamingTest, ReaderAcceptsConcatenatedStringsHexNumbersAndUnnamedComponents) {
    std::unique_ptr<TComponent> root(ReadComponentFromText("object Form1: TWidget\n"
                                                           "  Caption = 'ab'#9'c' +\n"
                                                           "    'd'\n"
                                                           "  Count = $10\n"
                                                           "  Ratio = -1.5E2\n"
                                                           "  Options = []\n"
                                                           "  object TWidget\n"
                                                           "    Caption = 'anonymous'\n"
                                                           "  end\n"
                                                           "end\n"));
    auto* form = static_cast<TWidget*>(root.get());
    EXPECT_EQ(form->Caption(), "ab\tcd");
    EXPECT_EQ(form->Count(), 16);
    EXPECT_DOUBLE_EQ(form->Ratio(), -150.0);
    ASSERT_EQ(form->ComponentCount(), 1);
    EXPECT_EQ(static_cast<TWidget*>(form->Components(0))->Caption(), "anonymous");
}

TEST_F(StreamingTest, PropertiesAreSetWhileReadingAndLoadedRunsAfterTheWholeForm) {
    std::unique_ptr<TComponent> root(ReadComponentFromText("object Form1: TWidget\n"
                                                           "  Count = 1\n"
                                                           "  object A: TWidget\n"
                                                           "    Buddy = B\n"
                                                           "    Count = 2\n"
                                                           "    object Inner: TWidget\n"
                                                           "      Caption = 'in'\n"
                                                           "    end\n"
                                                           "  end\n"
                                                           "  object B: TWidget\n"
                                                           "    Buddy = Form1\n"
                                                           "    Caption = 'late'\n"
                                                           "  end\n"
                                                           "end\n"));
    EXPECT_EQ(log, (std::vector<std::string>{
                       "Form1.SetCount reading=1 loading=1", "A.SetCount reading=1 loading=1",
                       // Loaded: the root first, then each component in the order it finished
                       // (children before their parent); every reference is already resolved.
                       "Form1.Loaded buddy=none caption=", "Inner.Loaded buddy=none caption=in",
                       "A.Loaded buddy=B caption=", "B.Loaded buddy=Form1 caption=late"}));
    EXPECT_FALSE(root->ComponentState().Contains(csLoading));
    EXPECT_FALSE(root->ComponentState().Contains(csReading));
}

TEST_F(StreamingTest, ReadingIntoAnExistingRootReusesItsNamedComponents) {
    auto* form = new TWidget(owner.get());
    form->SetName("Form1");
    auto* a = new TWidget(form);
    a->SetName("A");
    TComponent* result = ReadComponentFromText("object Form1: TWidget\n"
                                               "  object A: TWidget\n"
                                               "    Count = 9\n"
                                               "  end\n"
                                               "  object C: TWidget\n"
                                               "  end\n"
                                               "end\n",
                                               form);
    EXPECT_EQ(result, form);
    EXPECT_EQ(form->ComponentCount(), 2);
    EXPECT_EQ(a->Count(), 9);
    EXPECT_NE(form->FindComponent("C"), nullptr);
}

TEST_F(StreamingTest, PropertyThatFailsToReadNamesThePropertyAndTheLine) {
    const std::string head = "object Form1: TWidget\n  object W: TWidget\n";
    EXPECT_EQ(ReadError(head + "    Count = 'abc'\n  end\nend\n"),
              "Error reading W.Count: Invalid property value on line 3");
    EXPECT_EQ(ReadError(head + "    Caption = 'x'\n    Nope = 1\n  end\nend\n"),
              "Error reading W.Nope: Property Nope does not exist on line 4");
    EXPECT_EQ(ReadError(head + "    Count = 9999999999\n  end\nend\n"),
              "Error reading W.Count: Invalid property value on line 3");
    EXPECT_EQ(ReadError(head + "    Count = -4\n  end\nend\n"),
              "Error reading W.Count: Count must not be negative on line 3");
    EXPECT_EQ(ReadError(head + "    Align = taNowhere\n  end\nend\n"),
              "Error reading W.Align: Invalid property value on line 3");
    EXPECT_EQ(ReadError(head + "    Gadgets = <\n      item\n        Width = 'w'\n      end>\n  end\nend\n"),
              "Error reading W.Gadgets[0].Width: Invalid property value on line 5");
    EXPECT_EQ(ReadError(head + "    Blob = 'text'\n  end\nend\n"),
              "Error reading W.Blob: Invalid property value on line 3");
    EXPECT_EQ(ReadError(head + "    Hidden = 12\n  end\nend\n"),
              "Error reading W.Hidden: Invalid property value on line 3");
    EXPECT_EQ(ReadError(head + "    Buddy = Ghost\n  end\nend\n"),
              "Error reading W.Buddy: Component 'Ghost' not found on line 3");
    EXPECT_EQ(ReadError(head + "    Caption = 'open\n  end\nend\n"),
              "Error reading W.Caption: Unterminated string on line 3");
}

TEST_F(StreamingTest, StructuralErrorsNameTheLine) {
    EXPECT_EQ(ReadError("object Form1: TWidget\n  object X: TNothing\n  end\nend\n"),
              "Class TNothing not found on line 2");
    EXPECT_EQ(ReadError("object Form1: TWidget\n  Count = 1\n"), "'end' expected on line 3");
    EXPECT_EQ(ReadError("thing Form1: TWidget\nend\n"), "'object' expected on line 1");
    EXPECT_THROW(ReadComponentFromText("object Form1: TNothing\nend\n"), EClassNotFound);
}

TEST_F(StreamingTest, FailedReadLeavesNoComponentInTheLoadingState) {
    auto* form = new TWidget(owner.get());
    form->SetName("Form1");
    EXPECT_THROW(ReadComponentFromText("object Form1: TWidget\n"
                                       "  object A: TWidget\n  end\n"
                                       "  object B: TWidget\n    Count = x\n  end\n"
                                       "end\n",
                                       form),
                 EReadError);
    EXPECT_TRUE(form->ComponentState().Empty());
    ASSERT_NE(form->FindComponent("A"), nullptr);
    EXPECT_TRUE(form->FindComponent("A")->ComponentState().Empty());
    // The component whose property failed was created by the reader and is gone again.
    EXPECT_EQ(form->FindComponent("B"), nullptr);
    EXPECT_TRUE(log.empty() || log.back().find("Loaded") == std::string::npos);
}

TEST_F(StreamingTest, FailingDataSetTakesItsAlreadyReadFieldsWithoutDanglingState) {
    auto* form = new TWidget(owner.get());
    form->SetName("Form1");
    EXPECT_THROW(ReadComponentFromText("object Form1: TWidget\n"
                                       "  object People: MemDataSet\n"
                                       "    object PeopleID: TIntegerField\n"
                                       "      FieldName = 'ID'\n"
                                       "    end\n"
                                       "    object PeopleBad: TIntegerField\n"
                                       "      Nope = 1\n"
                                       "    end\n"
                                       "  end\n"
                                       "end\n",
                                       form),
                 EReadError);
    EXPECT_EQ(form->FindComponent("People"), nullptr);
    EXPECT_EQ(form->FindComponent("PeopleBad"), nullptr);
    // The dataset frees its fields with it; a field that survives is out of the loading state.
    TComponent* id = form->FindComponent("PeopleID");
    EXPECT_TRUE(id == nullptr || !id->ComponentState().Contains(csLoading));
    EXPECT_FALSE(form->ComponentState().Contains(csLoading));
}

TEST_F(StreamingTest, DataSetWithPersistentFieldsOpensOnlyInLoaded) {
    auto* form = new TWidget(owner.get());
    form->SetName("Form1");
    auto* people = new hosttest::MemDataSet(form, hosttest::StandardColumns());
    people->SetName("People");
    auto* id = new TIntegerField(form);
    id->SetName("PeopleID");
    id->SetFieldName("ID");
    id->SetDataSet(people);
    auto* name = new TStringField(form);
    name->SetName("PeopleNAME");
    name->SetFieldName("NAME");
    name->SetDisplayLabel("Full name");
    name->SetDataSet(people);
    people->SetFilter("ID > 1");
    people->SetFilterOptions({foCaseInsensitive});
    auto* source = new TDataSource(form);
    source->SetName("Source");
    source->SetDataSet(people);
    people->Open();
    const std::string text = WriteComponentToText(form);
    EXPECT_NE(text.find("  object People: MemDataSet\n    Active = True\n    Filter = 'ID > 1'\n"
                        "    FilterOptions = [foCaseInsensitive]\n    object PeopleID: TIntegerField\n"
                        "      FieldName = 'ID'\n    end\n"),
              std::string::npos)
        << text;

    std::unique_ptr<TComponent> copy(ReadComponentFromText(text));
    auto* ds = dynamic_cast<hosttest::MemDataSet*>(copy->FindComponent("People"));
    ASSERT_NE(ds, nullptr);
    EXPECT_TRUE(ds->Active());
    EXPECT_FALSE(ds->DefaultFields());
    ASSERT_EQ(ds->FieldCount(), 2);
    EXPECT_EQ(ds->FieldByName("NAME")->DisplayLabel(), "Full name");
    EXPECT_EQ(ds->FieldByName("NAME")->Owner(), copy.get());
    EXPECT_EQ(static_cast<TDataSource*>(copy->FindComponent("Source"))->DataSet(), ds);
    EXPECT_EQ(WriteComponentToText(copy.get()), text);
}

TEST_F(StreamingTest, ParametersStreamAsACollectionThroughDefineProperty) {
    auto* holder = new TParamHolder(owner.get());
    holder->SetName("Query");
    holder->params.CreateParam(ftInteger, "ID", ptInput)->SetValue(Variant(int32_t{12}));
    holder->params.CreateParam(ftString, "NAME", ptInput)->SetValue(Null());
    holder->params.CreateParam(ftFloat, "UNBOUND", ptOutput);
    const std::string text = WriteComponentToText(holder);
    EXPECT_EQ(text, "object Query: TParamHolder\n"
                    "  ParamData = <\n"
                    "    item\n"
                    "      DataType = ftInteger\n"
                    "      Name = 'ID'\n"
                    "      ParamType = ptInput\n"
                    "      Value = 12\n"
                    "    end\n"
                    "    item\n"
                    "      DataType = ftString\n"
                    "      Name = 'NAME'\n"
                    "      ParamType = ptInput\n"
                    "      Value = Null\n"
                    "    end\n"
                    "    item\n"
                    "      DataType = ftFloat\n"
                    "      Name = 'UNBOUND'\n"
                    "      ParamType = ptOutput\n"
                    "    end>\n"
                    "end\n");
    std::unique_ptr<TComponent> copy(ReadComponentFromText(text));
    auto* read = static_cast<TParamHolder*>(copy.get());
    ASSERT_EQ(read->params.Count(), 3);
    EXPECT_EQ(read->params.ParamByName("ID")->AsInteger(), 12);
    EXPECT_TRUE(read->params.ParamByName("NAME")->Bound());
    EXPECT_TRUE(read->params.ParamByName("NAME")->IsNull());
    EXPECT_FALSE(read->params.ParamByName("UNBOUND")->Bound());
    EXPECT_EQ(read->params.ParamByName("UNBOUND")->ParamType(), ptOutput);
    EXPECT_TRUE(read->params.IsEqual(&holder->params));
}

TEST_F(StreamingTest, StreamFunctionsWriteAndReadTheSameText) {
    TWidget* form = BuildTree(owner.get());
    TMemoryStream stream;
    WriteComponentToStream(stream, form);
    stream.SetPosition(0);
    std::unique_ptr<TComponent> copy(ReadComponentFromStream(stream));
    EXPECT_EQ(WriteComponentToText(copy.get()), WriteComponentToText(form));
}

TEST_F(StreamingTest, OlderFieldPropertiesAreReadButNeverWritten) {
    std::unique_ptr<TComponent> root(ReadComponentFromText("object Form1: TWidget\n"
                                                           "  object Twice: TIntegerField\n"
                                                           "    FieldName = 'TWICE'\n"
                                                           "    Calculated = True\n"
                                                           "    AttributeSet = 'Money'\n"
                                                           "  end\n"
                                                           "end\n"));
    auto* field = static_cast<TField*>(root->FindComponent("Twice"));
    EXPECT_EQ(field->FieldKind(), fkCalculated);
    const std::string text = WriteComponentToText(root.get());
    EXPECT_NE(text.find("FieldKind = fkCalculated"), std::string::npos);
    EXPECT_EQ(text.find("Calculated ="), std::string::npos);
    EXPECT_EQ(text.find("AttributeSet"), std::string::npos);
}

TEST_F(StreamingTest, PropertiesAreReachableByNameAtRunTime) {
    auto* w = new TWidget(owner.get());
    SetPropValue(w, "caption", Variant("hello"));
    EXPECT_EQ(w->Caption(), "hello");
    EXPECT_EQ(GetPropValue(w, "Enabled").AsBoolean(), true);
    EXPECT_EQ(GetObjectProp(w, "Lines"), w->Lines());
    EXPECT_EQ(GetObjectProp(w, "Caption"), nullptr);
    EXPECT_EQ(GetPropInfo(w, "Buddy")->Kind, pkComponent);
    EXPECT_THROW(GetPropValue(w, "Missing"), EFilerError);
}

TEST_F(StreamingTest, RegistryFindsPropertiesAlongTheClassChain) {
    const TClassInfo& info = GetClass("tstringfield");
    EXPECT_EQ(info.Name(), "TStringField");
    ASSERT_NE(info.FindProperty("fieldname"), nullptr);
    EXPECT_EQ(info.FindProperty("Size")->Default.AsInteger(), 20);
    EXPECT_EQ(info.Properties().front()->Name, "Tag"); // inherited first
    EXPECT_EQ(FindClass("TNoSuchClass"), nullptr);
    EXPECT_THROW(GetClass("TNoSuchClass"), EClassNotFound);
    // An unregistered descendant uses its nearest registered class.
    class TLocalWidget : public TWidget {
    public:
        using TWidget::TWidget;
    };
    TLocalWidget local(nullptr);
    EXPECT_EQ(ClassRegistry().InfoOf(&local)->Name(), "TWidget");
}

} // namespace

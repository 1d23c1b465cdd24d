// Blob and memo fields over the in-memory dataset: creation from definitions that carry a size,
// reads and writes through blob streams, null tests, Clear, Modified and the display text.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MemDataSet.h"
#include "host/Application.h"
#include "host/Messages.h"

namespace {

using namespace host;
using hosttest::Column;
using hosttest::MemDataSet;

// ID, a TEXT-like memo column of size 4 (the size of the field's slot), a binary blob.
struct BlobFixture {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    MemDataSet* ds;

    BlobFixture() {
        ds = new MemDataSet(owner.get(),
                            {{"ID", ftInteger, 0, true}, {"NOTE", ftMemo, 4}, {"DATA", ftBlob, 8}});
        ds->SetName("Notes");
        ds->AddRow({Variant(1), Variant("first note"), Variant(std::string("\x01\x00\x02", 3))});
        ds->AddRow({Variant(2), Null(), Null()});
    }
    TBlobField* Note() const { return static_cast<TBlobField*>(ds->FieldByName("NOTE")); }
    TBlobField* Data() const { return static_cast<TBlobField*>(ds->FieldByName("DATA")); }
};

TEST(BlobFields, DefinitionsWithASizeCreateBlobFieldsThatKeepIt) {
    BlobFixture f;
    f.ds->Open(); // default fields from the definitions
    ASSERT_NE(dynamic_cast<TMemoField*>(f.Note()), nullptr);
    EXPECT_EQ(f.Note()->DataType(), ftMemo);
    EXPECT_EQ(f.Note()->Size(), 4);
    EXPECT_EQ(f.Data()->Size(), 8);
    EXPECT_EQ(f.Data()->BlobType(), ftBlob);
    EXPECT_TRUE(f.Note()->IsBlob());
    EXPECT_TRUE(f.Note()->Transliterate());
    EXPECT_FALSE(f.Data()->Transliterate());
    EXPECT_EQ(f.Note()->DataSize(), 0);
    // Blob fields are numbered among the blobs in field order.
    EXPECT_EQ(f.Note()->Offset(), 0);
    EXPECT_EQ(f.Data()->Offset(), 1);
}

TEST(BlobFields, AnySizeFromZeroUpIsTheSizeOfTheSlot) {
    TFieldDefs defs(nullptr);
    defs.Add("NOTE", ftMemo, 4);
    defs.Add("PICTURE", ftGraphic, 0);
    auto memo = std::unique_ptr<TField>(defs[0]->CreateField(nullptr));
    auto picture = std::unique_ptr<TField>(defs[1]->CreateField(nullptr));
    EXPECT_NE(dynamic_cast<TMemoField*>(memo.get()), nullptr);
    EXPECT_NE(dynamic_cast<TGraphicField*>(picture.get()), nullptr);
    EXPECT_EQ(memo->Size(), 4);
    EXPECT_EQ(picture->Size(), 0);
    TMemoField loose(nullptr);
    loose.SetSize(65535);
    EXPECT_EQ(loose.Size(), 65535);
    EXPECT_THROW(loose.SetSize(-1), EDatabaseError);
    EXPECT_EQ(loose.Size(), 65535);
    EXPECT_THROW(defs.Add("BAD", ftBlob, -1), EDatabaseError);
    EXPECT_EQ(defs.Count(), 2);
}

TEST(BlobFields, ReadThroughStreamsAsStringAndSaveToStream) {
    BlobFixture f;
    f.ds->Open();
    EXPECT_EQ(f.Note()->AsString(), "first note");
    EXPECT_EQ(f.Data()->AsString(), std::string("\x01\x00\x02", 3));
    EXPECT_EQ(f.Data()->BlobSize(), 3);
    EXPECT_EQ(f.Note()->AsVariant().AsString(), "first note");
    auto stream = f.ds->CreateBlobStream(f.Note(), bmRead);
    ASSERT_NE(stream, nullptr);
    char head[6] = {};
    EXPECT_EQ(stream->Read(head, 5), 5);
    EXPECT_STREQ(head, "first");
    TMemoryStream copy;
    f.Data()->SaveToStream(copy);
    EXPECT_EQ(copy.Size(), 3);

    f.ds->Next();
    EXPECT_EQ(f.Note()->AsString(), "");
    EXPECT_TRUE(f.Note()->AsVariant().IsNull());
    EXPECT_EQ(f.Note()->BlobSize(), 0);
}

TEST(BlobFields, IsNullIsPublicAndFollowsTheRowOrTheWrittenValue) {
    BlobFixture f;
    f.ds->Open();
    const TField& asField = *f.Note();
    const TBlobField& asBlob = *f.Note();
    EXPECT_FALSE(asBlob.IsNull()); // callable through the blob field itself
    EXPECT_FALSE(asField.IsNull());
    f.ds->Next();
    EXPECT_TRUE(asBlob.IsNull());

    // Once written in the row, null means an empty value.
    f.ds->Edit();
    f.Note()->SetAsString("now set");
    EXPECT_TRUE(f.Note()->Modified());
    EXPECT_FALSE(asBlob.IsNull());
    f.Note()->SetAsString("");
    EXPECT_TRUE(asBlob.IsNull());
    f.ds->Cancel();
    EXPECT_TRUE(asBlob.IsNull());
}

TEST(BlobFields, WritesGoThroughStreamsAndPostStoresThem) {
    BlobFixture f;
    f.ds->Open();
    f.ds->Edit();
    {
        auto stream = f.ds->CreateBlobStream(f.Note(), bmWrite);
        stream->WriteBuffer("rewritten", 9);
    }
    EXPECT_EQ(f.Note()->AsString(), "rewritten");
    EXPECT_TRUE(f.ds->Modified());
    f.ds->Post();
    EXPECT_EQ(f.ds->StoredBlob(0, 1), "rewritten");
    EXPECT_FALSE(f.Note()->Modified());
    EXPECT_EQ(f.Note()->AsString(), "rewritten");

    // LoadFromStream replaces the whole value; Assign from another blob field copies it.
    f.ds->Edit();
    TStringStream source("abc");
    f.Data()->LoadFromStream(source);
    EXPECT_EQ(f.Data()->AsString(), "abc");
    f.Note()->Assign(f.Data());
    EXPECT_EQ(f.Note()->AsString(), "abc");
    f.ds->Post();
    EXPECT_EQ(f.ds->StoredBlob(0, 1), "abc");
    EXPECT_EQ(f.ds->StoredBlob(0, 2), "abc");

    // Writing outside the edit modes is refused; cancelling drops what was written.
    EXPECT_THROW(f.Note()->SetAsString("x"), EDatabaseError);
    f.ds->Edit();
    f.Note()->SetAsString("dropped");
    f.ds->Cancel();
    EXPECT_EQ(f.Note()->AsString(), "abc");
    EXPECT_EQ(f.ds->StoredBlob(0, 1), "abc");
}

TEST(BlobFields, ClearEmptiesTheBlobAndPostingItStoresNull) {
    BlobFixture f;
    f.ds->Open();
    f.ds->Edit();
    f.Note()->Clear();
    EXPECT_TRUE(f.Note()->Modified());
    EXPECT_TRUE(f.Note()->IsNull());
    EXPECT_EQ(f.Note()->AsString(), "");
    f.ds->Post();
    EXPECT_TRUE(f.Note()->IsNull());
    EXPECT_EQ(f.ds->StoredBlob(0, 1), "");
}

TEST(BlobFields, ModifiedIsPerRowAndFreeBuffersClosesTheBlob) {
    BlobFixture f;
    f.ds->Open();
    EXPECT_FALSE(f.Note()->Modified());
    f.ds->Edit();
    f.Note()->SetAsString("changed");
    EXPECT_TRUE(f.Note()->Modified());
    EXPECT_FALSE(f.Data()->Modified());
    f.ds->log.clear();
    f.ds->Post();
    // Only the written blob is closed.
    EXPECT_EQ(std::count(f.ds->log.begin(), f.ds->log.end(), "CloseBlob(NOTE)"), 1);
    EXPECT_EQ(std::count(f.ds->log.begin(), f.ds->log.end(), "CloseBlob(DATA)"), 0);
    EXPECT_FALSE(f.Note()->Modified());

    // An inserted row starts unmodified and keeps what was written.
    f.ds->Append();
    f.ds->FieldByName("ID")->SetAsInteger(3);
    EXPECT_FALSE(f.Note()->Modified());
    EXPECT_TRUE(f.Note()->IsNull());
    f.Note()->SetAsString("new row");
    f.ds->Post();
    EXPECT_EQ(f.ds->StoredBlob(2, 1), "new row");
    EXPECT_EQ(f.Note()->AsString(), "new row");
}

TEST(BlobFields, DisplayTextNamesTheClassUpperCasedWhenNotNull) {
    BlobFixture f;
    f.ds->Open();
    EXPECT_EQ(f.Note()->DisplayText(), "(MEMO)");
    EXPECT_EQ(f.Note()->Text(), "(MEMO)");
    EXPECT_EQ(f.Data()->DisplayText(), "(BLOB)");
    f.ds->Next();
    EXPECT_EQ(f.Note()->DisplayText(), "(Memo)");
    EXPECT_EQ(f.Data()->DisplayText(), "(Blob)");
    // The text of a blob cannot be set.
    f.ds->Edit();
    EXPECT_THROW(f.Note()->SetText("typed"), EDatabaseError);
    f.ds->Cancel();
}

TEST(BlobFields, AFailingChangeNotificationInAStreamDestructorGoesToTheApplication) {
    BlobFixture f;
    std::vector<std::string> handled;
    TExceptionEvent previous =
        Application().SetOnException([&](TObject*, const std::exception& e) { handled.push_back(e.what()); });
    f.ds->Open();
    f.Note()->SetOnChange([](TField*) { throw EDatabaseError("refused by OnChange"); });
    f.ds->Edit();
    EXPECT_NO_THROW(f.Note()->SetAsString("kept"));
    Application().SetOnException(previous);
    EXPECT_EQ(handled, (std::vector<std::string>{"refused by OnChange"}));
    EXPECT_EQ(f.Note()->AsString(), "kept");
    f.ds->Cancel();
}

} // namespace

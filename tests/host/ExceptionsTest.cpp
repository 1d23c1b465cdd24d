#include "host/Exceptions.h"

#include <gtest/gtest.h>

#include "host/Component.h"
#include "host/Messages.h"

namespace {

TEST(Exceptions, AbortRaisesSilentExceptionWithStandardText) {
    try {
        host::Abort();
        FAIL() << "Abort returned";
    } catch (const host::EAbort& e) {
        EXPECT_EQ(e.Message(), "Operation aborted");
    }
}

TEST(Exceptions, NoResultSetIsCaughtAsDatabaseError) {
    EXPECT_THROW(throw host::ENoResultSet("no rows"), host::EDatabaseError);
}

TEST(Exceptions, DatabaseErrorPrefixesANamedComponent) {
    host::TComponent table(nullptr);
    table.SetName("Table1");
    try {
        host::DatabaseError(host::SDataSetClosed, &table);
    } catch (const host::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Table1: Cannot perform this operation on a closed dataset");
    }
    host::TComponent unnamed(nullptr);
    try {
        host::DatabaseError("plain", &unnamed);
    } catch (const host::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "plain");
    }
    try {
        host::DatabaseError("alone");
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "alone");
    }
}

TEST(Exceptions, DatabaseErrorFmtFormatsFirst) {
    host::TComponent query(nullptr);
    query.SetName("Query1");
    try {
        host::DatabaseErrorFmt(host::SFieldNotFound, {"NAME"}, &query);
    } catch (const host::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Query1: Field 'NAME' not found");
    }
}

TEST(Exceptions, UpdateErrorOwnsTheOriginalException) {
    auto original = std::make_shared<host::EDatabaseError>("key violation");
    try {
        throw host::EUpdateError("update failed", "while posting", 9729, 3, original);
    } catch (const host::EDatabaseError& e) {
        const auto* update = dynamic_cast<const host::EUpdateError*>(&e);
        ASSERT_NE(update, nullptr);
        EXPECT_EQ(update->Message(), "update failed");
        EXPECT_EQ(update->Context(), "while posting");
        EXPECT_EQ(update->ErrorCode(), 9729);
        EXPECT_EQ(update->PreviousError(), 3);
        EXPECT_EQ(update->OriginalException()->Message(), "key violation");
    }
}

TEST(Exceptions, VariantErrorsAreConversionErrors) {
    EXPECT_THROW(throw host::EVariantError("x"), host::EConvertError);
    EXPECT_THROW(throw host::EReadError("x"), host::EStreamError);
    host::Exception e("first");
    e.SetMessage("second");
    EXPECT_STREQ(e.what(), "second");
}

} // namespace

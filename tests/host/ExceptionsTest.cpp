#include "host/Exceptions.h"

#include <gtest/gtest.h>

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

}  // namespace

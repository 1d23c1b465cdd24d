// Texts that nest without end are refused with the reader's own error instead of exhausting the stack:
// filter texts (parentheses, function arguments, IN lists) and form texts (objects, skipped values).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "MemDataSet.h"
#include "host/FilterExpr.h"
#include "host/Streaming.h"

namespace {

using namespace host;

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

struct NestingLimitsTest : ::testing::Test {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    hosttest::MemDataSet* ds = nullptr;

    void SetUp() override {
        ds = new hosttest::MemDataSet(owner.get(), hosttest::StandardColumns());
        ds->Open();
    }
    std::string ParseError(const std::string& text, TParserOptions parserOptions = {}) {
        try {
            TExprParser parser(ds, text, {}, parserOptions);
        } catch (const EDatabaseError& e) {
            return e.Message();
        }
        return "accepted";
    }
};

TEST_F(NestingLimitsTest, FilterNestedDeeplyIsRefused) {
    EXPECT_EQ(ParseError(Repeat("(", 200) + "ID = 1" + Repeat(")", 200)), "accepted");
    EXPECT_EQ(ParseError(Repeat("(", 100000) + "ID = 1" + Repeat(")", 100000)),
              "Incorrectly formed filter expression");
    TParserOptions extended;
    extended.Include(poExtSyntax);
    EXPECT_EQ(ParseError(Repeat("UPPER(", 100000) + "NAME" + Repeat(")", 100000) + " = 'X'", extended),
              "Incorrectly formed filter expression");
    EXPECT_EQ(ParseError("ID IN (" + Repeat("(", 100000) + "1"), "Incorrectly formed filter expression");
    EXPECT_EQ(ParseError("ID = 1"), "accepted") << "the parser starts afresh";
}

TEST_F(NestingLimitsTest, FormNestedDeeplyIsRefused) {
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "object C" + std::to_string(i) + ": TComponent\n";
    text += Repeat("end\n", 100000);
    EXPECT_THROW(ReadComponentFromText(text, nullptr, owner.get()), EReadError);

    std::string shallow;
    for (int i = 0; i < 100; ++i)
        shallow += "object C" + std::to_string(i) + ": TComponent\n";
    shallow += Repeat("end\n", 100);
    TComponent* root = ReadComponentFromText(shallow, nullptr, owner.get());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->ComponentCount(), 99);
}

} // namespace

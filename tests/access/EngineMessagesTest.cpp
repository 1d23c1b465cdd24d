// The compiled engine message table: its size, the codes that carry a text, sample texts, and its
// agreement with the message list it is generated from.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "access/EngineMessages.h"

namespace corvane::test {
namespace {

TEST(EngineMessages, TableHas499EntriesWithStrictlyRisingCodes) {
    const auto messages = EngineMessages();
    ASSERT_EQ(messages.size(), 499u);
    for (size_t i = 1; i < messages.size(); ++i)
        EXPECT_LT(messages[i - 1].code, messages[i].code);
    for (const TEngineMessage& entry : messages)
        EXPECT_FALSE(entry.text.empty()) << entry.code;
}

TEST(EngineMessages, ExactlyTheDocumentedRunsOfCodesCarryAText) {
    const std::vector<std::pair<int, int>> runs = {
        {8449, 8461},   {8705, 8715},   {8961, 8963},   {8965, 8969},   {9217, 9222},   {9473, 9502},
        {9729, 9751},   {9985, 10056},  {10058, 10066}, {10241, 10260}, {10497, 10504}, {10753, 10772},
        {11009, 11021}, {11023, 11030}, {11041, 11043}, {11047, 11047}, {11058, 11061}, {11108, 11113},
        {11265, 11275}, {11277, 11278}, {11521, 11522}, {11777, 11898}, {11926, 11937}, {11946, 11965},
        {11972, 11972}, {12033, 12040}, {12289, 12295}, {12545, 12550}, {12801, 12807}, {12809, 12812},
        {13057, 13062}, {13313, 13315}, {13569, 13582}, {13584, 13594}, {15873, 15880}};
    std::set<int> expected;
    for (const auto& [first, last] : runs)
        for (int code = first; code <= last; ++code)
            expected.insert(code);
    ASSERT_EQ(expected.size(), 499u);
    for (int code = 0; code <= 0xFFFF; ++code)
        EXPECT_EQ(!EngineMessage(static_cast<DBIResult>(code)).empty(), expected.count(code) == 1) << code;
}

TEST(EngineMessages, LookupGivesTheEngineTextsAndEmptyTextsForGaps) {
    // The codes the library raises itself.
    EXPECT_EQ(EngineMessage(DBIERR_BOF), "At beginning of table.");
    EXPECT_EQ(EngineMessage(DBIERR_EOF), "At end of table.");
    EXPECT_EQ(EngineMessage(DBIERR_NOCURRREC), "No current record.");
    EXPECT_EQ(EngineMessage(DBIERR_INVALIDPARAM), "Invalid parameter.");
    EXPECT_EQ(EngineMessage(DBIERR_INVALIDHNDL), "Invalid handle to the function.");
    EXPECT_EQ(EngineMessage(DBIERR_INVALIDRECSTRUCT), "Invalid record structure.");
    EXPECT_EQ(EngineMessage(DBIERR_NOSUCHFILTER), "Filter handle is invalid");
    EXPECT_EQ(EngineMessage(DBIERR_NOTABLOB), "Field is not a BLOB.");
    EXPECT_EQ(EngineMessage(DBIERR_NOASSOCINDEX), "No associated index.");
    EXPECT_EQ(EngineMessage(DBIERR_QRYEMPTY), "Query string is empty.");
    EXPECT_EQ(EngineMessage(DBIERR_NOTSUFFTABLERIGHTS),
              "Insufficient table rights for operation. Password required.");
    // The first message of each group.
    EXPECT_EQ(EngineMessage(8449), "Cannot open a system file.");
    EXPECT_EQ(EngineMessage(8961), "Corrupt table/index header.");
    EXPECT_EQ(EngineMessage(9217), "Read failure.");
    EXPECT_EQ(EngineMessage(9473), "Insufficient memory for this operation.");
    EXPECT_EQ(EngineMessage(9729), "Key violation.");
    EXPECT_EQ(EngineMessage(9985), "Number is out of range.");
    EXPECT_EQ(EngineMessage(10241), "Record locked by another user.");
    EXPECT_EQ(EngineMessage(10497), "Insufficient field rights for operation.");
    EXPECT_EQ(EngineMessage(11009), "Invalid function number.");
    EXPECT_EQ(EngineMessage(11265), "Network initialization failed.");
    EXPECT_EQ(EngineMessage(11521), "Optional parameter is required.");
    EXPECT_EQ(EngineMessage(11777), "obsolete");
    EXPECT_EQ(EngineMessage(12033), "Interface mismatch. Engine version different.");
    EXPECT_EQ(EngineMessage(12289), "Capability not supported.");
    EXPECT_EQ(EngineMessage(12546), "Unknown database type.");
    EXPECT_EQ(EngineMessage(12801), "Object implicitly dropped.");
    EXPECT_EQ(EngineMessage(13057), "File already exists.");
    EXPECT_EQ(EngineMessage(13313), "Different sort order.");
    EXPECT_EQ(EngineMessage(13569), "Data Dictionary is corrupt");
    EXPECT_EQ(EngineMessage(15873), "Wrong driver name.");
    // Success, the native code, group bases, gaps inside groups, and codes beyond the last group.
    for (DBIResult code :
         {0, 1001, 8448, 8462, 8704, 8964, 10057, 11022, 11276, 11899, 12808, 13583, 15872, 15881, 65535})
        EXPECT_EQ(EngineMessage(code), "") << code;
}

TEST(EngineMessages, CompiledTableAgreesWithTheMessageList) {
    const std::filesystem::path list = CORVANE_ENGINE_MESSAGE_LIST;
    std::ifstream in(list);
    ASSERT_TRUE(in) << list;
    std::vector<std::pair<int, std::string>> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        const size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        lines.emplace_back(std::stoi(line.substr(0, tab)), line.substr(tab + 1));
    }
    const auto messages = EngineMessages();
    ASSERT_EQ(lines.size(), messages.size()) ;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(messages[i].code, lines[i].first) << "entry " << i;
        EXPECT_EQ(messages[i].text, lines[i].second) << "code " << lines[i].first;
    }
}

} // namespace
} // namespace corvane::test

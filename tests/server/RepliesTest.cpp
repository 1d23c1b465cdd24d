// msqld's request decoding and reply encoding without sockets: argument rules per request code,
// SELECT framing, and the packet limit applied to rows.
#include "server/Replies.h"
#include "net/Packet.h"
#include "net/Protocol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

using msql::server::ParseRequest;

namespace {

// Splits framed bytes into payloads.
std::vector<std::string> Packets(const std::string& bytes) {
    msql::net::PacketBuffer buffer;
    std::memcpy(buffer.WriteArea(bytes.size() + 1), bytes.data(), bytes.size());
    buffer.Commit(bytes.size());
    std::vector<std::string> out;
    std::string_view payload;
    while (buffer.Next(payload) == msql::net::PacketBuffer::Status::Ready)
        out.emplace_back(payload);
    EXPECT_EQ(buffer.Pending(), 0u);
    return out;
}

TEST(ServerRequests, ArgumentsEndAtTheLineExceptForQueries) {
    auto init = ParseRequest("2:shop\r\nrest");
    EXPECT_EQ(init.code, 2);
    EXPECT_EQ(init.argument, "shop");
    auto query = ParseRequest("3:select a\nfrom t\n");
    EXPECT_EQ(query.code, 3);
    EXPECT_EQ(query.argument, "select a\nfrom t");
    auto index = ParseRequest("11:t:ix\n");
    EXPECT_EQ(index.argument, "t");
    EXPECT_EQ(index.second, "ix");
    EXPECT_EQ(ParseRequest("garbage").code, 0);
    EXPECT_EQ(ParseRequest("-3:x").code, 0);
    EXPECT_EQ(ParseRequest("1").code, 1);
    EXPECT_EQ(ParseRequest("99999999999999999999:").code, 0);
    EXPECT_EQ(msql::server::ParseUserName("alice\nignored"), "alice");
}

TEST(ServerReplies, SelectIsHeaderRowsEndFieldsEnd) {
    msql::ResultSet result;
    result.fields.push_back({"a", "t", 1, 4, 1});
    result.fields.push_back({"b", "t", 2, 3, 0});
    result.AddText("1");
    result.AddNull();
    result.AddText("");
    result.AddText("x:y");
    std::string out;
    int flushes = 0;
    ASSERT_TRUE(msql::server::AppendSelectReply(out, result, 1, [&](std::string& o) {
        ++flushes;
        o.clear(); // the caller sends and empties the buffer
        return true;
    }));
    EXPECT_EQ(flushes, 2);
    EXPECT_EQ(Packets(out), (std::vector<std::string>{"-100:\n", "1:t1:a1:11:41:Y1:N\n",
                                                      "1:t1:b1:21:31:N1:N\n", "-100:\n"}));
    std::string whole;
    msql::server::AppendSelectReply(whole, result, SIZE_MAX, [](std::string&) { return true; });
    auto packets = Packets(whole);
    ASSERT_EQ(packets.size(), 7u);
    EXPECT_EQ(packets[0], "1:2:\n");
    EXPECT_EQ(packets[1], "1:1-2:\n");
    EXPECT_EQ(packets[2], "0:3:x:y\n");
}

TEST(ServerReplies, RowOverThePacketLimitBecomesAnErrorAndAGoneClientEndsTheReply) {
    msql::ResultSet result;
    result.fields.push_back({"t", "big", 6, 8, 0});
    result.AddText("small");
    result.AddText(std::string(msql::net::kMaxPacket, 'x'));
    result.AddText("never sent");
    std::string out;
    ASSERT_TRUE(msql::server::AppendSelectReply(out, result, SIZE_MAX, [](std::string&) { return true; }));
    auto packets = Packets(out);
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets[1], "5:small\n");
    EXPECT_EQ(packets[2].rfind("-1:Row too large", 0), 0u);

    std::string gone;
    EXPECT_FALSE(msql::server::AppendSelectReply(gone, result, 1, [](std::string&) { return false; }));
}

TEST(ServerReplies, ErrorsGetExactlyOneNewline) {
    std::string out;
    msql::server::AppendError(out, "Illegal operator applied to NULL.\n");
    msql::server::AppendError(out, "Unknown command");
    msql::server::AppendError(out, "");
    EXPECT_EQ(Packets(out), (std::vector<std::string>{"-1:Illegal operator applied to NULL.\n",
                                                      "-1:Unknown command\n", "-1:\n"}));
}

} // namespace

// The conversation with one client. Replies are built in one buffer and sent whole (a large
// SELECT in pieces of about 64 KiB); a client that neither sends the rest of a packet nor takes a
// reply within the time limit is dropped.
#include "server/Connection.h"

#include "engine/Error.h"
#include "engine/Session.h"
#include "net/Protocol.h"
#include "net/Socket.h"
#include "server/Replies.h"
#include "server/Server.h"

#include <climits>
#include <memory>
#include <new>

namespace msql::server {

namespace {

constexpr size_t kFlushAt = 64 * 1024;

class Conversation {
public:
    Conversation(Server& server, int id, int fd, bool local)
        : server_(server), options_(server.Options()), id_(id), fd_(fd), local_(local) {}

    void Run() {
        out_.clear();
        out_.reserve(kFlushAt + 4096);
        std::string greeting = "0:" + std::to_string(options_.protocol) + ":" + kVersion + "\n";
        net::AppendPacket(out_, greeting);
        if (!Flush()) return;
        std::string_view payload;
        net::ReadStatus status = net::ReadPacket(fd_, in_, payload, options_.timeoutMs, options_.timeoutMs);
        if (status != net::ReadStatus::Ready) {
            AppendError(out_, status == net::ReadStatus::TooLarge ? "Packet too large" : "Bad handshake");
            Flush();
            return;
        }
        user_.assign(ParseUserName(payload));
        try {
            session_ = std::make_unique<Session>(options_.dataDir, user_);
        } catch (const std::exception& e) {
            AppendError(out_, e.what());
            Flush();
            return;
        }
        AppendEnd(out_);
        if (!Flush()) return;

        while (!server_.Stopping()) {
            // Waiting for a request has no limit; once it has begun it must arrive in time.
            status = net::ReadPacket(fd_, in_, payload, -1, options_.timeoutMs);
            if (status == net::ReadStatus::TooLarge) {
                AppendError(out_, "Packet too large");
                Flush();
                return;
            }
            if (status != net::ReadStatus::Ready) return;
            Request request = ParseRequest(payload);
            if (request.code == net::kQuit) return;
            bool stop = false;
            Answer(request, stop);
            if (!Flush() || stop) return;
        }
    }

    static constexpr const char* kVersion = "Corvane msqld 0.1.0";

private:
    // Writes the reply to request into out_ (flushing large results on the way).
    void Answer(const Request& request, bool& stop) {
        try {
            Dispatch(request, stop);
        } catch (const std::bad_alloc&) {
            out_.clear();
            AppendError(out_, "Out of memory");
        } catch (const std::exception& e) {
            out_.clear();
            AppendError(out_, e.what());
        }
    }

    void Dispatch(const Request& request, bool& stop) {
        const std::string argument(request.argument);
        switch (request.code) {
        case net::kInitDb:
            session_->SelectDatabase(argument);
            server_.NoteDatabase(id_, argument);
            AppendCount(out_, 1);
            return;
        case net::kQuery: {
            QueryOutcome outcome = session_->Query(request.argument);
            if (!outcome.result) {
                AppendCount(out_, outcome.count);
                return;
            }
            if (!AppendSelectReply(out_, *outcome.result, kFlushAt, [this](std::string&) { return Flush(); }))
                stop = true;
            return;
        }
        case net::kDbList:
            for (const std::string& name : session_->ListDatabases())
                AppendListRow(out_, name);
            AppendEnd(out_);
            return;
        case net::kTableList:
            AppendList(session_->ListTables());
            return;
        case net::kFieldList:
            for (const FieldInfo& field : session_->ListFields(argument).fields)
                AppendFieldDescription(out_, field);
            AppendEnd(out_);
            return;
        case net::kIndexList:
            AppendList(session_->ListIndex(argument, std::string(request.second)));
            return;
        case net::kSeqInfo: {
            SequenceInfo info = session_->GetSequence(argument);
            std::string text = "1:" + std::to_string(info.step) + ":" + std::to_string(info.value) + "\n";
            net::AppendPacket(out_, text);
            return;
        }
        case net::kCreateDb:
        case net::kDropDb:
        case net::kReloadAcl:
        case net::kShutdown:
        case net::kServerStats:
            Admin(request.code, argument, stop);
            return;
        default:
            AppendError(out_, "Unknown command");
            return;
        }
    }

    // Requests allowed only to the admin user on a local connection.
    void Admin(int code, const std::string& argument, bool& stop) {
        if (!local_ || user_ != options_.adminUser) {
            AppendError(out_, "Permission denied");
            return;
        }
        switch (code) {
        case net::kCreateDb:
            session_->CreateDatabase(argument);
            break;
        case net::kDropDb:
            session_->DropDatabase(argument);
            break;
        case net::kReloadAcl:
            break; // no access lists: every database is open to every user
        case net::kShutdown:
            server_.RequestStop();
            stop = true;
            break;
        case net::kServerStats:
            for (const std::string& block : server_.Statistics())
                net::AppendPacket(out_, block);
            break;
        }
        AppendEnd(out_);
    }

    void AppendList(const ResultSet& list) {
        for (size_t r = 0; r < list.RowCount(); ++r)
            AppendListRow(out_, list.Value(r, 0));
        AppendEnd(out_);
    }

    bool Flush() {
        bool sent = net::SendAll(fd_, out_);
        out_.clear();
        return sent;
    }

    Server& server_;
    const ServerOptions& options_;
    int id_;
    int fd_;
    bool local_;
    std::string user_;
    std::unique_ptr<Session> session_;
    net::PacketBuffer in_;
    std::string out_;
};

} // namespace

void ServeConnection(Server& server, int id, int fd, bool local) {
    Conversation(server, id, fd, local).Run();
}

} // namespace msql::server

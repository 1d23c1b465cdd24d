// TmSQLCustomConnection: the connection base of the database component. It keeps the clients that
// depend on a connection (datasets and other objects) and their connect-change handlers, fires the
// before/after connect and disconnect events, and defers a connect read from a form file until the
// whole form is loaded. TmSQLDatabase derives from it and supplies the real connect and disconnect.
//
// Order of a change: connecting runs BeforeConnect, DoConnect, the clients' handlers (true),
// AfterConnect; disconnecting runs BeforeDisconnect, the clients' handlers (false), DoDisconnect,
// AfterDisconnect. Clients hear of a connect after it happened and of a disconnect before it happens.
#pragma once

#include <functional>
#include <vector>

#include "host/Component.h"
#include "host/DataSet.h"

namespace corvane {

class TmSQLCustomConnection;

// A client's connect-change handler: called with the connection and whether it is connecting.
using TConnectChangeEvent = std::function<void(TmSQLCustomConnection* connection, bool connecting)>;
// Before/after connect and disconnect events; the sender is the connection.
using TConnectionNotifyEvent = std::function<void(TmSQLCustomConnection* connection)>;

class TmSQLCustomConnection : public host::TComponent {
public:
    explicit TmSQLCustomConnection(host::TComponent* owner);
    ~TmSQLCustomConnection() override;
    // Owned components go first, then the connection is closed.
    void BeforeDestruction() override;

    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }
    bool Connected() { return GetConnected(); }
    // While the component is read from a stream, true is only remembered (Loaded connects).
    virtual void SetConnected(bool value);
    virtual bool GetConnected() { return false; }

    // Appends client (and its handler, which may be empty); a host dataset also joins the dataset
    // list. Registering twice needs two unregistrations.
    virtual void RegisterClient(host::TObject* client, TConnectChangeEvent event = {});
    // Removes the first occurrence of client from the dataset list and from the client list (with
    // its handler); a client that is not registered changes nothing.
    virtual void UnRegisterClient(host::TObject* client);
    virtual host::TDataSet* GetDataSet(int index);
    virtual int GetDataSetCount();
    int ClientCount() const { return static_cast<int>(fClients.size()); }
    host::TObject* Clients(int index) const { return fClients.at(static_cast<size_t>(index)); }

    bool LoginPrompt() const { return fLoginPrompt; }
    void SetLoginPrompt(bool value) { fLoginPrompt = value; }

    const TConnectionNotifyEvent& AfterConnect() const { return fAfterConnect; }
    void SetAfterConnect(TConnectionNotifyEvent handler) { fAfterConnect = std::move(handler); }
    const TConnectionNotifyEvent& AfterDisconnect() const { return fAfterDisconnect; }
    void SetAfterDisconnect(TConnectionNotifyEvent handler) { fAfterDisconnect = std::move(handler); }
    const TConnectionNotifyEvent& BeforeConnect() const { return fBeforeConnect; }
    void SetBeforeConnect(TConnectionNotifyEvent handler) { fBeforeConnect = std::move(handler); }
    const TConnectionNotifyEvent& BeforeDisconnect() const { return fBeforeDisconnect; }
    void SetBeforeDisconnect(TConnectionNotifyEvent handler) { fBeforeDisconnect = std::move(handler); }

    // Connects when Connected was read as true. A failure goes to the application's exception
    // handler: it never leaves the form reader.
    void Loaded() override;

protected:
    virtual void DoConnect() {}
    virtual void DoDisconnect() {}
    // Calls every registered handler, in registration order.
    void SendConnectEvent(bool connecting);
    // Whether Connected was read as true from a stream and not yet applied.
    bool StreamedConnected() const { return fStreamedConnected; }

private:
    // Disconnects once; shared by BeforeDestruction and the destructor.
    void Teardown() noexcept;

    std::vector<host::TObject*> fClients;            // not owned
    std::vector<host::TDataSet*> fDataSets;          // not owned
    std::vector<TConnectChangeEvent> fConnectEvents; // parallel to fClients
    bool fLoginPrompt = false;
    bool fStreamedConnected = false;
    bool fTornDown = false;
    TConnectionNotifyEvent fAfterConnect, fAfterDisconnect, fBeforeConnect, fBeforeDisconnect;
};

} // namespace corvane

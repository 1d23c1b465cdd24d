// The connection base: clients, connect-change events, and the connect deferred to Loaded.
#include "components/ConnectionBase.h"

#include <algorithm>

#include "host/Application.h"
#include "host/Streaming.h"

namespace corvane {

TmSQLCustomConnection::TmSQLCustomConnection(host::TComponent* owner) : host::TComponent(owner) {}

TmSQLCustomConnection::~TmSQLCustomConnection() {
    Teardown();
}

void TmSQLCustomConnection::BeforeDestruction() {
    host::TComponent::BeforeDestruction();
    Teardown();
}

void TmSQLCustomConnection::Teardown() noexcept {
    if (fTornDown) return;
    fTornDown = true;
    try {
        SetConnected(false);
    } catch (...) {
        // A destructor must not throw; the failure is reported, not lost.
        host::Application().HandleException(this);
    }
}

void TmSQLCustomConnection::SetConnected(bool value) {
    if (ComponentState().Contains(host::csReading) && value) {
        fStreamedConnected = true;
        return;
    }
    if (value == GetConnected()) return;
    if (value) {
        if (fBeforeConnect) fBeforeConnect(this);
        DoConnect();
        SendConnectEvent(true);
        if (fAfterConnect) fAfterConnect(this);
    } else {
        if (fBeforeDisconnect) fBeforeDisconnect(this);
        SendConnectEvent(false);
        DoDisconnect();
        if (fAfterDisconnect) fAfterDisconnect(this);
    }
}

void TmSQLCustomConnection::Loaded() {
    host::TComponent::Loaded();
    if (!fStreamedConnected) return;
    fStreamedConnected = false;
    try {
        SetConnected(true);
    } catch (...) {
        // A form whose connection cannot be opened still loads: the failure is shown (or handed to
        // the application's handler) and the connection stays closed.
        host::Application().HandleException(this);
    }
}

void TmSQLCustomConnection::RegisterClient(host::TObject* client, TConnectChangeEvent event) {
    fClients.push_back(client);
    fConnectEvents.push_back(std::move(event));
    if (auto* dataSet = dynamic_cast<host::TDataSet*>(client)) fDataSets.push_back(dataSet);
}

void TmSQLCustomConnection::UnRegisterClient(host::TObject* client) {
    if (auto* dataSet = dynamic_cast<host::TDataSet*>(client)) {
        auto found = std::find(fDataSets.begin(), fDataSets.end(), dataSet);
        if (found != fDataSets.end()) fDataSets.erase(found);
    }
    auto found = std::find(fClients.begin(), fClients.end(), client);
    if (found == fClients.end()) return;
    const auto index = found - fClients.begin();
    fClients.erase(found);
    fConnectEvents.erase(fConnectEvents.begin() + index);
}

host::TDataSet* TmSQLCustomConnection::GetDataSet(int index) {
    return fDataSets.at(static_cast<size_t>(index));
}

int TmSQLCustomConnection::GetDataSetCount() {
    return static_cast<int>(fDataSets.size());
}

void TmSQLCustomConnection::SendConnectEvent(bool connecting) {
    // By index: a handler may register or unregister clients while the event travels.
    for (size_t i = 0; i < fConnectEvents.size(); ++i) {
        if (fConnectEvents[i]) {
            // A copy: the handler may unregister its own client.
            TConnectChangeEvent event = fConnectEvents[i];
            event(this, connecting);
        }
    }
}

namespace {

[[maybe_unused]] const bool kRegistered = [] {
    host::RegisterClass<TmSQLCustomConnection>("TmSQLCustomConnection", "TComponent")
        .Boolean("Connected", &TmSQLCustomConnection::Connected, &TmSQLCustomConnection::SetConnected, false)
        .Boolean("LoginPrompt", &TmSQLCustomConnection::LoginPrompt, &TmSQLCustomConnection::SetLoginPrompt,
                 false);
    return true;
}();

} // namespace

} // namespace corvane

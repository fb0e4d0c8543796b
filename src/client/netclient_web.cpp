// The page's connection to the game server: the browser's own WebSocket, through emscripten's
// <emscripten/websocket.h>. Its events arrive on the page's event loop between two frames, so
// a message received goes to the session at once and nothing needs polling; what the session
// queues leaves at the next netclient_send.
#include "netclient.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <emscripten/websocket.h>

#include "serveraddress.h"

struct NetClient {
    EMSCRIPTEN_WEBSOCKET_T ws = 0;
    LockstepSession* session = nullptr;
    bool open = false, lost = false;
};

namespace {

void fail(NetClient* c)
{
    if (c->lost)
        return;
    c->lost = true;
    lockstep_connection_lost(c->session);
}

EM_BOOL on_open(int, const EmscriptenWebSocketOpenEvent*, void* user)
{
    auto* c = static_cast<NetClient*>(user);
    c->open = true;
    // The hello has waited in the session since the start: it leaves now, not a frame later.
    netclient_send(c);
    return EM_TRUE;
}

EM_BOOL on_message(int, const EmscriptenWebSocketMessageEvent* e, void* user)
{
    auto* c = static_cast<NetClient*>(user);
    if (c->lost)
        return EM_TRUE;
    // The server speaks binary only; a text message fails the decoder like any other garbage.
    lockstep_receive(c->session, e->data, e->numBytes);
    return EM_TRUE;
}

EM_BOOL on_error(int, const EmscriptenWebSocketErrorEvent*, void* user)
{
    fail(static_cast<NetClient*>(user));
    return EM_TRUE;
}

EM_BOOL on_close(int, const EmscriptenWebSocketCloseEvent*, void* user)
{
    fail(static_cast<NetClient*>(user));
    return EM_TRUE;
}

}  // namespace

NetClient* netclient_open(const char* url, LockstepSession* session, char* err, size_t err_size)
{
    // The page derives the address from its own: ws:// beside http://, wss:// beside https://
    // (a TLS proxy in front of the server), so both are taken here.
    ServerAddress address;
    if (!server_address_parse(url, &address, err, err_size))
        return nullptr;
    if (!emscripten_websocket_is_supported()) {
        std::snprintf(err, err_size, "This browser has no WebSocket: network games need one");
        return nullptr;
    }
    std::string play = (address.secure ? "wss://" : "ws://") + address.hostport + "/play";
    EmscriptenWebSocketCreateAttributes attrs;
    emscripten_websocket_init_create_attributes(&attrs);
    attrs.url = play.c_str();
    attrs.createOnMainThread = EM_TRUE;
    EMSCRIPTEN_WEBSOCKET_T ws = emscripten_websocket_new(&attrs);
    if (ws <= 0) {
        std::snprintf(err, err_size, "%s: the browser refused to open a WebSocket (%d)", play.c_str(), (int)ws);
        return nullptr;
    }
    auto* c = new NetClient;
    c->ws = ws;
    c->session = session;
    emscripten_websocket_set_onopen_callback(ws, c, on_open);
    emscripten_websocket_set_onmessage_callback(ws, c, on_message);
    emscripten_websocket_set_onerror_callback(ws, c, on_error);
    emscripten_websocket_set_onclose_callback(ws, c, on_close);
    return c;
}

void netclient_run(int) {}

void netclient_send(NetClient* c)
{
    if (!c->open || c->lost)
        return;  // the session keeps its messages until the socket opens
    while (const LockstepOutgoing* o = lockstep_next_outgoing(c->session)) {
        // The browser buffers what it cannot send at once; a failure means the socket is gone.
        if (emscripten_websocket_send_binary(c->ws, const_cast<u8*>(o->bytes), o->len) != EMSCRIPTEN_RESULT_SUCCESS) {
            fail(c);
            return;
        }
    }
}

bool netclient_lost(const NetClient* c)
{
    return c->lost;
}

void netclient_close(NetClient* c)
{
    if (!c)
        return;
    // Deleting the handle also drops its callbacks, so nothing reaches the freed client.
    emscripten_websocket_close(c->ws, 1000, "");
    emscripten_websocket_delete(c->ws);
    delete c;
}

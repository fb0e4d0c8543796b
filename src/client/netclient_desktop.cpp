// The desktop's connection to the game server over Boost.Beast's WebSocket: ws:// in the
// clear, wss:// over TLS (OpenSSL), the server's certificate checked against the system's
// authorities and the host name. The network library stays inside this file: it is slow to
// compile.
#include "netclient.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// Boost 1.74's Asio uses std::exchange in C++20 mode without including <utility> itself.
#include <utility>

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>

#include "serveraddress.h"

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using boost::system::error_code;

asio::io_context& io()
{
    static asio::io_context ioc;
    return ioc;
}

// Made once, on the first wss:// address: the system's certificate authorities (OpenSSL's
// default paths, which SSL_CERT_FILE and SSL_CERT_DIR can point elsewhere).
asio::ssl::context* tls_context()
{
    static asio::ssl::context* ctx = [] {
        auto* c = new asio::ssl::context(asio::ssl::context::tls_client);
        c->set_default_verify_paths();
        c->set_verify_mode(asio::ssl::verify_peer);
        return c;
    }();
    return ctx;
}

using PlainStream = websocket::stream<beast::tcp_stream>;
using TlsStream = websocket::stream<beast::ssl_stream<beast::tcp_stream>>;

}  // namespace

struct NetClient : std::enable_shared_from_this<NetClient> {
    // One of the two, by the address's scheme.
    std::unique_ptr<PlainStream> plain;
    std::unique_ptr<TlsStream> tls;
    beast::flat_buffer buffer;
    LockstepSession* session;
    std::string host;
    std::string port;
    tcp::resolver resolver{io()};
    // Messages waiting to go, a ring allocated once: sending allocates nothing per frame.
    std::vector<LockstepOutgoing> out = std::vector<LockstepOutgoing>(LOCKSTEP_MAX_OUTBOX);
    int out_head = 0, out_count = 0;
    bool open = false, writing = false, lost = false, closed = false;
    std::shared_ptr<NetClient> self_ref;  // keeps it alive until netclient_close

    void fail()
    {
        if (closed)
            return;
        lost = true;
        lockstep_connection_lost(session);
    }
    // Calls f with the stream in use.
    template <class F>
    void with_stream(F f)
    {
        if (tls)
            f(*tls);
        else
            f(*plain);
    }
    beast::tcp_stream& lowest() { return tls ? beast::get_lowest_layer(*tls) : beast::get_lowest_layer(*plain); }
    void connect()
    {
        auto self = shared_from_this();
        resolver.async_resolve(host, port, [self](error_code ec, tcp::resolver::results_type r) {
            if (ec) {
                std::fprintf(stderr, "Cannot find the server %s: %s\n", self->host.c_str(),
                             ec.message().c_str());
                return self->fail();
            }
            self->lowest().expires_after(std::chrono::seconds(10));
            self->lowest().async_connect(r, [self](error_code ec2, const tcp::endpoint&) {
                if (ec2) {
                    std::fprintf(stderr, "Cannot connect to %s:%s: %s\n", self->host.c_str(),
                                 self->port.c_str(), ec2.message().c_str());
                    return self->fail();
                }
                // Orders and hashes are small and wanted now: never held back to be joined.
                error_code ignored;
                self->lowest().socket().set_option(tcp::no_delay(true), ignored);
                if (!self->tls) {
                    self->lowest().expires_never();
                    return self->handshake();
                }
                // The server's name goes in the hello (SNI) for a proxy that serves several;
                // an address is no name and is not sent.
                error_code not_address;
                asio::ip::make_address(self->host, not_address);
                if (not_address)
                    SSL_set_tlsext_host_name(self->tls->next_layer().native_handle(),
                                             self->host.c_str());
                self->tls->next_layer().async_handshake(asio::ssl::stream_base::client, [self](error_code ec3) {
                    self->lowest().expires_never();
                    if (ec3) {
                        std::fprintf(stderr, "TLS with %s:%s failed: %s\n", self->host.c_str(),
                                     self->port.c_str(), ec3.message().c_str());
                        return self->fail();
                    }
                    self->handshake();
                });
            });
        });
    }
    void handshake()
    {
        auto self = shared_from_this();
        with_stream([self](auto& ws) {
            ws.set_option(websocket::stream_base::timeout::suggested(beast::role_type::client));
            ws.read_message_max(NET_MAX_MESSAGE);
            ws.binary(true);
            ws.async_handshake(self->host + ":" + self->port, "/play", [self](error_code ec) {
                if (ec)
                    return self->fail();
                self->open = true;
                self->read();
                self->write();
            });
        });
    }
    void read()
    {
        with_stream([this](auto& ws) { read_on(ws); });
    }
    template <class S>
    void read_on(S& ws)
    {
        ws.async_read(buffer, [self = shared_from_this()](error_code ec, size_t) {
            if (ec)
                return self->fail();
            if (self->closed)
                return;
            auto d = self->buffer.data();
            lockstep_receive(self->session, (const u8*)d.data(), d.size());
            self->buffer.consume(self->buffer.size());
            self->read();
        });
    }
    void write()
    {
        if (!open || writing || out_count == 0 || lost || closed)
            return;
        writing = true;
        const LockstepOutgoing& o = out[out_head];
        with_stream([this, &o](auto& ws) {
            ws.async_write(asio::buffer(o.bytes, o.len), [self = shared_from_this()](error_code ec, size_t) {
                self->writing = false;
                if (ec)
                    return self->fail();
                self->out_head = (self->out_head + 1) % LOCKSTEP_MAX_OUTBOX;
                self->out_count--;
                self->write();
            });
        });
    }
};

NetClient* netclient_open(const char* url, LockstepSession* session, char* err, size_t err_size)
{
    ServerAddress address;
    if (!server_address_parse(url, &address, err, err_size))
        return nullptr;
    auto c = std::make_shared<NetClient>();
    c->session = session;
    c->host = address.host;
    c->port = address.port;
    if (address.secure) {
        c->tls = std::make_unique<TlsStream>(io(), *tls_context());
        // The certificate must name the host the player asked for.
        c->tls->next_layer().set_verify_callback(asio::ssl::host_name_verification(c->host));
    } else {
        c->plain = std::make_unique<PlainStream>(io());
    }
    c->self_ref = c;
    c->connect();
    return c.get();
}

void netclient_run(int wait_ms)
{
    if (io().stopped())
        io().restart();
    if (wait_ms > 0)
        io().run_for(std::chrono::milliseconds(wait_ms));
    else
        io().poll();
}

void netclient_send(NetClient* c)
{
    while (!c->lost && c->out_count < LOCKSTEP_MAX_OUTBOX) {
        const LockstepOutgoing* o = lockstep_next_outgoing(c->session);
        if (!o)
            break;
        c->out[(c->out_head + c->out_count) % LOCKSTEP_MAX_OUTBOX] = *o;
        c->out_count++;
    }
    c->write();
}

bool netclient_lost(const NetClient* c)
{
    return c->lost;
}

void netclient_close(NetClient* c)
{
    if (!c)
        return;
    c->closed = true;
    error_code ignored;
    c->lowest().socket().close(ignored);
    c->resolver.cancel();
    // Its handlers still hold it; they end at the next run of the loop.
    c->self_ref.reset();
    netclient_run(0);
}

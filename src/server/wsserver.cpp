// Everything of the network library lives in this one file: it is slow to compile.
#include "wsserver.h"

#include <sys/random.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Boost 1.74's Asio uses std::exchange in C++20 mode without including <utility> itself.
#include <utility>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using boost::system::error_code;

// Messages a client may have waiting to be sent before it counts as not reading.
constexpr size_t MAX_QUEUED = 4096;

u64 now_us()
{
    return (u64)std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Server;

struct WsConn : std::enable_shared_from_this<WsConn> {
    Server* server;
    websocket::stream<beast::tcp_stream> ws;
    beast::flat_buffer buffer;
    u64 id;
    std::deque<std::vector<u8>> out;
    bool writing = false;
    bool closing = false;  // close once `out` is sent
    bool gone = false;     // the relay has forgotten it

    WsConn(Server* s, beast::tcp_stream&& stream, u64 id_) : server(s), ws(std::move(stream)), id(id_) {}
    void start(http::request<http::string_body> req);
    void read();
    void send(const u8* data, size_t n);
    void write();
    void close();
    void fail(const std::string& why);
};

struct Server {
    asio::io_context ioc;
    tcp::acceptor acceptor{ioc};
    asio::steady_timer timer{ioc};
    asio::signal_set signals{ioc, SIGINT, SIGTERM};
    std::filesystem::path page_root;
    Relay relay;
    std::map<u64, std::shared_ptr<WsConn>> conns;
    u64 next_id = 1;
    int http_connections = 0;
    int max_http_connections = 256;
    int stats_seconds = 0;
    u64 next_stats_us = 0;
    bool stopping = false;
};

void log_line(void*, const char* line) { std::printf("%s\n", line); }

void relay_send(void* ctx, u64 client, const u8* data, size_t n)
{
    Server* s = (Server*)ctx;
    auto it = s->conns.find(client);
    if (it != s->conns.end())
        it->second->send(data, n);
}

void relay_close(void* ctx, u64 client)
{
    Server* s = (Server*)ctx;
    auto it = s->conns.find(client);
    if (it == s->conns.end())
        return;
    std::shared_ptr<WsConn> c = it->second;
    s->conns.erase(it);
    c->gone = true;
    c->closing = true;
    if (!c->writing)
        c->close();
}

void crypto_random(void*, u8* out, size_t n)
{
    while (n > 0) {
        ssize_t got = getrandom(out, n, 0);
        if (got <= 0)
            continue;  // interrupted; the kernel's source does not run dry once seeded
        out += got;
        n -= (size_t)got;
    }
}

s64 calendar_second(void*) { return (s64)std::time(nullptr); }

void WsConn::start(http::request<http::string_body> req)
{
    beast::get_lowest_layer(ws).expires_never();
    ws.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws.read_message_max(NET_MAX_MESSAGE);
    ws.binary(true);
    ws.async_accept(req, [self = shared_from_this()](error_code ec) {
        if (ec || self->server->stopping)
            return;
        self->server->conns[self->id] = self;
        if (!relay_connect(&self->server->relay, self->id, now_us()))
            return;
        self->read();
    });
}

void WsConn::read()
{
    ws.async_read(buffer, [self = shared_from_this()](error_code ec, size_t) {
        if (ec) {
            self->fail(ec == websocket::error::message_too_big ? "message over the size limit"
                                                               : ec.message());
            return;
        }
        if (!self->gone) {
            auto data = self->buffer.data();
            relay_receive(&self->server->relay, self->id, (const u8*)data.data(), data.size(), now_us());
        }
        self->buffer.consume(self->buffer.size());
        if (!self->gone)
            self->read();
    });
}

void WsConn::send(const u8* data, size_t n)
{
    if (closing)
        return;
    if (out.size() >= MAX_QUEUED) {
        // Dropped later: the relay may be walking its games right now.
        closing = true;
        asio::post(server->ioc, [self = shared_from_this()] { self->fail("not reading its messages"); });
        return;
    }
    out.emplace_back(data, data + n);
    if (!writing)
        write();
}

void WsConn::write()
{
    if (out.empty()) {
        writing = false;
        if (closing)
            close();
        return;
    }
    writing = true;
    ws.async_write(asio::buffer(out.front()), [self = shared_from_this()](error_code ec, size_t) {
        if (ec) {
            self->writing = false;
            self->fail(ec.message());
            return;
        }
        self->out.pop_front();
        self->write();
    });
}

void WsConn::close()
{
    ws.async_close(websocket::close_code::normal, [self = shared_from_this()](error_code) {
        beast::get_lowest_layer(self->ws).close();
    });
}

void WsConn::fail(const std::string& why)
{
    if (!gone) {
        gone = true;
        server->conns.erase(id);
        relay_disconnect(&server->relay, id, why.c_str());
    }
    out.clear();
    error_code ignored;
    beast::get_lowest_layer(ws).socket().close(ignored);
}

const char* content_type(const std::string& path)
{
    static const std::pair<const char*, const char*> types[] = {
        {".html", "text/html; charset=utf-8"}, {".js", "text/javascript"},
        {".css", "text/css"},                  {".wasm", "application/wasm"},
        {".png", "image/png"},                 {".wav", "audio/wav"},
        {".json", "application/json"},         {".data", "application/octet-stream"},
        {".ico", "image/x-icon"},
    };
    for (const auto& [ext, type] : types)
        if (path.size() >= std::strlen(ext) && path.compare(path.size() - std::strlen(ext), std::string::npos, ext) == 0)
            return type;
    return "application/octet-stream";
}

// The file a request names under the page folder, or empty when it names none there: only
// plain names and folders, never "..", a backslash, an escape or a link that leads outside.
std::filesystem::path page_file(const Server* s, std::string target)
{
    size_t q = target.find('?');
    if (q != std::string::npos)
        target.resize(q);
    if (target.empty() || target[0] != '/' || target.find("..") != std::string::npos ||
        target.find('\\') != std::string::npos || target.find('%') != std::string::npos ||
        target.find('\0') != std::string::npos)
        return {};
    if (target.back() == '/')
        target += "index.html";
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(s->page_root / target.substr(1), ec);
    if (ec)
        return {};
    std::string root = s->page_root.string() + "/";
    if (p.string().compare(0, root.size(), root) != 0 || !std::filesystem::is_regular_file(p, ec))
        return {};
    return p;
}

struct HttpConn : std::enable_shared_from_this<HttpConn> {
    Server* server;
    beast::tcp_stream stream;
    beast::flat_buffer buffer;
    std::unique_ptr<http::request_parser<http::string_body>> parser;

    HttpConn(Server* s, tcp::socket&& socket) : server(s), stream(std::move(socket)) { server->http_connections++; }
    ~HttpConn() { server->http_connections--; }

    void read()
    {
        parser = std::make_unique<http::request_parser<http::string_body>>();
        parser->header_limit(8192);
        parser->body_limit(1024);
        // The time a client may take to say what it wants.
        stream.expires_after(std::chrono::microseconds(server->relay.limits.hello_timeout_us));
        http::async_read(stream, buffer, *parser, [self = shared_from_this()](error_code ec, size_t) {
            if (ec)
                return;  // closed, timed out or garbled: the connection simply ends
            self->handle(self->parser->release());
        });
    }

    template <class Response>
    void reply(std::shared_ptr<Response> res)
    {
        http::async_write(stream, *res, [self = shared_from_this(), res](error_code ec, size_t) {
            if (ec || !res->keep_alive()) {
                error_code ignored;
                self->stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
                return;
            }
            self->read();
        });
    }

    void error(http::status status, const http::request<http::string_body>& req)
    {
        auto res = std::make_shared<http::response<http::string_body>>(status, req.version());
        res->set(http::field::content_type, "text/plain");
        res->keep_alive(req.keep_alive());
        res->body() = std::string(http::obsolete_reason(status)) + "\n";
        res->prepare_payload();
        reply(res);
    }

    void handle(http::request<http::string_body> req)
    {
        if (websocket::is_upgrade(req)) {
            if (req.target() != "/play")
                return error(http::status::not_found, req);
            auto ws = std::make_shared<WsConn>(server, std::move(stream), server->next_id++);
            ws->start(std::move(req));
            return;
        }
        if (req.method() != http::verb::get && req.method() != http::verb::head)
            return error(http::status::method_not_allowed, req);
        std::filesystem::path path = page_file(server, std::string(req.target()));
        if (path.empty())
            return error(http::status::not_found, req);
        http::file_body::value_type body;
        error_code ec;
        body.open(path.c_str(), beast::file_mode::scan, ec);
        if (ec)
            return error(http::status::not_found, req);
        auto res = std::make_shared<http::response<http::file_body>>(
            std::piecewise_construct, std::make_tuple(std::move(body)),
            std::make_tuple(http::status::ok, req.version()));
        res->set(http::field::content_type, content_type(path.string()));
        res->set(http::field::cache_control, "no-cache");
        res->keep_alive(req.keep_alive());
        res->prepare_payload();
        reply(res);
    }
};

void accept(Server* s)
{
    s->acceptor.async_accept([s](error_code ec, tcp::socket socket) {
        if (s->stopping)
            return;
        if (!ec) {
            if (s->http_connections >= s->max_http_connections + s->relay.limits.max_clients) {
                error_code ignored;
                socket.close(ignored);
            } else {
                // Turns are small and due now: never held back to be joined with the next.
                error_code ignored;
                socket.set_option(tcp::no_delay(true), ignored);
                std::make_shared<HttpConn>(s, std::move(socket))->read();
            }
        }
        accept(s);
    });
}

void tick(Server* s)
{
    u64 now = now_us();
    relay_tick(&s->relay, now);
    if (s->stats_seconds > 0 && now >= s->next_stats_us) {
        s->next_stats_us = now + (u64)s->stats_seconds * 1000000;
        std::printf("stats: %zu games, %zu clients, %llu turns, late p50 %.1f ms p99 %.1f ms p99.9 %.1f ms\n",
                    s->relay.games.size(), s->relay.clients.size(),
                    (unsigned long long)s->relay.turns_total, relay_lateness_ms(&s->relay, 0.5),
                    relay_lateness_ms(&s->relay, 0.99), relay_lateness_ms(&s->relay, 0.999));
    }
    u64 wait = relay_next_due_us(&s->relay, now_us(), 5000);
    s->timer.expires_after(std::chrono::microseconds(wait));
    s->timer.async_wait([s](error_code ec) {
        if (!ec && !s->stopping)
            tick(s);
    });
}

}  // namespace

int server_run(const ServerOptions* o)
{
    auto s = std::make_unique<Server>();
    RelayIo io = {s.get(), relay_send, relay_close, log_line, crypto_random, calendar_second};
    relay_init(&s->relay, &o->limits, &io);
    s->max_http_connections = o->max_http_connections;
    s->stats_seconds = o->stats_seconds;
    std::error_code fec;
    s->page_root = std::filesystem::weakly_canonical(o->page_dir, fec);
    if (fec || !std::filesystem::is_directory(s->page_root))
        std::fprintf(stderr, "Page folder %s not found: only games are served\n", o->page_dir);

    error_code ec;
    asio::ip::address addr = asio::ip::make_address(o->address, ec);
    if (ec) {
        std::fprintf(stderr, "Not an address: %s\n", o->address);
        return 2;
    }
    tcp::endpoint ep(addr, o->port);
    s->acceptor.open(ep.protocol(), ec);
    if (!ec)
        s->acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        s->acceptor.bind(ep, ec);
    if (!ec)
        s->acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        std::fprintf(stderr, "Cannot listen on %s:%u: %s\n", o->address, o->port, ec.message().c_str());
        return 1;
    }
    unsigned port = s->acceptor.local_endpoint().port();
    std::string shown = addr.is_v6() ? "[" + addr.to_string() + "]" : addr.to_string();
    std::printf("Listening on http://%s:%u/\n", shown.c_str(), port);

    s->signals.async_wait([&s](error_code, int) {
        std::printf("server closing\n");
        relay_shutdown(&s->relay);
        s->stopping = true;
        error_code ignored;
        s->acceptor.close(ignored);
        s->timer.cancel();
        // What is queued goes out; then the loop ends by itself, or after a second at most.
        auto t = std::make_shared<asio::steady_timer>(s->ioc, std::chrono::seconds(1));
        t->async_wait([&s, t](error_code) { s->ioc.stop(); });
    });
    accept(s.get());
    tick(s.get());
    s->ioc.run();
    return 0;
}

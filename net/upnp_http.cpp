#include "net/upnp_http.h"

#ifdef VARNHOLD_HAVE_MINIUPNPC
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <miniupnpc/miniwget.h>

namespace {

int64_t now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool failed(UpnpHttpAnswer* answer, const char* why) {
    std::snprintf(answer->why, sizeof answer->why, "%s", why);
    return false;
}

// Connects to the URL's host before the deadline; the socket, or -1. The
// path and the Host header's text come back for the request.
int connect_device(const char* url, int64_t deadline, char* host_header, int host_size, char** path,
                   UpnpHttpAnswer* answer) {
    char host[256] = "";
    unsigned short port = 0;
    unsigned int scope = 0;
    if (!parseURL(url, host, &port, path, &scope)) return failed(answer, "its address is no http URL"), -1;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    char service[8];
    std::snprintf(service, sizeof service, "%u", port);
    addrinfo* found = nullptr;
    if (getaddrinfo(host, service, &hints, &found) != 0) return failed(answer, "its address is no number"), -1;
    if (found->ai_family == AF_INET6) reinterpret_cast<sockaddr_in6*>(found->ai_addr)->sin6_scope_id = scope;
    const int s = socket(found->ai_family, SOCK_STREAM, 0);
    bool connected = false;
    if (s >= 0 && fcntl(s, F_SETFL, O_NONBLOCK) == 0) {
        connected = connect(s, found->ai_addr, found->ai_addrlen) == 0;
        pollfd wait = {s, POLLOUT, 0};
        int error = 0;
        socklen_t error_size = sizeof error;
        const int left = static_cast<int>(std::max<int64_t>(0, deadline - now_ms()));
        if (!connected && errno == EINPROGRESS && poll(&wait, 1, left) == 1)
            connected = getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &error_size) == 0 && error == 0;
    }
    const bool v6 = found->ai_family == AF_INET6;
    freeaddrinfo(found);
    if (!connected) {
        if (s >= 0) close(s);
        return failed(answer, "it could not be reached"), -1;
    }
    std::snprintf(host_header, host_size, v6 ? "[%s]:%u" : "%s:%u", host, port);
    sockaddr_storage local{};
    socklen_t local_size = sizeof local;
    answer->local_address[0] = '\0';
    if (getsockname(s, reinterpret_cast<sockaddr*>(&local), &local_size) == 0)
        getnameinfo(reinterpret_cast<sockaddr*>(&local), local_size, answer->local_address,
                    sizeof answer->local_address, nullptr, 0, NI_NUMERICHOST);
    return s;
}

bool send_request(int s, const char* request, int size, int64_t deadline) {
    while (size > 0) {
        pollfd wait = {s, POLLOUT, 0};
        const int64_t left = deadline - now_ms();
        if (left <= 0 || poll(&wait, 1, static_cast<int>(left)) != 1) return false;
        const ssize_t sent = send(s, request, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        request += sent;
        size -= static_cast<int>(sent);
    }
    return true;
}

// The value of header NAME (with its colon) in the head, or nullptr.
const char* header_value(const char* head, const char* head_end, const char* name) {
    const size_t name_size = std::strlen(name);
    for (const char* line = std::strstr(head, "\r\n"); line && line < head_end; line = std::strstr(line + 2, "\r\n"))
        if (strncasecmp(line + 2, name, name_size) == 0) return line + 2 + name_size;
    return nullptr;
}

// Joins the chunks of a chunked body in place; false when they do not add up.
bool join_chunks(UpnpHttpAnswer* answer) {
    char* read = const_cast<char*>(answer->body);
    char* write = read;
    const char* end = answer->body + answer->body_size;
    for (;;) {
        char* after = nullptr;
        const long size = std::strtol(read, &after, 16);
        const char* line_end = std::strstr(read, "\r\n");
        if (after == read || size < 0 || !line_end || size > end - (line_end + 2)) return false;
        if (size == 0) break;
        std::memmove(write, line_end + 2, size);
        write += size;
        read = const_cast<char*>(line_end) + 2 + size;
        if (read + 2 <= end && read[0] == '\r' && read[1] == '\n') read += 2;
    }
    answer->body_size = static_cast<int>(write - answer->body);
    *write = '\0';
    return true;
}

// Reads until the device closes, or the length it said has come; never
// past the buffer or the deadline.
bool read_answer(int s, int64_t deadline, UpnpHttpAnswer* answer) {
    answer->size = 0;
    for (;;) {
        pollfd wait = {s, POLLIN, 0};
        const int64_t left = deadline - now_ms();
        if (left <= 0 || poll(&wait, 1, static_cast<int>(left)) != 1) return failed(answer, "its answer did not end within 2 s");
        const ssize_t got = recv(s, answer->bytes + answer->size, upnp_answer_capacity - answer->size, 0);
        if (got < 0) return failed(answer, "its answer was cut off");
        answer->size += static_cast<int>(got);
        answer->bytes[answer->size] = '\0';
        if (got == 0) return true;
        const char* head_end = std::strstr(answer->bytes, "\r\n\r\n");
        const char* length = head_end ? header_value(answer->bytes, head_end, "Content-Length:") : nullptr;
        if (length && answer->size - (head_end + 4 - answer->bytes) >= std::strtol(length, nullptr, 10)) return true;
        if (answer->size == upnp_answer_capacity) return failed(answer, "its answer is longer than 64 kB");
    }
}

}  // namespace

bool upnp_read_http_answer(UpnpHttpAnswer* answer) {
    answer->bytes[answer->size] = '\0';
    const char* head_end = std::strstr(answer->bytes, "\r\n\r\n");
    if (!head_end || std::sscanf(answer->bytes, "HTTP/%*d.%*d %d", &answer->status) != 1)
        return failed(answer, "its answer is no HTTP");
    answer->body = head_end + 4;
    answer->body_size = static_cast<int>(answer->bytes + answer->size - answer->body);
    const char* length = header_value(answer->bytes, head_end, "Content-Length:");
    const long wanted = length ? std::strtol(length, nullptr, 10) : -1;
    if (wanted > answer->body_size) return failed(answer, "its answer was cut short");
    if (wanted >= 0) answer->body_size = static_cast<int>(wanted);
    const char* coding = header_value(answer->bytes, head_end, "Transfer-Encoding:");
    if (coding && strncasecmp(coding + std::strspn(coding, " "), "chunked", 7) == 0 && !join_chunks(answer))
        return failed(answer, "its answer's chunks do not add up");
    return true;
}

namespace {

// GET (no SOAP action) or POST the body, and read the answer whole.
bool exchange(const char* url, const char* soap_action, const char* body, UpnpHttpAnswer* answer) {
    const int64_t deadline = now_ms() + upnp_exchange_ms;
    answer->size = answer->body_size = answer->status = 0;
    answer->body = answer->bytes;
    answer->bytes[0] = '\0';
    char host[300];
    char* path = nullptr;
    const int s = connect_device(url, deadline, host, sizeof host, &path, answer);
    if (s < 0) return false;
    // HTTP/1.0: the answer ends when the device closes, and comes in one piece.
    static char request[8192];
    const int size =
        soap_action ? std::snprintf(request, sizeof request,
                                    "POST %s HTTP/1.0\r\nHost: %s\r\nContent-Type: text/xml; charset=\"utf-8\"\r\n"
                                    "SOAPAction: \"%s\"\r\nContent-Length: %zu\r\nConnection: close\r\n\r\n%s",
                                    path, host, soap_action, std::strlen(body), body)
                    : std::snprintf(request, sizeof request, "GET %s HTTP/1.0\r\nHost: %s\r\nConnection: close\r\n\r\n",
                                    path, host);
    bool whole = false;
    if (size <= 0 || size >= static_cast<int>(sizeof request)) failed(answer, "its address is too long");
    else if (!send_request(s, request, size, deadline)) failed(answer, "it took no request within 2 s");
    else whole = read_answer(s, deadline, answer) && upnp_read_http_answer(answer);
    close(s);
    return whole;
}

}  // namespace

bool upnp_http_get(const char* url, UpnpHttpAnswer* answer) { return exchange(url, nullptr, "", answer); }

bool upnp_http_soap(const char* url, const char* service, const char* action, const char* arguments,
                    UpnpHttpAnswer* answer) {
    static char body[2048];
    std::snprintf(body, sizeof body,
                  "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                  "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body><u:%s xmlns:u=\"%s\">%s"
                  "</u:%s></s:Body></s:Envelope>\r\n",
                  action, service, arguments, action);
    char soap_action[400];
    std::snprintf(soap_action, sizeof soap_action, "%s#%s", service, action);
    return exchange(url, soap_action, body, answer);
}

#endif

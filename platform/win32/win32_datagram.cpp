// The system half of platform/datagram.h on Winsock: the same promises as
// the POSIX sockets of the other backends.
#include <cstdio>
#include <cstring>

#include "platform/common/socket_address.h"
#include "platform/datagram.h"

namespace {

char last_error[320] = "";

void note_error(const char* step, int code) {
    std::snprintf(last_error, sizeof last_error, "%s: Winsock error %d", step, code);
}

// Winsock hands out SOCKETs, which are not small numbers; the game's handles
// index this table.
constexpr int socket_capacity = 8;
SOCKET sockets[socket_capacity];
int socket_families[socket_capacity];
bool started = false;

bool start_winsock() {
    if (started) return true;
    WSADATA data;
    const int status = WSAStartup(MAKEWORD(2, 2), &data);
    if (status != 0) {
        note_error("WSAStartup", status);
        return false;
    }
    for (SOCKET& entry : sockets) entry = INVALID_SOCKET;
    started = true;
    return true;
}

SOCKET system_socket(int handle) {
    return started && handle >= 0 && handle < socket_capacity ? sockets[handle] : INVALID_SOCKET;
}

}  // namespace

int datagram_open(const DatagramAddress& local) {
    if (!start_winsock()) return -1;
    int handle = 0;
    while (handle < socket_capacity && sockets[handle] != INVALID_SOCKET) ++handle;
    if (handle == socket_capacity) {
        note_error("socket", WSAEMFILE);
        return -1;
    }
    const int family = local.family == datagram_ipv6 ? AF_INET6 : AF_INET;
    const SOCKET system = socket(family, SOCK_DGRAM, IPPROTO_UDP);
    if (system == INVALID_SOCKET) {
        note_error("socket", WSAGetLastError());
        return -1;
    }
    const DWORD off = 0;
    if (family == AF_INET6)
        setsockopt(system, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&off), sizeof off);
    sockaddr_storage address;
    const int length = address_to_system(local, family, &address);
    u_long non_blocking = 1;
    if (bind(system, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ioctlsocket(system, FIONBIO, &non_blocking) != 0) {
        note_error("bind", WSAGetLastError());
        closesocket(system);
        return -1;
    }
    sockets[handle] = system;
    socket_families[handle] = family;
    return handle;
}

int datagram_local_port(int socket) {
    sockaddr_storage bound;
    int length = sizeof bound;
    if (getsockname(system_socket(socket), reinterpret_cast<sockaddr*>(&bound), &length) != 0) return 0;
    return address_from_system(bound).port;
}

bool datagram_send(int socket, const DatagramAddress& to, const void* bytes, int size) {
    const SOCKET system = system_socket(socket);
    if (system == INVALID_SOCKET || (socket_families[socket] == AF_INET && to.family != datagram_ipv4)) return false;
    sockaddr_storage address;
    const int length = address_to_system(to, socket_families[socket], &address);
    return sendto(system, static_cast<const char*>(bytes), size, 0, reinterpret_cast<sockaddr*>(&address), length) ==
           size;
}

int datagram_receive(int socket, void* bytes, int capacity, DatagramAddress* from) {
    const SOCKET system = system_socket(socket);
    if (system == INVALID_SOCKET) return -1;
    // A datagram this socket sent that met a closed port comes back as a
    // "connection reset" on the next receive; it is no datagram, and the
    // ones behind it still wait.
    for (int attempt = 0; attempt < 16; ++attempt) {
        sockaddr_storage address;
        int length = sizeof address;
        const int size = recvfrom(system, static_cast<char*>(bytes), capacity, 0, reinterpret_cast<sockaddr*>(&address),
                                  &length);
        const int error = size < 0 ? WSAGetLastError() : 0;
        if (error == WSAECONNRESET) continue;
        if (size < 0 && error != WSAEMSGSIZE) return -1;
        *from = address_from_system(address);
        return size < 0 ? capacity + 1 : size;
    }
    return -1;
}

bool datagram_wait(int socket, int timeout_ms) {
    const SOCKET system = system_socket(socket);
    if (system == INVALID_SOCKET) return false;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(system, &readable);
    const int wait_ms = timeout_ms > 0 ? timeout_ms : 0;
    timeval timeout = {wait_ms / 1000, wait_ms % 1000 * 1000};
    return select(0, &readable, nullptr, nullptr, &timeout) > 0;
}

void datagram_close(int socket) {
    const SOCKET system = system_socket(socket);
    if (system == INVALID_SOCKET) return;
    closesocket(system);
    sockets[socket] = INVALID_SOCKET;
}

namespace {

bool first_address(const char* host, DatagramAddress* address) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(host, nullptr, &hints, &found);
    if (status != 0) {
        note_error(host, status);
        return false;
    }
    const bool resolved = first_resolved_address(found, address);
    freeaddrinfo(found);
    if (!resolved) std::snprintf(last_error, sizeof last_error, "%s: no IPv4 or IPv6 address", host);
    return resolved;
}

}  // namespace

bool datagram_resolve(const char* text, int default_port, DatagramAddress* address) {
    char host[datagram_host_capacity];
    int port = 0;
    char why[160];
    if (!datagram_split_host_port(text, default_port, host, sizeof host, &port, why, sizeof why)) {
        std::snprintf(last_error, sizeof last_error, "the address needs %s", why);
        return false;
    }
    if (!start_winsock() || !first_address(host, address)) return false;
    address->port = static_cast<uint16_t>(port);
    return true;
}

// Windows resolves its own name to the addresses of every interface, which
// needs nothing beyond Winsock.
int datagram_local_addresses(DatagramAddress* addresses, int capacity) {
    char name[256];
    if (!start_winsock() || gethostname(name, sizeof name) != 0) return 0;
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0) return 0;
    int count = 0;
    for (const addrinfo* entry = found; entry && count < capacity; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
        sockaddr_storage system;
        std::memset(&system, 0, sizeof system);
        std::memcpy(&system, entry->ai_addr, entry->ai_addrlen);
        const DatagramAddress address = address_from_system(system);
        if (datagram_address_reaches_others(address)) addresses[count++] = address;
    }
    freeaddrinfo(found);
    return count;
}

const char* datagram_last_error() { return last_error; }

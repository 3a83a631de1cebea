// The system half of platform/datagram.h on Winsock: the same promises as
// the POSIX sockets of the other backends.
#include <cstdio>
#include <cstring>

#include "platform/common/socket_address.h"
#include "platform/datagram.h"

#include <iphlpapi.h>
#include <mswsock.h>

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
// WSARecvMsg, the one receive that tells the address a datagram was sent
// to, is reached through a socket.
LPFN_WSARECVMSG receive_message = nullptr;

// Each datagram then tells the address it was sent to (IPv4 senders on an
// IPv6 socket too).
void ask_called_address(SOCKET system, int family) {
    const DWORD on = 1;
    if (family == AF_INET6)
        setsockopt(system, IPPROTO_IPV6, IPV6_PKTINFO, reinterpret_cast<const char*>(&on), sizeof on);
    setsockopt(system, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&on), sizeof on);
    GUID id = WSAID_WSARECVMSG;
    DWORD size = 0;
    if (!receive_message)
        WSAIoctl(system, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &receive_message, sizeof receive_message,
                 &size, nullptr, nullptr);
}

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

int open_socket(const DatagramAddress& local, bool shared) {
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
    const DWORD on = 1;
    if (shared) setsockopt(system, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_storage address;
    const int length = address_to_system(local, family, &address);
    u_long non_blocking = 1;
    if (bind(system, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ioctlsocket(system, FIONBIO, &non_blocking) != 0) {
        note_error("bind", WSAGetLastError());
        closesocket(system);
        return -1;
    }
    ask_called_address(system, family);
    sockets[handle] = system;
    socket_families[handle] = family;
    return handle;
}

}  // namespace

int datagram_open(const DatagramAddress& local) { return open_socket(local, false); }

int datagram_open_shared(const DatagramAddress& local) { return open_socket(local, true); }

bool datagram_allow_broadcast(int socket) {
    const DWORD on = 1;
    const SOCKET system = system_socket(socket);
    return system != INVALID_SOCKET &&
           setsockopt(system, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

// Windows lists its interfaces' broadcast addresses only through the IP
// helper library; the limited broadcast reaches the same machines on the
// link the system routes it to, and the all-nodes group goes out on the
// system's default IPv6 interface.
int datagram_link_addresses(DatagramAddress* addresses, int capacity, int port) {
    int count = 0;
    if (count < capacity) {
        addresses[count] = datagram_any_address(datagram_ipv4, port);
        std::memset(addresses[count++].bytes, 0xff, 4);
    }
    if (count < capacity) {
        addresses[count] = datagram_any_address(datagram_ipv6, port);
        addresses[count].bytes[0] = 0xff, addresses[count].bytes[1] = 0x02, addresses[count].bytes[15] = 1;
        ++count;
    }
    return count;
}

void datagram_machine_name(char* name, int size) {
    if (!start_winsock() || gethostname(name, size) != 0) name[0] = '\0';
    name[size - 1] = '\0';
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

int datagram_receive_at(int socket, void* bytes, int capacity, DatagramAddress* from, DatagramAddress* called) {
    const SOCKET system = system_socket(socket);
    if (system == INVALID_SOCKET) return -1;
    if (!receive_message) {  // a system without WSARecvMsg does not tell the address called
        const int size = datagram_receive(socket, bytes, capacity, from);
        if (size >= 0) *called = datagram_any_address(from->family, 0);
        return size;
    }
    for (int attempt = 0; attempt < 16; ++attempt) {  // as datagram_receive: resets are no datagrams
        sockaddr_storage address;
        char control[WSA_CMSG_SPACE(sizeof(IN6_PKTINFO)) + WSA_CMSG_SPACE(sizeof(IN_PKTINFO))];
        WSABUF part = {static_cast<ULONG>(capacity), static_cast<char*>(bytes)};
        WSAMSG message = {reinterpret_cast<sockaddr*>(&address), sizeof address, &part, 1, {sizeof control, control}, 0};
        DWORD size = 0;
        const int error = receive_message(system, &message, &size, nullptr, nullptr) == 0 ? 0 : WSAGetLastError();
        if (error == WSAECONNRESET) continue;
        if (error != 0 && error != WSAEMSGSIZE) return -1;
        *from = address_from_system(address);
        *called = datagram_any_address(from->family, 0);
        for (WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message); header; header = WSA_CMSG_NXTHDR(&message, header)) {
            sockaddr_storage local = {};
            if (header->cmsg_level == IPPROTO_IPV6 && header->cmsg_type == IPV6_PKTINFO) {
                local.ss_family = AF_INET6;
                std::memcpy(&reinterpret_cast<sockaddr_in6&>(local).sin6_addr, WSA_CMSG_DATA(header), sizeof(IN6_ADDR));
            } else if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
                local.ss_family = AF_INET;
                std::memcpy(&reinterpret_cast<sockaddr_in&>(local).sin_addr, WSA_CMSG_DATA(header), sizeof(IN_ADDR));
            } else {
                continue;
            }
            *called = address_from_system(local);
        }
        return error ? capacity + 1 : static_cast<int>(size);
    }
    return -1;
}

// From the address called, as the system's packet information says it
// (IPv4's for an IPv4 peer, on a dual-stack socket too); should the system
// refuse that, from the one its routes choose. (Wine takes the packet
// information and sends from its routes' choice: its guests follow the
// welcome.)
bool datagram_send_from(int socket, const DatagramAddress& local, const DatagramAddress& to, const void* bytes,
                        int size) {
    const SOCKET system = system_socket(socket);
    const DatagramAddress any = datagram_any_address(local.family, 0);
    if (system == INVALID_SOCKET || local.family != to.family || std::memcmp(local.bytes, any.bytes, 16) == 0)
        return datagram_send(socket, to, bytes, size);
    sockaddr_storage address, source;
    const int length = address_to_system(to, socket_families[socket], &address);
    address_to_system(local, local.family == datagram_ipv6 ? AF_INET6 : AF_INET, &source);
    char control[WSA_CMSG_SPACE(sizeof(IN6_PKTINFO))] = {};
    WSABUF part = {static_cast<ULONG>(size), static_cast<char*>(const_cast<void*>(bytes))};
    WSAMSG message = {reinterpret_cast<sockaddr*>(&address), length, &part, 1, {sizeof control, control}, 0};
    WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message);
    if (local.family == datagram_ipv6) {
        IN6_PKTINFO info = {reinterpret_cast<sockaddr_in6&>(source).sin6_addr, 0};
        header->cmsg_level = IPPROTO_IPV6, header->cmsg_type = IPV6_PKTINFO, header->cmsg_len = WSA_CMSG_LEN(sizeof info);
        message.Control.len = WSA_CMSG_SPACE(sizeof info);
        std::memcpy(WSA_CMSG_DATA(header), &info, sizeof info);
    } else {
        IN_PKTINFO info = {reinterpret_cast<sockaddr_in&>(source).sin_addr, 0};
        header->cmsg_level = IPPROTO_IP, header->cmsg_type = IP_PKTINFO, header->cmsg_len = WSA_CMSG_LEN(sizeof info);
        message.Control.len = WSA_CMSG_SPACE(sizeof info);
        std::memcpy(WSA_CMSG_DATA(header), &info, sizeof info);
    }
    DWORD sent = 0;
    if (WSASendMsg(system, &message, 0, &sent, nullptr, nullptr) == 0) return static_cast<int>(sent) == size;
    return datagram_send(socket, to, bytes, size);
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

bool datagram_default_gateway(DatagramAddress* gateway) {
    // The system's best route to an address on the Internet goes through the router.
    MIB_IPFORWARDROW route;
    if (GetBestRoute(htonl(0x08080808), 0, &route) != NO_ERROR || route.dwForwardNextHop == 0) {
        note_error("GetBestRoute", static_cast<int>(GetLastError()));
        return false;
    }
    *gateway = datagram_any_address(datagram_ipv4, 0);
    std::memcpy(gateway->bytes, &route.dwForwardNextHop, 4);
    return true;
}

bool datagram_source_for(const DatagramAddress& to, DatagramAddress* local) {
    if (!start_winsock()) return false;
    const int family = to.family == datagram_ipv6 ? AF_INET6 : AF_INET;
    const SOCKET handle = socket(family, SOCK_DGRAM, 0);
    if (handle == INVALID_SOCKET) return false;
    sockaddr_storage system;
    DatagramAddress target = to;
    if (target.port == 0) target.port = 9;  // connecting needs a port; nothing is sent
    const int length = address_to_system(target, family, &system);
    sockaddr_storage bound;
    int bound_length = sizeof bound;
    const bool known = connect(handle, reinterpret_cast<sockaddr*>(&system), length) == 0 &&
                       getsockname(handle, reinterpret_cast<sockaddr*>(&bound), &bound_length) == 0;
    closesocket(handle);
    if (!known) return false;
    *local = address_from_system(bound);
    local->port = 0;
    return true;
}

const char* datagram_last_error() { return last_error; }

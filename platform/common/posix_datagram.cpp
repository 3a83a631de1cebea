// The system half of platform/datagram.h on POSIX sockets, shared by the SDL
// and headless backends; the Windows backend has its own on Winsock.
#include <fcntl.h>
#include <ifaddrs.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/common/socket_address.h"
#include "platform/datagram.h"

namespace {

char last_error[320] = "";

void note_error(const char* step, const char* reason) {
    std::snprintf(last_error, sizeof last_error, "%s: %s", step, reason);
}

int socket_family(int socket) {
    sockaddr_storage bound;
    socklen_t length = sizeof bound;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length) != 0) return AF_INET;
    return bound.ss_family;
}

}  // namespace

int datagram_open(const DatagramAddress& local) {
    const int family = local.family == datagram_ipv6 ? AF_INET6 : AF_INET;
    const int handle = socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle < 0) {
        note_error("socket", std::strerror(errno));
        return -1;
    }
    const int off = 0;
    if (family == AF_INET6) setsockopt(handle, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    sockaddr_storage system;
    const socklen_t length = address_to_system(local, family, &system);
    if (bind(handle, reinterpret_cast<sockaddr*>(&system), length) != 0) {
        note_error("bind", std::strerror(errno));
        close(handle);
        return -1;
    }
    return handle;
}

int datagram_local_port(int socket) {
    sockaddr_storage bound;
    socklen_t length = sizeof bound;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length) != 0) return 0;
    return address_from_system(bound).port;
}

bool datagram_send(int socket, const DatagramAddress& to, const void* bytes, int size) {
    const int family = socket_family(socket);
    if (family == AF_INET && to.family != datagram_ipv4) return false;
    sockaddr_storage system;
    const socklen_t length = address_to_system(to, family, &system);
    return sendto(socket, bytes, static_cast<size_t>(size), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&system),
                  length) == size;
}

int datagram_receive(int socket, void* bytes, int capacity, DatagramAddress* from) {
    sockaddr_storage system;
    iovec part = {bytes, static_cast<size_t>(capacity)};
    msghdr message;
    std::memset(&message, 0, sizeof message);
    message.msg_name = &system;
    message.msg_namelen = sizeof system;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t size = recvmsg(socket, &message, MSG_DONTWAIT);
    if (size < 0) return -1;
    *from = address_from_system(system);
    return message.msg_flags & MSG_TRUNC ? capacity + 1 : static_cast<int>(size);
}

bool datagram_wait(int socket, int timeout_ms) {
    pollfd watched = {socket, POLLIN, 0};
    return poll(&watched, 1, timeout_ms > 0 ? timeout_ms : 0) > 0 && (watched.revents & POLLIN);
}

void datagram_close(int socket) {
    if (socket >= 0) close(socket);
}

bool datagram_resolve(const char* text, int default_port, DatagramAddress* address) {
    char host[datagram_host_capacity];
    int port = 0;
    char why[160];
    if (!datagram_split_host_port(text, default_port, host, sizeof host, &port, why, sizeof why)) {
        std::snprintf(last_error, sizeof last_error, "the address needs %s", why);
        return false;
    }
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(host, nullptr, &hints, &found);
    if (status != 0) {
        note_error(host, gai_strerror(status));
        return false;
    }
    const bool resolved = first_resolved_address(found, address);
    freeaddrinfo(found);
    if (!resolved) note_error(host, "no IPv4 or IPv6 address");
    address->port = static_cast<uint16_t>(port);
    return resolved;
}

int datagram_local_addresses(DatagramAddress* addresses, int capacity) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        note_error("getifaddrs", std::strerror(errno));
        return 0;
    }
    int count = 0;
    for (const ifaddrs* entry = list; entry && count < capacity; entry = entry->ifa_next) {
        const int family = entry->ifa_addr ? entry->ifa_addr->sa_family : AF_UNSPEC;
        if (family != AF_INET && family != AF_INET6) continue;
        sockaddr_storage system;
        std::memset(&system, 0, sizeof system);
        std::memcpy(&system, entry->ifa_addr, family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6));
        const DatagramAddress address = address_from_system(system);
        if (datagram_address_reaches_others(address)) addresses[count++] = address;
    }
    freeifaddrs(list);
    return count;
}

const char* datagram_last_error() { return last_error; }

// The system half of platform/datagram.h on POSIX sockets, shared by the SDL
// and headless backends; the Windows backend has its own on Winsock.
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
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

// The source address of a datagram to send, as its control message.
void put_source(const DatagramAddress& local, int family, msghdr* message, char* control) {
    sockaddr_storage source;
    address_to_system(local, family, &source);
    message->msg_control = control;
    cmsghdr* header = reinterpret_cast<cmsghdr*>(control);
    if (family == AF_INET6) {
        in6_pktinfo info = {reinterpret_cast<sockaddr_in6&>(source).sin6_addr, 0};
        header->cmsg_level = IPPROTO_IPV6, header->cmsg_type = IPV6_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof info);
        message->msg_controllen = CMSG_SPACE(sizeof info);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    } else {
        in_pktinfo info = {};
        info.ipi_spec_dst = reinterpret_cast<sockaddr_in&>(source).sin_addr;
        header->cmsg_level = IPPROTO_IP, header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof info);
        message->msg_controllen = CMSG_SPACE(sizeof info);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }
}

}  // namespace

namespace {

int open_socket(const DatagramAddress& local, bool shared) {
    const int family = local.family == datagram_ipv6 ? AF_INET6 : AF_INET;
    const int handle = socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle < 0) {
        note_error("socket", std::strerror(errno));
        return -1;
    }
    const int off = 0, on = 1;
    if (family == AF_INET6) setsockopt(handle, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    if (shared) setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // Each datagram then tells the address it was sent to (IPv4 senders on
    // an IPv6 socket too, mapped).
    if (family == AF_INET6) setsockopt(handle, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on);
    else setsockopt(handle, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    sockaddr_storage system;
    const socklen_t length = address_to_system(local, family, &system);
    if (bind(handle, reinterpret_cast<sockaddr*>(&system), length) != 0) {
        note_error("bind", std::strerror(errno));
        close(handle);
        return -1;
    }
    return handle;
}

}  // namespace

int datagram_open(const DatagramAddress& local) { return open_socket(local, false); }

int datagram_open_shared(const DatagramAddress& local) { return open_socket(local, true); }

bool datagram_allow_broadcast(int socket) {
    const int on = 1;
    return setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
}

int datagram_local_port(int socket) {
    sockaddr_storage bound;
    socklen_t length = sizeof bound;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length) != 0) return 0;
    return address_from_system(bound).port;
}

bool datagram_send(int socket, const DatagramAddress& to, const void* bytes, int size) {
    return datagram_send_from(socket, datagram_any_address(0, 0), to, bytes, size);
}

bool datagram_send_from(int socket, const DatagramAddress& local, const DatagramAddress& to, const void* bytes,
                        int size) {
    const int family = socket_family(socket);
    if (family == AF_INET && to.family != datagram_ipv4) return false;
    sockaddr_storage system;
    const socklen_t length = address_to_system(to, family, &system);
    iovec part = {const_cast<void*>(bytes), static_cast<size_t>(size)};
    msghdr message;
    std::memset(&message, 0, sizeof message);
    message.msg_name = &system;
    message.msg_namelen = length;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo))] = {};
    const DatagramAddress any = datagram_any_address(local.family, 0);
    if (local.family == to.family && std::memcmp(local.bytes, any.bytes, sizeof any.bytes) != 0)
        put_source(local, family, &message, control);
    return sendmsg(socket, &message, MSG_DONTWAIT) == size;
}

int datagram_receive(int socket, void* bytes, int capacity, DatagramAddress* from) {
    DatagramAddress called;
    return datagram_receive_at(socket, bytes, capacity, from, &called);
}

int datagram_receive_at(int socket, void* bytes, int capacity, DatagramAddress* from, DatagramAddress* called) {
    sockaddr_storage system;
    iovec part = {bytes, static_cast<size_t>(capacity)};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo)) + CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message;
    std::memset(&message, 0, sizeof message);
    message.msg_name = &system;
    message.msg_namelen = sizeof system;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t size = recvmsg(socket, &message, MSG_DONTWAIT);
    if (size < 0) return -1;
    *from = address_from_system(system);
    *called = datagram_any_address(from->family, 0);
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
        sockaddr_storage local;
        std::memset(&local, 0, sizeof local);
        if (header->cmsg_level == IPPROTO_IPV6 && header->cmsg_type == IPV6_PKTINFO) {
            in6_pktinfo info;
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            local.ss_family = AF_INET6;
            reinterpret_cast<sockaddr_in6&>(local).sin6_addr = info.ipi6_addr;
        } else if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            local.ss_family = AF_INET;
            reinterpret_cast<sockaddr_in&>(local).sin_addr = info.ipi_addr;
        } else {
            continue;
        }
        *called = address_from_system(local);
    }
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

bool datagram_default_gateway(DatagramAddress* gateway) {
    // Linux's routing table: interface, destination, gateway, flags..., in
    // hexadecimal of the address's bytes as they lie in memory.
    std::FILE* routes = std::fopen("/proc/net/route", "r");
    if (!routes) {
        note_error("/proc/net/route", std::strerror(errno));
        return false;
    }
    char line[256];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, routes)) {
        char name[64];
        unsigned destination = 0, via = 0, flags = 0;
        if (std::sscanf(line, "%63s %x %x %x", name, &destination, &via, &flags) != 4) continue;
        if (destination != 0 || !(flags & 0x2) || via == 0) continue;  // 0x2: through a gateway
        *gateway = datagram_any_address(datagram_ipv4, 0);
        std::memcpy(gateway->bytes, &via, 4);
        found = true;
    }
    std::fclose(routes);
    if (!found) note_error("route", "no default gateway");
    return found;
}

bool datagram_source_for(const DatagramAddress& to, DatagramAddress* local) {
    const int family = to.family == datagram_ipv6 ? AF_INET6 : AF_INET;
    const int handle = socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (handle < 0) return false;
    sockaddr_storage system;
    DatagramAddress target = to;
    if (target.port == 0) target.port = 9;  // connecting needs a port; nothing is sent
    const socklen_t length = address_to_system(target, family, &system);
    sockaddr_storage bound;
    socklen_t bound_length = sizeof bound;
    const bool known = connect(handle, reinterpret_cast<sockaddr*>(&system), length) == 0 &&
                       getsockname(handle, reinterpret_cast<sockaddr*>(&bound), &bound_length) == 0;
    close(handle);
    if (!known) return false;
    *local = address_from_system(bound);
    local->port = 0;
    return true;
}

int datagram_link_addresses(DatagramAddress* addresses, int capacity, int port) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        note_error("getifaddrs", std::strerror(errno));
        return 0;
    }
    int count = 0;
    for (const ifaddrs* entry = list; entry && count < capacity; entry = entry->ifa_next) {
        const int family = entry->ifa_addr ? entry->ifa_addr->sa_family : AF_UNSPEC;
        const unsigned flags = entry->ifa_flags;
        if (!(flags & IFF_UP) || (flags & IFF_LOOPBACK)) continue;
        DatagramAddress address = datagram_any_address(0, port);
        if (family == AF_INET && (flags & IFF_BROADCAST) && entry->ifa_broadaddr) {
            address.family = datagram_ipv4;
            std::memcpy(address.bytes, &reinterpret_cast<const sockaddr_in*>(entry->ifa_broadaddr)->sin_addr, 4);
        } else if (family == AF_INET6 && (flags & IFF_MULTICAST)) {
            // One group per interface, however many IPv6 addresses it has.
            address.family = datagram_ipv6;
            address.bytes[0] = 0xff, address.bytes[1] = 0x02, address.bytes[15] = 1;
            address.scope = if_nametoindex(entry->ifa_name);
        } else {
            continue;
        }
        bool known = false;
        for (int i = 0; i < count; ++i) known = known || same_datagram_address(addresses[i], address);
        if (!known && (address.family == datagram_ipv4 || address.scope)) addresses[count++] = address;
    }
    freeifaddrs(list);
    return count;
}

void datagram_machine_name(char* name, int size) {
    if (gethostname(name, static_cast<size_t>(size)) != 0) name[0] = '\0';
    name[size - 1] = '\0';
}

const char* datagram_last_error() { return last_error; }

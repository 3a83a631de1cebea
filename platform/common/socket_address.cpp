#include "platform/common/socket_address.h"

#include <cstring>

namespace {

const uint8_t mapped_prefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

}  // namespace

DatagramAddress address_from_system(const sockaddr_storage& system) {
    DatagramAddress address = datagram_any_address(0, 0);
    if (system.ss_family == AF_INET) {
        const sockaddr_in& v4 = reinterpret_cast<const sockaddr_in&>(system);
        address.family = datagram_ipv4;
        std::memcpy(address.bytes, &v4.sin_addr, 4);
        address.port = ntohs(v4.sin_port);
    } else if (system.ss_family == AF_INET6) {
        const sockaddr_in6& v6 = reinterpret_cast<const sockaddr_in6&>(system);
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&v6.sin6_addr);
        const bool mapped = std::memcmp(bytes, mapped_prefix, 12) == 0;
        address.family = mapped ? datagram_ipv4 : datagram_ipv6;
        std::memcpy(address.bytes, bytes + (mapped ? 12 : 0), mapped ? 4 : 16);
        address.port = ntohs(v6.sin6_port);
        address.scope = mapped ? 0 : v6.sin6_scope_id;
    }
    return address;
}

socket_length address_to_system(const DatagramAddress& address, int socket_family, sockaddr_storage* system) {
    std::memset(system, 0, sizeof *system);
    if (socket_family == AF_INET) {
        sockaddr_in* v4 = reinterpret_cast<sockaddr_in*>(system);
        v4->sin_family = AF_INET;
        std::memcpy(&v4->sin_addr, address.bytes, 4);
        v4->sin_port = htons(address.port);
        return sizeof *v4;
    }
    sockaddr_in6* v6 = reinterpret_cast<sockaddr_in6*>(system);
    v6->sin6_family = AF_INET6;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&v6->sin6_addr);
    if (address.family == datagram_ipv4) {
        std::memcpy(bytes, mapped_prefix, 12);
        std::memcpy(bytes + 12, address.bytes, 4);
    } else {
        std::memcpy(bytes, address.bytes, 16);
    }
    v6->sin6_port = htons(address.port);
    v6->sin6_scope_id = address.family == datagram_ipv6 ? address.scope : 0;
    return sizeof *v6;
}

bool first_resolved_address(const addrinfo* found, DatagramAddress* address) {
    const int families[2] = {AF_INET, AF_INET6};
    for (int family : families)
        for (const addrinfo* entry = found; entry; entry = entry->ai_next)
            if (entry->ai_family == family && entry->ai_addrlen <= sizeof(sockaddr_storage)) {
                sockaddr_storage system;
                std::memset(&system, 0, sizeof system);
                std::memcpy(&system, entry->ai_addr, entry->ai_addrlen);
                *address = address_from_system(system);
                return true;
            }
    return false;
}

// The address half of platform/datagram.h that needs no system at all:
// making, comparing, showing and splitting addresses, the same everywhere.
#include <cstdio>
#include <cstring>

#include "platform/datagram.h"

DatagramAddress datagram_any_address(int family, int port) {
    DatagramAddress address;
    std::memset(&address, 0, sizeof address);
    address.family = static_cast<uint8_t>(family);
    address.port = static_cast<uint16_t>(port);
    return address;
}

DatagramAddress datagram_loopback_address(int family, int port) {
    DatagramAddress address = datagram_any_address(family, port);
    if (family == datagram_ipv4) address.bytes[0] = 127, address.bytes[3] = 1;
    else address.bytes[15] = 1;
    return address;
}

bool same_datagram_address(const DatagramAddress& a, const DatagramAddress& b) {
    const int length = a.family == datagram_ipv4 ? 4 : 16;
    return a.family == b.family && a.port == b.port && std::memcmp(a.bytes, b.bytes, length) == 0 &&
           (a.family != datagram_ipv6 || a.scope == b.scope);
}

namespace {

int group(const DatagramAddress& address, int i) { return address.bytes[2 * i] << 8 | address.bytes[2 * i + 1]; }

// The longest run of two or more zero groups, the first of equals, is the one
// written "::", as every system writes it.
void ipv6_text(const DatagramAddress& address, char* text, int size) {
    int best_start = -1, best_length = 1;
    for (int i = 0; i < 8;) {
        int length = 0;
        while (i + length < 8 && group(address, i + length) == 0) ++length;
        if (length > best_length) best_start = i, best_length = length;
        i += length ? length : 1;
    }
    int used = 0;
    for (int i = 0; i < 8 && used < size; ++i) {
        if (i == best_start) {
            used += std::snprintf(text + used, static_cast<size_t>(size - used), i == 0 ? "::" : ":");
            i += best_length - 1;
            continue;
        }
        used += std::snprintf(text + used, static_cast<size_t>(size - used), i < 7 ? "%x:" : "%x", group(address, i));
    }
}

}  // namespace

void datagram_address_text(const DatagramAddress& address, char* text, int size) {
    if (size <= 0) return;
    const uint8_t* b = address.bytes;
    if (address.family == datagram_ipv4) {
        std::snprintf(text, static_cast<size_t>(size), "%d.%d.%d.%d:%d", b[0], b[1], b[2], b[3], address.port);
        return;
    }
    if (address.family != datagram_ipv6) {
        std::snprintf(text, static_cast<size_t>(size), "(no address)");
        return;
    }
    char host[48];
    ipv6_text(address, host, sizeof host);
    if (address.scope) std::snprintf(text, static_cast<size_t>(size), "[%s%%%u]:%d", host, address.scope, address.port);
    else std::snprintf(text, static_cast<size_t>(size), "[%s]:%d", host, address.port);
}

bool datagram_address_reaches_others(const DatagramAddress& address) {
    const uint8_t* b = address.bytes;
    if (address.family == datagram_ipv4) return b[0] != 0 && b[0] != 127 && !(b[0] == 169 && b[1] == 254);
    if (address.family != datagram_ipv6) return false;
    const DatagramAddress loopback = datagram_loopback_address(datagram_ipv6, 0);
    const DatagramAddress any = datagram_any_address(datagram_ipv6, 0);
    return std::memcmp(b, loopback.bytes, 16) != 0 && std::memcmp(b, any.bytes, 16) != 0 &&
           !(b[0] == 0xfe && (b[1] & 0xc0) == 0x80);
}

namespace {

// Says what a host-and-port text needs; always false.
bool refuse(char* why, int why_size, const char* need, const char* what) {
    if (why && why_size > 0) std::snprintf(why, static_cast<size_t>(why_size), need, what);
    return false;
}

}  // namespace

bool datagram_split_host_port(const char* text, int default_port, char* host, int host_size, int* port, char* why,
                              int why_size) {
    const char* host_start = text;
    const char* host_end = nullptr;
    const char* port_text = nullptr;
    const char* last_colon = std::strrchr(text, ':');
    if (text[0] == '[') {
        host_start = text + 1;
        host_end = std::strchr(host_start, ']');
        if (!host_end) return refuse(why, why_size, "a ']' to close the '[' of '%s'", text);
        if (host_end[1] == ':') port_text = host_end + 2;
        else if (host_end[1] != '\0')
            return refuse(why, why_size, "nothing but :PORT after ']', not '%s'", host_end + 1);
    } else if (last_colon && std::strchr(text, ':') == last_colon) {
        host_end = last_colon;
        port_text = last_colon + 1;
    } else {
        host_end = text + std::strlen(text);
    }
    const int length = static_cast<int>(host_end - host_start);
    if (length <= 0) return refuse(why, why_size, "a host before the port in '%s'", text);
    if (length >= host_size) return refuse(why, why_size, "a shorter host than '%s'", text);
    std::memcpy(host, host_start, static_cast<size_t>(length));
    host[length] = '\0';
    *port = default_port;
    if (!port_text) return true;
    int value = 0;
    for (const char* c = port_text; *c && value <= 65535; ++c)
        value = *c >= '0' && *c <= '9' ? value * 10 + (*c - '0') : 65536;
    if (value < 1 || value > 65535)
        return refuse(why, why_size, "a port from 1 to 65535 after the host, not '%s'", port_text);
    *port = value;
    return true;
}

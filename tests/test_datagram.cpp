// Datagrams: two sockets on 127.0.0.1 exchange a datagram, an empty socket
// and a datagram too long say so; addresses are split, resolved and shown as
// every system shows them. Nothing leaves the loopback interface.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/datagram.h"
#include "platform/platform.h"

namespace {

// Loopback delivers at once on most systems; a few tries cover the others.
int receive_soon(int socket, void* bytes, int capacity, DatagramAddress* from) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int size = datagram_receive(socket, bytes, capacity, from);
        if (size >= 0) return size;
        platform_sleep_ms(5);
    }
    return -1;
}

std::string text_of(const DatagramAddress& address) {
    char text[datagram_address_text_capacity];
    datagram_address_text(address, text, sizeof text);
    return text;
}

TEST(Datagram, LoopbackCarriesADatagramAndNamesItsSender) {
    const int a = datagram_open(datagram_loopback_address(datagram_ipv4, 0));
    const int b = datagram_open(datagram_loopback_address(datagram_ipv4, 0));
    ASSERT_GE(a, 0) << datagram_last_error();
    ASSERT_GE(b, 0) << datagram_last_error();
    const int port_a = datagram_local_port(a);
    const int port_b = datagram_local_port(b);
    EXPECT_NE(port_a, 0);
    uint8_t bytes[16];
    DatagramAddress from;
    EXPECT_EQ(datagram_receive(b, bytes, sizeof bytes, &from), -1) << "nothing waits yet";
    ASSERT_TRUE(datagram_send(a, datagram_loopback_address(datagram_ipv4, port_b), "hello", 5));
    ASSERT_EQ(receive_soon(b, bytes, sizeof bytes, &from), 5);
    EXPECT_EQ(std::memcmp(bytes, "hello", 5), 0);
    EXPECT_EQ(text_of(from), "127.0.0.1:" + std::to_string(port_a));
    const char long_text[] = "twenty-four bytes long!";
    ASSERT_TRUE(datagram_send(a, datagram_loopback_address(datagram_ipv4, port_b), long_text, sizeof long_text));
    EXPECT_EQ(receive_soon(b, bytes, 8, &from), 9) << "a datagram longer than the room says so";
    EXPECT_EQ(std::memcmp(bytes, long_text, 8), 0);
    EXPECT_EQ(datagram_receive(b, bytes, sizeof bytes, &from), -1) << "its rest is gone with it";
    datagram_close(a);
    datagram_close(b);
}

TEST(Datagram, HostAndPortAreSplitOrRefused) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        int port;
    } cases[] = {
        {"192.0.2.7", true, "192.0.2.7", 41970},   {"192.0.2.7:5000", true, "192.0.2.7", 5000},
        {"example.org:1", true, "example.org", 1}, {"[2001:db8::7]:65535", true, "2001:db8::7", 65535},
        {"2001:db8::7", true, "2001:db8::7", 41970}, {"[::1]", true, "::1", 41970},
        {"host:", false, "", 0},                   {"host:0", false, "", 0},
        {"host:65536", false, "", 0},              {"host:12a", false, "", 0},
        {":5000", false, "", 0},                   {"[::1", false, "", 0},
        {"[::1]x", false, "", 0},                  {"", false, "", 0},
    };
    for (const Case& c : cases) {
        char host[64] = "";
        int port = 0;
        ASSERT_EQ(datagram_split_host_port(c.text, 41970, host, sizeof host, &port), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_STREQ(host, c.host) << c.text;
        EXPECT_EQ(port, c.port) << c.text;
    }
}

TEST(Datagram, AddressesAreResolvedAndShownAsSystemsShowThem) {
    DatagramAddress address;
    ASSERT_TRUE(datagram_resolve("127.0.0.1:6000", 41970, &address));
    EXPECT_EQ(text_of(address), "127.0.0.1:6000");
    ASSERT_TRUE(datagram_resolve("localhost", 41970, &address)) << datagram_last_error();
    EXPECT_EQ(text_of(address), "127.0.0.1:41970") << "IPv4 first";
    EXPECT_FALSE(datagram_resolve("localhost:x", 41970, &address));
    const struct {
        uint8_t bytes[16];
        const char* text;
        bool reaches_others;
    } v6[] = {
        {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}, "[2001:db8::7]:9", true},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "[::1]:9", false},
        {{0xfe, 0x80}, "[fe80::]:9", false},
        {{0, 1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 3}, "[1:0:0:2::3]:9", true},  // the longest run
        {{0, 1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 3, 0, 4}, "[1::2:0:0:3:4]:9", true},  // the first of equals
        {{0, 1, 0, 0, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7}, "[1:0:2:3:4:5:6:7]:9", true},  // never one group
    };
    for (const auto& c : v6) {
        DatagramAddress made = datagram_any_address(datagram_ipv6, 9);
        std::memcpy(made.bytes, c.bytes, 16);
        EXPECT_EQ(text_of(made), c.text);
        EXPECT_EQ(datagram_address_reaches_others(made), c.reaches_others) << c.text;
    }
    const struct {
        const char* text;
        bool reaches_others;
    } v4[] = {{"192.168.1.5", true}, {"127.0.0.2", false}, {"169.254.3.4", false}, {"0.0.0.0", false}};
    for (const auto& c : v4) {
        ASSERT_TRUE(datagram_resolve(c.text, 1, &address)) << c.text;
        EXPECT_EQ(datagram_address_reaches_others(address), c.reaches_others) << c.text;
    }
}

}  // namespace

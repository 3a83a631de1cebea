// Datagrams: a wait ends when a datagram comes, an empty socket and a
// datagram too long for the room say so; addresses are split, resolved and
// shown as every system shows them. Nothing leaves the loopback interface.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "platform/datagram.h"

namespace {

// Loopback delivers at once on most systems; a few tries cover the others.
int receive_soon(int socket, void* bytes, int capacity, DatagramAddress* from) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int size = datagram_receive(socket, bytes, capacity, from);
        if (size >= 0) return size;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

std::string text_of(const DatagramAddress& address) {
    char text[datagram_address_text_capacity];
    datagram_address_text(address, text, sizeof text);
    return text;
}

// (A datagram's way and its sender's name are the network test's.)
TEST(Datagram, AWaitEndsWhenADatagramComesAndOneTooLongSaysSo) {
    const int a = datagram_open(datagram_loopback_address(datagram_ipv4, 0));
    const int b = datagram_open(datagram_loopback_address(datagram_ipv4, 0));
    ASSERT_TRUE(a >= 0 && b >= 0) << datagram_last_error();
    uint8_t bytes[16];
    DatagramAddress from;
    EXPECT_EQ(datagram_receive(b, bytes, sizeof bytes, &from), -1) << "nothing waits yet";
    EXPECT_FALSE(datagram_wait(b, 1)) << "a wait with nothing coming";
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        datagram_send(a, datagram_loopback_address(datagram_ipv4, datagram_local_port(b)), "hello", 5);
    });
    EXPECT_TRUE(datagram_wait(b, 5000)) << "a wait for a datagram sent while it waits";
    later.join();
    ASSERT_EQ(receive_soon(b, bytes, sizeof bytes, &from), 5);
    const char long_text[] = "twenty-four bytes long!";
    ASSERT_TRUE(datagram_send(a, datagram_loopback_address(datagram_ipv4, datagram_local_port(b)), long_text,
                              sizeof long_text));
    EXPECT_EQ(receive_soon(b, bytes, 8, &from), 9);
    EXPECT_EQ(std::memcmp(bytes, long_text, 8), 0);
    EXPECT_EQ(datagram_receive(b, bytes, sizeof bytes, &from), -1) << "its rest is gone with it";
    datagram_close(a), datagram_close(b);
}

TEST(Datagram, HostAndPortAreSplitOrRefused) {
    const struct {
        const char *text, *host;  // host null: refused
        int port;
    } cases[] = {{"192.0.2.7", "192.0.2.7", 41970}, {"example.org:1", "example.org", 1},
                 {"[2001:db8::7]:65535", "2001:db8::7", 65535}, {"2001:db8::7", "2001:db8::7", 41970},
                 {"[::1]", "::1", 41970}, {"host:", nullptr, 0}, {"host:0", nullptr, 0}, {"host:65536", nullptr, 0},
                 {"host:12a", nullptr, 0}, {":5000", nullptr, 0}, {"[::1", nullptr, 0}, {"[::1]x", nullptr, 0}};
    for (const auto& c : cases) {
        char host[64] = "";
        int port = 0;
        ASSERT_EQ(datagram_split_host_port(c.text, 41970, host, sizeof host, &port), c.host != nullptr) << c.text;
        EXPECT_STREQ(c.host ? host : nullptr, c.host) << c.text;
        EXPECT_EQ(c.host ? port : 0, c.port) << c.text;
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
        int family;
        uint8_t bytes[16];
        const char* text;
        bool reaches_others;
    } addresses[] = {
        {6, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}, "[2001:db8::7]:9", true},
        {6, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "[::1]:9", false},
        {6, {0xfe, 0x80}, "[fe80::]:9", false},
        {6, {0, 1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 3}, "[1:0:0:2::3]:9", true},  // the longest run
        {6, {0, 1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 3, 0, 4}, "[1::2:0:0:3:4]:9", true},  // the first of equals
        {6, {0, 1, 0, 0, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7}, "[1:0:2:3:4:5:6:7]:9", true},  // never one group
        {4, {192, 0, 2, 5}, "192.0.2.5:9", true}, {4, {127, 0, 0, 2}, "127.0.0.2:9", false},
        {4, {169, 254, 3, 4}, "169.254.3.4:9", false}, {4, {0, 0, 0, 0}, "0.0.0.0:9", false},
    };
    for (const auto& c : addresses) {
        DatagramAddress made = datagram_any_address(c.family, 9);
        std::memcpy(made.bytes, c.bytes, 16);
        EXPECT_EQ(text_of(made), c.text);
        EXPECT_EQ(datagram_address_reaches_others(made), c.reaches_others) << c.text;
    }
}

}  // namespace

// The host's port on its router, against a router played on loopback: PCP
// opens it past hostile answers and the end takes it back, a NAT-PMP router
// is asked in its own protocol, and silence closes the step on its schedule.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/port_mapping.h"

namespace {

struct FakeRouter { int socket; DatagramAddress address, asker; };

// A router on 127.0.0.1 and a mapping of port 41970 asking it (by PCP and NAT-PMP only).
FakeRouter open_router(PortMapping* mapping) {
    FakeRouter router;
    router.socket = datagram_open(datagram_loopback_address(datagram_ipv4, 0));
    router.address = datagram_loopback_address(datagram_ipv4, datagram_local_port(router.socket));
    const DatagramAddress client = datagram_loopback_address(datagram_ipv4, 0);
    port_mapping_ask(mapping, 41970, &router.address, &client, false, 0);
    return router;
}

int take_request(FakeRouter* router, uint8_t* bytes) {
    if (!datagram_wait(router->socket, 2000)) return -1;
    return datagram_receive(router->socket, bytes, nat_answer_capacity, &router->asker);
}

void answer(FakeRouter* r, const std::string& bytes) { datagram_send(r->socket, r->asker, bytes.data(), static_cast<int>(bytes.size())); }

// A PCP MAP answer to request (its nonce, protocol and port): the outside
// address 100.200.7.1, port 50000, for 7200 s.
std::string pcp_answer(const uint8_t* request) {
    return std::string("\x02\x81\0\0\0\0\x1c\x20", 8) + std::string(16, '\0') +
           std::string(reinterpret_cast<const char*>(request + 24), 18) +
           std::string("\xc3\x50\0\0\0\0\0\0\0\0\0\0\xff\xff\x64\xc8\x07\x01", 18);
}

std::string line_of(const PortMapping& mapping) {
    char line[port_mapping_text_capacity];
    port_mapping_line(mapping, line, sizeof line);
    return line;
}

}  // namespace

TEST(PortMapping, PcpOpensThePortPastHostileAnswersAndTheEndTakesItBack) {
    static PortMapping mapping;
    FakeRouter router = open_router(&mapping);
    uint8_t request[nat_answer_capacity];
    ASSERT_EQ(take_request(&router, request), 60) << "a PCP MAP request's size";
    EXPECT_EQ(request[0], 2) << "the PCP version";
    const std::string good = pcp_answer(request);
    std::string other_nonce = good;
    other_nonce[30] ^= 1;
    std::string other_opcode = good;
    other_opcode[1] = static_cast<char>(0x83);
    for (const std::string& hostile : {good.substr(0, 3), good.substr(0, 59), other_opcode, other_nonce})
        answer(&router, hostile);
    answer(&router, good);
    port_mapping_update(&mapping, 10);
    EXPECT_EQ(line_of(mapping), "Port 50000 is open on the router (PCP): players on the Internet join 100.200.7.1:50000");
    EXPECT_EQ(mapping.notes_made, 5) << "four answers ignored with a line each, and the port opened";
    const char* const reasons[] = {"of the wrong size", "of an unexpected opcode", "to another request"};
    for (int note = 1; note <= 3; ++note)
        EXPECT_NE(std::string(port_mapping_note(mapping, note)).find(reasons[note - 1]), std::string::npos)
            << port_mapping_note(mapping, note);
    port_mapping_stop(&mapping);
    ASSERT_EQ(take_request(&router, request), 60) << "the removal's size";
    EXPECT_EQ(request[4] | request[5] | request[6] | request[7], 0) << "the removal's lifetime";
    EXPECT_EQ(std::memcmp(request + 24, good.data() + 24, 12), 0) << "the removal carries the mapping's nonce";
    datagram_close(router.socket);
}

// A long game: the port is asked for again at half the 7200 s granted, with
// the mapping's nonce; a renewal unanswered leaves the port as it was and
// goes again a minute later.
TEST(PortMapping, PcpRenewsThePortAtHalfItsLifetime) {
    static PortMapping mapping;
    FakeRouter router = open_router(&mapping);
    uint8_t request[nat_answer_capacity];
    ASSERT_EQ(take_request(&router, request), 60) << "a PCP MAP request's size";
    const std::string good = pcp_answer(request);
    answer(&router, good);
    datagram_wait(mapping.nat.socket, 2000);
    port_mapping_update(&mapping, 10);
    ASSERT_EQ(mapping.state, port_mapping_open) << "opened at 10 ms";
    port_mapping_update(&mapping, 3600009);
    EXPECT_FALSE(datagram_wait(router.socket, 0)) << "a renewal before half the lifetime";
    port_mapping_update(&mapping, 3600010);
    ASSERT_EQ(take_request(&router, request), 60) << "the renewal at half the lifetime";
    EXPECT_EQ(request[4] << 24 | request[5] << 16 | request[6] << 8 | request[7], 7200) << "the lifetime asked again";
    EXPECT_EQ(std::memcmp(request + 24, good.data() + 24, 12), 0) << "the renewal carries the mapping's nonce";
    port_mapping_update(&mapping, 3601510);
    EXPECT_NE(std::string(port_mapping_note(mapping, mapping.notes_made - 1)).find("did not renew"), std::string::npos)
        << port_mapping_note(mapping, mapping.notes_made - 1);
    EXPECT_EQ(line_of(mapping), "Port 50000 is open on the router (PCP): players on the Internet join 100.200.7.1:50000");
    while (datagram_wait(router.socket, 0)) take_request(&router, request);
    port_mapping_update(&mapping, 3661509);
    EXPECT_FALSE(datagram_wait(router.socket, 0)) << "a renewal again before the minute";
    port_mapping_update(&mapping, 3661510);
    ASSERT_EQ(take_request(&router, request), 60) << "the renewal a minute later";
    answer(&router, pcp_answer(request));
    datagram_wait(mapping.nat.socket, 2000);
    port_mapping_update(&mapping, 3661520);
    EXPECT_STREQ(port_mapping_note(mapping, mapping.notes_made - 1), "the router renewed port 41970 (PCP)");
    port_mapping_stop(&mapping);
    datagram_close(router.socket);
}

TEST(PortMapping, ANatPmpRouterIsAskedInItsOwnProtocol) {
    static PortMapping mapping;
    FakeRouter router = open_router(&mapping);
    uint8_t request[nat_answer_capacity];
    ASSERT_EQ(take_request(&router, request), 60) << "PCP first";
    answer(&router, std::string("\x00\x81\x00\x01", 4));  // NAT-PMP's "unsupported version"
    port_mapping_update(&mapping, 10);
    ASSERT_EQ(take_request(&router, request), 2) << "NAT-PMP's address request";
    answer(&router, std::string("\x00\x80\x00\x00\x00\x00\x00\x05\x64\xc8\x07\x01", 12));
    port_mapping_update(&mapping, 20);
    ASSERT_EQ(take_request(&router, request), 12) << "NAT-PMP's map request";
    EXPECT_EQ(request[4] << 8 | request[5], 41970) << "the internal port asked";
    answer(&router, std::string("\x00\x81\x00\x00\x00\x00\x00\x05\xa3\xf2\xa3\xf2\x00\x00\x1c\x20", 16));
    port_mapping_update(&mapping, 30);
    EXPECT_EQ(line_of(mapping), "Port 41970 is open on the router (NAT-PMP): players on the Internet join 100.200.7.1:41970");
    port_mapping_stop(&mapping);
    ASSERT_EQ(take_request(&router, request), 60) << "the PCP request is taken back too";
    ASSERT_EQ(take_request(&router, request), 12) << "the NAT-PMP removal's size";
    EXPECT_EQ(request[8] | request[9] | request[10] | request[11], 0) << "the removal's lifetime";
    datagram_close(router.socket);
}

TEST(PortMapping, SilenceClosesTheStepWithinThreeSeconds) {
    static PortMapping mapping;
    FakeRouter router = open_router(&mapping);
    int pcp = 0, nat_pmp = 0;
    for (int64_t now = 50; now < 3000; now += 50) {
        port_mapping_update(&mapping, now);
        uint8_t request[nat_answer_capacity];
        for (int size; datagram_wait(router.socket, 0) && (size = take_request(&router, request)) > 0;)
            ++(size == 60 ? pcp : nat_pmp);
    }
    EXPECT_EQ(pcp, 3) << "PCP requests at 0, 250 and 750 ms";
    EXPECT_EQ(nat_pmp, 3) << "NAT-PMP requests at 1500, 1750 and 2250 ms";
    EXPECT_EQ(mapping.state, port_mapping_asking) << "still asking at 2950 ms";
    port_mapping_update(&mapping, 3000);
    EXPECT_EQ(line_of(mapping),
              "No router answered: for players on the Internet, forward UDP port 41970 to this machine by hand.");
    port_mapping_stop(&mapping);
    datagram_close(router.socket);
}

// The two small router protocols that open a UDP port without UPnP: NAT-PMP
// and its successor PCP, their requests written and their answers read.
#pragma once

#include <cstdint>

#include "platform/datagram.h"

// Routers hear both on this port.
constexpr int nat_pmp_port = 5351;
constexpr int nat_pmp_version = 0;
constexpr int pcp_version = 2;
// The longest request either sends (a PCP MAP) and the most of an answer read.
constexpr int nat_request_capacity = 60;
constexpr int nat_answer_capacity = 1100;
constexpr int pcp_nonce_size = 12;

// What a router's answer was, or why it was refused.
enum NatAnswerFault {
    nat_answer_ok,
    nat_answer_short,          // shorter than its kind's header
    nat_answer_wrong_size,     // not the size its opcode has
    nat_answer_not_answer,     // the answer bit is not set: a request, not an answer
    nat_answer_unknown_opcode, // an opcode we never send
    nat_answer_unknown_version,
};

enum NatOpcode {
    nat_opcode_address = 0,  // NAT-PMP: the router's outside address
    nat_opcode_map_udp = 1,  // NAT-PMP: map a UDP port; PCP: MAP (the protocol is in the body)
};

// A read answer: the fields its kind has, the others zero.
struct NatAnswer {
    NatAnswerFault fault;
    int version;      // 0: NAT-PMP, 2: PCP
    int opcode;
    int result;       // 0: success; NAT-PMP 1 and PCP 1 alike: the version is not spoken
    uint32_t lifetime;
    uint16_t internal_port;
    uint16_t external_port;
    DatagramAddress external;  // NAT-PMP's address answer, PCP MAP's assigned address (port 0)
    uint8_t nonce[pcp_nonce_size];  // PCP MAP's, to match it to our request
};

// NAT-PMP's request for the outside address; returns its size.
int nat_pmp_address_request(uint8_t* bytes);
// NAT-PMP's request to map UDP port internal_port to the same port outside
// for lifetime seconds (0: remove the mapping); returns its size.
int nat_pmp_map_request(uint8_t* bytes, int internal_port, uint32_t lifetime);
// PCP's MAP request for UDP from client (this machine's address as the
// router sees it) port internal_port, asking the same port outside.
int pcp_map_request(uint8_t* bytes, const DatagramAddress& client, int internal_port, uint32_t lifetime,
                    const uint8_t* nonce);
// Reads any answer of either protocol; hostile bytes only give a fault.
NatAnswer read_nat_answer(const uint8_t* bytes, int size);
// "cut short", "of the wrong size", ...: why an answer was ignored.
const char* nat_answer_fault_text(NatAnswerFault fault);

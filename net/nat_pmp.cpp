#include "net/nat_pmp.h"

#include <cstring>

namespace {

constexpr int nat_pmp_address_answer_size = 12;
constexpr int nat_pmp_map_answer_size = 16;
constexpr int pcp_header_size = 24;
constexpr int pcp_map_size = 60;
constexpr uint8_t answer_bit = 0x80;
constexpr uint8_t udp_protocol = 17;

void put16(uint8_t* at, unsigned value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

void put32(uint8_t* at, uint32_t value) {
    put16(at, value >> 16);
    put16(at + 2, value & 0xFFFF);
}

uint16_t get16(const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); }

uint32_t get32(const uint8_t* at) { return static_cast<uint32_t>(get16(at)) << 16 | get16(at + 2); }

// PCP carries every address in 16 bytes, an IPv4 one as ::ffff:a.b.c.d.
void put_pcp_address(uint8_t* at, const DatagramAddress& address) {
    std::memset(at, 0, 16);
    if (address.family == datagram_ipv6) {
        std::memcpy(at, address.bytes, 16);
        return;
    }
    at[10] = at[11] = 0xFF;
    std::memcpy(at + 12, address.bytes, 4);
}

DatagramAddress get_pcp_address(const uint8_t* at) {
    static const uint8_t mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    DatagramAddress address = datagram_any_address(datagram_ipv4, 0);
    if (std::memcmp(at, mapped, sizeof mapped) == 0) {
        std::memcpy(address.bytes, at + 12, 4);
    } else {
        address.family = datagram_ipv6;
        std::memcpy(address.bytes, at, 16);
    }
    return address;
}

void read_nat_pmp(const uint8_t* bytes, int size, NatAnswer* answer) {
    answer->result = get16(bytes + 2);
    // An error answer may stop after its header: a version refused is such a one.
    if (answer->result != 0 && size >= 4) return;
    if (answer->opcode == nat_opcode_address) {
        if (size != nat_pmp_address_answer_size) {
            answer->fault = nat_answer_wrong_size;
            return;
        }
        answer->external = datagram_any_address(datagram_ipv4, 0);
        std::memcpy(answer->external.bytes, bytes + 8, 4);
    } else {
        if (size != nat_pmp_map_answer_size) {
            answer->fault = nat_answer_wrong_size;
            return;
        }
        answer->internal_port = get16(bytes + 8);
        answer->external_port = get16(bytes + 10);
        answer->lifetime = get32(bytes + 12);
    }
}

void read_pcp(const uint8_t* bytes, int size, NatAnswer* answer) {
    answer->result = bytes[3];
    answer->lifetime = get32(bytes + 4);
    // Errors of the header itself come back without the opcode's body.
    if (size == pcp_header_size && answer->result != 0) return;
    if (size != pcp_map_size) {
        answer->fault = nat_answer_wrong_size;
        return;
    }
    const uint8_t* body = bytes + pcp_header_size;
    std::memcpy(answer->nonce, body, pcp_nonce_size);
    if (body[12] != udp_protocol) {
        answer->fault = nat_answer_unknown_opcode;
        return;
    }
    answer->internal_port = get16(body + 16);
    answer->external_port = get16(body + 18);
    answer->external = get_pcp_address(body + 20);
}

}  // namespace

int nat_pmp_address_request(uint8_t* bytes) {
    bytes[0] = nat_pmp_version;
    bytes[1] = nat_opcode_address;
    return 2;
}

int nat_pmp_map_request(uint8_t* bytes, int internal_port, uint32_t lifetime) {
    bytes[0] = nat_pmp_version;
    bytes[1] = nat_opcode_map_udp;
    put16(bytes + 2, 0);
    put16(bytes + 4, static_cast<unsigned>(internal_port));
    // Removing asks for no outside port; mapping asks for ours, so the guest calls the port the host chose.
    put16(bytes + 6, lifetime ? static_cast<unsigned>(internal_port) : 0);
    put32(bytes + 8, lifetime);
    return 12;
}

int pcp_map_request(uint8_t* bytes, const DatagramAddress& client, int internal_port, uint32_t lifetime,
                    const uint8_t* nonce) {
    std::memset(bytes, 0, pcp_map_size);
    bytes[0] = pcp_version;
    bytes[1] = nat_opcode_map_udp;
    put32(bytes + 4, lifetime);
    put_pcp_address(bytes + 8, client);
    uint8_t* body = bytes + pcp_header_size;
    std::memcpy(body, nonce, pcp_nonce_size);
    body[12] = udp_protocol;
    put16(body + 16, static_cast<unsigned>(internal_port));
    put16(body + 18, static_cast<unsigned>(internal_port));
    // The suggested outside address stays all zeros: whichever the router has (::ffff:0.0.0.0 for IPv4).
    body[30] = body[31] = 0xFF;
    return pcp_map_size;
}

NatAnswer read_nat_answer(const uint8_t* bytes, int size) {
    NatAnswer answer;
    std::memset(&answer, 0, sizeof answer);
    answer.fault = nat_answer_ok;
    if (size < 4) {
        answer.fault = nat_answer_short;
        return answer;
    }
    answer.version = bytes[0];
    answer.opcode = bytes[1] & ~answer_bit;
    if (answer.version != nat_pmp_version && answer.version != pcp_version) {
        answer.fault = nat_answer_unknown_version;
    } else if (!(bytes[1] & answer_bit)) {
        answer.fault = nat_answer_not_answer;
    } else if (answer.opcode != nat_opcode_address && answer.opcode != nat_opcode_map_udp) {
        answer.fault = nat_answer_unknown_opcode;
    } else if (answer.version == nat_pmp_version) {
        read_nat_pmp(bytes, size, &answer);
    } else if (answer.opcode != nat_opcode_map_udp) {
        answer.fault = nat_answer_unknown_opcode;  // PCP's opcode 0 is ANNOUNCE, never asked for
    } else if (size < pcp_header_size) {
        answer.fault = nat_answer_short;
    } else {
        read_pcp(bytes, size, &answer);
    }
    return answer;
}

const char* nat_answer_fault_text(NatAnswerFault fault) {
    switch (fault) {
    case nat_answer_ok: return "fine";
    case nat_answer_short: return "cut short";
    case nat_answer_wrong_size: return "of the wrong size";
    case nat_answer_not_answer: return "not an answer";
    case nat_answer_unknown_opcode: return "of an unexpected opcode";
    case nat_answer_unknown_version: return "of an unknown version";
    }
    return "unreadable";
}

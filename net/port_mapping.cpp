#include "net/port_mapping.h"

#include <cstdio>
#include <cstring>

#include "net/net_play.h"
#include "net/upnp_mapping.h"

namespace {

// Answers taken per update, so that a flood cannot hold the lobby.
constexpr int most_answers = 16;
// At the end, how long the router is given to confirm a removal.
constexpr int removal_wait_ms = 500;
const char* const way_names[way_count] = {"UPnP", "PCP", "NAT-PMP"};

void add_note(PortMapping* mapping, const char* text) {
    char* note = mapping->notes[mapping->notes_made % port_mapping_notes_kept];
    std::snprintf(note, port_mapping_text_capacity, "%s", text);
    ++mapping->notes_made;
}

void way_opened(PortMapping* mapping, PortMappingWay way, const DatagramAddress& external, int64_t now_ms) {
    if (mapping->ways_open == 0) {
        mapping->external = external;
        mapping->settled_ms = now_ms;
        // The lobby shows one address; a way still asking adds none of its own.
        upnp_stop_adding();
    }
    mapping->ways[mapping->ways_open++] = way;
    mapping->state = port_mapping_open;
    char address[datagram_address_text_capacity], note[port_mapping_text_capacity];
    datagram_address_text(external, address, sizeof address);
    std::snprintf(note, sizeof note, "the router opened port %d by %s after %lld ms: %s", mapping->port,
                  way_names[way], static_cast<long long>(now_ms - mapping->began_ms), address);
    add_note(mapping, note);
}

// Sends the request of the step the exchange is at.
void send_request(NatExchange* nat, int port, uint32_t lifetime) {
    uint8_t request[nat_request_capacity];
    int size;
    if (nat->step == nat_step_pcp) {
        size = pcp_map_request(request, nat->client, port, lifetime, nat->nonce);
        nat->sent_pcp = true;
    } else if (nat->step == nat_step_address) {
        size = nat_pmp_address_request(request);
    } else {
        size = nat_pmp_map_request(request, port, lifetime);
        nat->sent_nat_pmp = true;
    }
    datagram_send(nat->socket, nat->router, request, size);
}

void enter_step(NatExchange* nat, NatStep step, int port, int64_t now_ms) {
    nat->step = step;
    nat->tries = 1;
    nat->step_began_ms = nat->sent_ms = now_ms;
    if (step != nat_step_open && step != nat_step_failed) send_request(nat, port, nat_lifetime_s);
}

void nat_failed(PortMapping* mapping, const char* why) {
    mapping->nat.step = nat_step_failed;
    char note[port_mapping_text_capacity];
    std::snprintf(note, sizeof note, "PCP and NAT-PMP: %s", why);
    add_note(mapping, note);
}

// The protocol that opened the port, as the notes name it.
const char* nat_way_name(const NatExchange& nat) { return nat.by_pcp ? "PCP" : "NAT-PMP"; }

// The port granted for lifetime seconds, asked for again at half of it;
// true (with its note) when that was a renewal of a port already open.
bool nat_granted(PortMapping* mapping, uint32_t lifetime, int64_t now_ms) {
    NatExchange* nat = &mapping->nat;
    const bool renewed = nat->renewing;
    nat->step = nat_step_open;
    nat->renewing = false;
    nat->renew_ms = now_ms + int64_t{lifetime < nat_least_lifetime_s ? nat_least_lifetime_s : lifetime} * 500;
    if (renewed) {
        char note[port_mapping_text_capacity];
        std::snprintf(note, sizeof note, "the router renewed port %d (%s)", mapping->port, nat_way_name(*nat));
        add_note(mapping, note);
    }
    return renewed;
}

// The port stays as the router last granted it; the renewal goes again later.
void renewal_failed(PortMapping* mapping, const char* why, int64_t now_ms) {
    NatExchange* nat = &mapping->nat;
    nat->step = nat_step_open;
    nat->renewing = false;
    nat->renew_ms = now_ms + renew_retry_ms;
    char note[port_mapping_text_capacity];
    std::snprintf(note, sizeof note, "%s: the router did not renew port %d (%s); asking again in a minute",
                  nat_way_name(*nat), mapping->port, why);
    add_note(mapping, note);
}

void start_nat(PortMapping* mapping, const DatagramAddress& router, const DatagramAddress& client, int64_t now_ms) {
    NatExchange* nat = &mapping->nat;
    nat->router = router;
    nat->client = client;
    nat->socket = datagram_open(datagram_any_address(datagram_ipv4, 0));
    if (nat->socket < 0) {
        nat_failed(mapping, datagram_last_error());
        return;
    }
    for (int i = 0; i < pcp_nonce_size; i += 4) {
        const uint64_t random = net_random();
        std::memcpy(nat->nonce + i, &random, 4);
    }
    enter_step(nat, nat_step_pcp, mapping->port, now_ms);
}

void ignore_answer(PortMapping* mapping, const char* why, int size) {
    char note[port_mapping_text_capacity];
    std::snprintf(note, sizeof note, "ignored a router's answer %s (%d bytes)", why, size);
    add_note(mapping, note);
}

// One answer from the router, at the step the exchange is at.
void take_answer(PortMapping* mapping, const uint8_t* bytes, int size, int64_t now_ms) {
    NatExchange* nat = &mapping->nat;
    const NatAnswer answer = read_nat_answer(bytes, size);
    if (answer.fault != nat_answer_ok) {
        ignore_answer(mapping, nat_answer_fault_text(answer.fault), size);
        return;
    }
    if (nat->step == nat_step_pcp) {
        // A router of NAT-PMP alone answers PCP with its own version and "unsupported version".
        if (answer.version == nat_pmp_version) {
            enter_step(nat, nat_step_address, mapping->port, now_ms);
            return;
        }
        if (answer.opcode != nat_opcode_map_udp || std::memcmp(answer.nonce, nat->nonce, pcp_nonce_size) != 0) {
            ignore_answer(mapping, "to another request", size);
            return;
        }
        const bool refused = answer.result != 0 || answer.external_port == 0;
        if (refused && nat->renewing) {
            renewal_failed(mapping, "refused", now_ms);
            return;
        }
        if (refused) {
            char note[port_mapping_text_capacity];
            std::snprintf(note, sizeof note, "PCP: the router refused the port (result %d); asking by NAT-PMP",
                          answer.result);
            add_note(mapping, note);
            enter_step(nat, nat_step_address, mapping->port, now_ms);
            return;
        }
        if (nat_granted(mapping, answer.lifetime, now_ms)) return;
        nat->by_pcp = true;
        nat->external = answer.external;
        nat->external.port = answer.external_port;
        way_opened(mapping, way_pcp, nat->external, now_ms);
        return;
    }
    const int expected = nat->step == nat_step_address ? nat_opcode_address : nat_opcode_map_udp;
    if (answer.version != nat_pmp_version || answer.opcode != expected) {
        ignore_answer(mapping, "to another request", size);
        return;
    }
    if (answer.result != 0 && nat->renewing) {
        renewal_failed(mapping, "refused", now_ms);
        return;
    }
    if (answer.result != 0) {
        char why[80];
        std::snprintf(why, sizeof why, "the router refused (NAT-PMP result %d)", answer.result);
        nat_failed(mapping, why);
        return;
    }
    if (nat->step == nat_step_address) {
        nat->external = answer.external;
        enter_step(nat, nat_step_map, mapping->port, now_ms);
        return;
    }
    if (nat_granted(mapping, answer.lifetime, now_ms)) return;
    nat->external.port = answer.external_port;
    way_opened(mapping, way_nat_pmp, nat->external, now_ms);
}

void update_nat(PortMapping* mapping, int64_t now_ms) {
    NatExchange* nat = &mapping->nat;
    for (int taken = 0; taken < most_answers && nat->socket >= 0; ++taken) {
        uint8_t bytes[nat_answer_capacity];
        DatagramAddress from;
        const int size = datagram_receive(nat->socket, bytes, sizeof bytes, &from);
        if (size < 0) break;
        // Only the router we asked is heard; the port is its own (5351).
        if (!same_datagram_address(from, nat->router)) continue;
        if (nat->step == nat_step_pcp || nat->step == nat_step_address || nat->step == nat_step_map)
            take_answer(mapping, bytes, size > nat_answer_capacity ? nat_answer_capacity : size, now_ms);
    }
    if (nat->step == nat_step_open && now_ms >= nat->renew_ms) {
        // The same request again: PCP with the same nonce renews the mapping it made.
        nat->renewing = true;
        enter_step(nat, nat->by_pcp ? nat_step_pcp : nat_step_map, mapping->port, now_ms);
    }
    if (nat->step != nat_step_pcp && nat->step != nat_step_address && nat->step != nat_step_map) return;
    if (now_ms - nat->step_began_ms >= nat_silence_limit_ms && nat->renewing) {
        renewal_failed(mapping, "no answer", now_ms);
        return;
    }
    if (now_ms - nat->step_began_ms >= nat_silence_limit_ms) {
        // PCP unanswered: a NAT-PMP router may still hear its own protocol.
        if (nat->step == nat_step_pcp) enter_step(nat, nat_step_address, mapping->port, now_ms);
        else nat_failed(mapping, "the router did not answer");
        return;
    }
    const int64_t wait = nat_first_retry_ms << (nat->tries - 1);
    if (now_ms - nat->sent_ms >= wait) {
        send_request(nat, mapping->port, nat_lifetime_s);
        nat->sent_ms = now_ms;
        ++nat->tries;
    }
}

// UPnP's lease renewed at half its time by the same request on the thread.
void renew_upnp(PortMapping* mapping, int64_t now_ms) {
    if (!mapping->upnp_renewing) {
        if (mapping->upnp_open && now_ms >= mapping->upnp_renew_ms) mapping->upnp_renewing = upnp_renew();
        return;
    }
    const UpnpResult result = upnp_poll();
    if (result.outcome == upnp_asking) return;
    mapping->upnp_renewing = false;
    const bool renewed = result.outcome == upnp_open;
    mapping->upnp_renew_ms = now_ms + (renewed ? upnp_lease_s * int64_t{500} : renew_retry_ms);
    char note[port_mapping_text_capacity];
    if (renewed) std::snprintf(note, sizeof note, "the router renewed port %d (UPnP)", mapping->port);
    else std::snprintf(note, sizeof note, "UPnP: the router did not renew port %d (%.100s); asking again in a minute",
                       mapping->port, result.why);
    add_note(mapping, note);
}

void update_upnp(PortMapping* mapping, int64_t now_ms) {
    if (mapping->upnp_done) return renew_upnp(mapping, now_ms);
    if (!mapping->upnp_asked) return;
    const UpnpResult result = upnp_poll();
    if (result.outcome == upnp_asking && now_ms - mapping->began_ms >= upnp_limit_ms) {
        mapping->upnp_done = true;
        add_note(mapping, "UPnP: the router is still answering after 6 s; not waited for");
        return;
    }
    if (result.outcome == upnp_asking) return;
    mapping->upnp_done = true;
    if (result.outcome == upnp_open) {
        // Only an IPv4 address as such is taken from the router: a name would be looked up.
        const char* address = result.external_address;
        bool numeric = address[0] != '\0';
        for (const char* c = address; *c; ++c) numeric = numeric && ((*c >= '0' && *c <= '9') || *c == '.');
        DatagramAddress external;
        if (numeric && datagram_resolve(address, result.external_port, &external)) {
            way_opened(mapping, way_upnp, external, now_ms);
            mapping->upnp_open = true;
            mapping->upnp_renew_ms = now_ms + upnp_lease_s * int64_t{500};
            return;
        }
        add_note(mapping, "UPnP: the router's outside address is no address; its port is left to close");
        return;
    }
    char note[port_mapping_text_capacity];
    std::snprintf(note, sizeof note, "UPnP: %s", result.why);
    add_note(mapping, note);
}

}  // namespace

void port_mapping_start(PortMapping* mapping, int port, int64_t now_ms) {
    DatagramAddress router, client;
    const bool routed = datagram_default_gateway(&router) && datagram_source_for(router, &client);
    router.port = nat_pmp_port;
    port_mapping_ask(mapping, port, routed ? &router : nullptr, routed ? &client : nullptr, true, now_ms);
}

void port_mapping_ask(PortMapping* mapping, int port, const DatagramAddress* router, const DatagramAddress* client,
                      bool by_upnp, int64_t now_ms) {
    std::memset(mapping, 0, sizeof *mapping);
    mapping->state = port_mapping_asking;
    mapping->port = port;
    mapping->began_ms = now_ms;
    mapping->nat.socket = -1;
    mapping->upnp_asked = by_upnp && upnp_start(port);
    mapping->upnp_done = !mapping->upnp_asked;
    if (router) start_nat(mapping, *router, *client, now_ms);
    else nat_failed(mapping, "this machine has no router to ask");
    port_mapping_update(mapping, now_ms);
}

void port_mapping_update(PortMapping* mapping, int64_t now_ms) {
    if (mapping->state == port_mapping_off) return;
    update_nat(mapping, now_ms);
    update_upnp(mapping, now_ms);
    const bool nat_done = mapping->nat.step == nat_step_open || mapping->nat.step == nat_step_failed;
    if (mapping->state == port_mapping_asking && nat_done && mapping->upnp_done) {
        mapping->state = port_mapping_closed;
        mapping->settled_ms = now_ms;
        char note[port_mapping_text_capacity];
        std::snprintf(note, sizeof note, "no way opened port %d: settled after %lld ms", mapping->port,
                      static_cast<long long>(now_ms - mapping->began_ms));
        add_note(mapping, note);
    }
}

void port_mapping_line(const PortMapping& mapping, char* text, int size) {
    if (mapping.state == port_mapping_off) {
        std::snprintf(text, size, "The router is not asked to open a port.");
    } else if (mapping.state == port_mapping_asking) {
        std::snprintf(text, size, "Asking the router to open port %d...", mapping.port);
    } else if (mapping.state == port_mapping_closed) {
        std::snprintf(text, size,
                      "No router answered: for players on the Internet, forward UDP port %d to this machine "
                      "by hand.", mapping.port);
    } else {
        char address[datagram_address_text_capacity];
        datagram_address_text(mapping.external, address, sizeof address);
        std::snprintf(text, size, "Port %d is open on the router (%s): players on the Internet join %s",
                      mapping.external.port, way_names[mapping.ways[0]], address);
    }
}

const char* port_mapping_note(const PortMapping& mapping, int index) {
    if (index < 0 || index >= mapping.notes_made || index < mapping.notes_made - port_mapping_notes_kept) return "";
    return mapping.notes[index % port_mapping_notes_kept];
}

void port_mapping_stop(PortMapping* mapping) {
    if (mapping->state == port_mapping_off) return;
    NatExchange* nat = &mapping->nat;
    if (nat->socket >= 0 && (nat->sent_pcp || nat->sent_nat_pmp)) {
        // Whatever was asked may have been granted unheard: each is taken back.
        uint8_t request[nat_request_capacity];
        if (nat->sent_pcp) {
            const int size = pcp_map_request(request, nat->client, mapping->port, 0, nat->nonce);
            datagram_send(nat->socket, nat->router, request, size);
        }
        if (nat->sent_nat_pmp) {
            const int size = nat_pmp_map_request(request, mapping->port, 0);
            datagram_send(nat->socket, nat->router, request, size);
        }
        // An answer is a sign the router took it; none is no reason to wait longer.
        if (nat->step == nat_step_open && datagram_wait(nat->socket, removal_wait_ms)) {
            char note[port_mapping_text_capacity];
            std::snprintf(note, sizeof note, "the router closed port %d again (%s)", mapping->port,
                          nat_way_name(*nat));
            add_note(mapping, note);
        }
    }
    datagram_close(nat->socket);
    nat->socket = -1;
    if (upnp_finish()) {
        char note[port_mapping_text_capacity];
        std::snprintf(note, sizeof note, "the router closed port %d again (UPnP)", mapping->port);
        add_note(mapping, note);
    }
    mapping->state = port_mapping_off;
}

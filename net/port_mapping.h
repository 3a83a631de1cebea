// The host's port opened on its router for the game: UPnP, PCP and NAT-PMP
// asked side by side without holding the lobby, and closed again at the end.
#pragma once

#include <cstdint>

#include "net/nat_pmp.h"
#include "platform/datagram.h"

// PCP's and NAT-PMP's requests go again after 250 ms, then 500; each
// protocol is given up after 1.5 s of silence, so a router that never
// answers is known within 3 s (UPnP's search listens 2 s beside them).
constexpr int64_t nat_first_retry_ms = 250;
constexpr int64_t nat_silence_limit_ms = 1500;
// How long the port is asked for; the end of the game gives it back sooner,
// and a longer game renews it at half the time the router granted (a
// player who drops after hours must still find the port open). A renewal
// unanswered is tried again a minute later.
constexpr uint32_t nat_lifetime_s = 7200;
constexpr uint32_t nat_least_lifetime_s = 120;
constexpr int64_t renew_retry_ms = 60000;
// A UPnP router still talking after this long is not waited for by the lobby.
constexpr int64_t upnp_limit_ms = 6000;
constexpr int port_mapping_notes_kept = 4;
constexpr int port_mapping_text_capacity = 200;

enum PortMappingState {
    port_mapping_off,     // not asked (--no-port-mapping, or a guest)
    port_mapping_asking,
    port_mapping_open,    // at least one way worked: external says where
    port_mapping_closed,  // nothing answered, or every way refused
};

enum NatStep {
    nat_step_pcp,          // asking by PCP's MAP
    nat_step_address,      // asking NAT-PMP for the outside address
    nat_step_map,          // asking NAT-PMP to map the port
    nat_step_open,
    nat_step_failed,
};

// The PCP and NAT-PMP half, a datagram exchange polled from the lobby.
struct NatExchange {
    NatStep step;
    int socket;
    DatagramAddress router;  // the default gateway, port 5351
    DatagramAddress client;  // this machine as the router sees it
    uint8_t nonce[pcp_nonce_size];
    int tries;
    int64_t step_began_ms;
    int64_t sent_ms;
    bool sent_pcp, sent_nat_pmp;  // what must be taken back at the end
    bool by_pcp;                  // open by PCP (else NAT-PMP)
    DatagramAddress external;
    bool renewing;                // asking again for a port it holds
    int64_t renew_ms;             // when an open port is asked for again
};

enum PortMappingWay { way_upnp, way_pcp, way_nat_pmp, way_count };

struct PortMapping {
    PortMappingState state;
    int port;
    int64_t began_ms;
    int64_t settled_ms;  // when it became open or closed
    NatExchange nat;
    bool upnp_asked, upnp_done;
    bool upnp_open, upnp_renewing;
    int64_t upnp_renew_ms;
    // The ways that worked, in the order they did; the first one's address is shown.
    PortMappingWay ways[way_count];
    int ways_open;
    DatagramAddress external;
    // Lines for the log: answers ignored, why each way failed, what was closed.
    char notes[port_mapping_notes_kept][port_mapping_text_capacity];
    int notes_made;
};

// Starts asking the router for UDP port `port`; never waits.
void port_mapping_start(PortMapping* mapping, int port, int64_t now_ms);
// The same with the router to ask by PCP and NAT-PMP (its port 5351; none:
// no such router) and this machine's address as it sees it given; UPnP
// only when by_upnp.
void port_mapping_ask(PortMapping* mapping, int port, const DatagramAddress* router, const DatagramAddress* client,
                      bool by_upnp, int64_t now_ms);
// Takes the router's answers and sends what is due, renewals included (so
// it is called through the game too); never waits.
void port_mapping_update(PortMapping* mapping, int64_t now_ms);
// What the lobby says of it, one sentence.
void port_mapping_line(const PortMapping& mapping, char* text, int size);
// Note `index` (notes_made - port_mapping_notes_kept <= index < notes_made), or "".
const char* port_mapping_note(const PortMapping& mapping, int index);
// Takes back every mapping made or asked for: waits at most a moment for
// the router (NAT-PMP and PCP), and for UPnP's thread and its removal.
void port_mapping_stop(PortMapping* mapping);

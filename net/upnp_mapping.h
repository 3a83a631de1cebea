// The router asked for a port by UPnP IGD, through the system's miniupnpc
// where the build has it. Its calls block, so they run on a thread of their own.
#pragma once

#include <cstdint>

enum UpnpOutcome {
    upnp_unavailable,  // this build has no UPnP
    upnp_asking,
    upnp_open,
    upnp_failed,  // why says why
};

constexpr int upnp_text_capacity = 160;

struct UpnpResult {
    UpnpOutcome outcome;
    char external_address[48];  // the router's outside address as it says it
    uint16_t external_port;
    char why[upnp_text_capacity];
};

// Starts asking for UDP port `port` to be forwarded here; false (nothing
// started) when the build has no UPnP or an ask is already on.
bool upnp_start(int port);
// Without waiting: the outcome so far (upnp_asking until the thread is done).
UpnpResult upnp_poll();
// The lease UPnP asks for, in seconds (the game renews it at half).
constexpr int upnp_lease_s = 7200;
// Asks again for the port the thread opened, on a thread of its own; false
// when nothing is open or a thread is still asking. upnp_poll says how it went.
bool upnp_renew();
// Another way opened the port first: the thread adds no mapping it has not
// added yet.
void upnp_stop_adding();
// Waits for the thread (3 s at most: one still asking then is left behind),
// then removes the mapping it made; true when one was removed.
bool upnp_finish();

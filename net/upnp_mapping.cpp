#include "net/upnp_mapping.h"

#include <cstdio>
#include <cstring>

#ifdef VARNHOLD_HAVE_MINIUPNPC
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// How long the routers of the LAN are listened for after the search.
constexpr int discover_ms = 2000;
// A lease the router renews by nothing: a game that crashes leaves no port
// open for longer. A router that only keeps permanent ones gets one (and
// the end of the game still removes it).
constexpr const char* lease_seconds = "7200";
constexpr int only_permanent_leases = 725;
// How long the end of the game waits for a thread still asking. A router
// that answers byte by byte could hold it for ever: it is then left to the
// process's end, and whatever it adds lapses with its lease.
constexpr int finish_wait_ms = 3000;

std::thread worker;
std::atomic<bool> done{false};
std::atomic<bool> stop_adding{false};
bool started = false;
bool abandoned = false;  // a thread that never finished: no other may start beside it
int asked_port = 0;
UpnpResult result;
UPNPUrls urls;
IGDdatas igd;
bool have_urls = false;
bool mapped = false;

void fail(const char* why) {
    result.outcome = upnp_failed;
    std::snprintf(result.why, sizeof result.why, "%s", why);
}

void add_mapping(const char* lan_address) {
    char port[8];
    std::snprintf(port, sizeof port, "%d", asked_port);
    int status = UPNP_AddPortMapping(urls.controlURL, igd.first.servicetype, port, port, lan_address, "Varnhold",
                                     "UDP", nullptr, lease_seconds);
    if (status == only_permanent_leases)
        status = UPNP_AddPortMapping(urls.controlURL, igd.first.servicetype, port, port, lan_address, "Varnhold",
                                     "UDP", nullptr, "0");
    if (status != 0) {
        char why[upnp_text_capacity];
        std::snprintf(why, sizeof why, "the router refused the port: %d %s", status, strupnperror(status));
        fail(why);
        return;
    }
    mapped = true;
    result.outcome = upnp_open;
    result.external_port = static_cast<uint16_t>(asked_port);
}

void ask_router() {
    int error = 0;
    // One search: each further kind of device searched for would wait its own discover_ms.
    UPNPDev* devices = upnpDiscoverDevice("urn:schemas-upnp-org:device:InternetGatewayDevice:1", discover_ms, nullptr,
                                          nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error);
    if (!devices) {
        fail("no UPnP router answered");
        return;
    }
    char lan_address[64] = "";
    const int found = UPNP_GetValidIGD(devices, &urls, &igd, lan_address, sizeof lan_address);
    freeUPNPDevlist(devices);
    have_urls = found != 0;
    if (found != 1) {
        // A description that is no XML, or no router's, lands here.
        fail(found == 2 ? "the UPnP router is not connected outside"
                        : "a UPnP device answered, but no router of its description could be read");
        return;
    }
    if (UPNP_GetExternalIPAddress(urls.controlURL, igd.first.servicetype, result.external_address) != 0 ||
        !result.external_address[0]) {
        fail("the UPnP router did not say its outside address");
        return;
    }
    if (stop_adding.load()) {
        fail("another way opened the port first");
        return;
    }
    add_mapping(lan_address);
}

}  // namespace

bool upnp_start(int port) {
    if (started || abandoned) return false;
    std::memset(&result, 0, sizeof result);
    result.outcome = upnp_asking;
    asked_port = port;
    done = false;
    stop_adding = false;
    mapped = have_urls = false;
    started = true;
    worker = std::thread([] {
        ask_router();
        done = true;
    });
    return true;
}

UpnpResult upnp_poll() {
    if (!started) {
        UpnpResult none = {upnp_unavailable, "", 0, ""};
        return none;
    }
    if (!done.load()) {
        UpnpResult asking = {upnp_asking, "", 0, ""};
        return asking;
    }
    return result;
}

void upnp_stop_adding() { stop_adding = true; }

bool upnp_finish() {
    if (!started) return false;
    stop_adding = true;
    for (int waited = 0; !done.load() && waited < finish_wait_ms; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    started = false;
    if (!done.load()) {
        worker.detach();
        abandoned = true;
        return false;
    }
    worker.join();
    bool removed = false;
    if (mapped) {
        char port[8];
        std::snprintf(port, sizeof port, "%d", asked_port);
        removed = UPNP_DeletePortMapping(urls.controlURL, igd.first.servicetype, port, "UDP", nullptr) == 0;
    }
    if (have_urls) FreeUPNPUrls(&urls);
    mapped = have_urls = false;
    return removed;
}

#else

// A build without miniupnpc (Windows) asks by NAT-PMP and PCP alone.
bool upnp_start(int) { return false; }
UpnpResult upnp_poll() {
    UpnpResult none = {upnp_unavailable, "", 0, ""};
    return none;
}
void upnp_stop_adding() {}
bool upnp_finish() { return false; }

#endif

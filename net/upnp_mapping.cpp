#include "net/upnp_mapping.h"

#include <cstdio>
#include <cstring>

#ifdef VARNHOLD_HAVE_MINIUPNPC
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnperrors.h>
#include <miniupnpc/upnpreplyparse.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <initializer_list>
#include <thread>

#include "net/upnp_http.h"

namespace {

// How long the routers of the LAN are listened for after the search.
constexpr int discover_ms = 2000;
// The devices of one search whose descriptions are read, at most.
constexpr int devices_read = 4;
// The lease is upnp_lease_s: a game that crashes leaves no port open for
// longer. A router that only keeps permanent ones gets one (and the end of
// the game still removes it).
constexpr int only_permanent_leases = 725;
// How long the end of the game waits for a thread still asking. Each
// exchange with the router ends within 2 s, so a thread still asking then is
// rare: it is left to the process's end, and whatever it adds lapses with
// its lease.
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
char lan_address[64] = "";  // this machine's address towards the router, kept for renewals
// The router's answers, read on the worker thread alone (64 kB: off its stack).
UpnpHttpAnswer answer;

void fail(const char* why) {
    result.outcome = upnp_failed;
    std::snprintf(result.why, sizeof result.why, "%s", why);
}

// Asks the router's connection service for ACTION; the answer's values are
// in `values` (to be cleared), false with why when there was no answer or
// the router refused (its error code in `refused`, or 0).
bool ask(const char* action, const char* arguments, NameValueParserData* values, int* refused, char* why,
         int why_size) {
    *refused = 0;
    std::memset(values, 0, sizeof *values);
    if (!upnp_http_soap(urls.controlURL, igd.first.servicetype, action, arguments, &answer)) {
        std::snprintf(why, why_size, "the router's answer to %s was refused: %s", action, answer.why);
        return false;
    }
    ParseNameValue(answer.body, answer.body_size, values);
    const char* error = GetValueFromNameValueList(values, "errorCode");
    if (error) {
        *refused = std::atoi(error);
        std::snprintf(why, why_size, "the router refused %s: %d %s", action, *refused, strupnperror(*refused));
        return false;
    }
    if (answer.status != 200) {
        std::snprintf(why, why_size, "the router answered %s with HTTP status %d", action, answer.status);
        return false;
    }
    return true;
}

void add_mapping() {
    char arguments[512];
    char why[upnp_text_capacity];
    NameValueParserData values;
    int refused = 0;
    bool added = false;
    for (const int lease : {upnp_lease_s, 0}) {
        std::snprintf(arguments, sizeof arguments,
                      "<NewRemoteHost></NewRemoteHost><NewExternalPort>%d</NewExternalPort>"
                      "<NewProtocol>UDP</NewProtocol><NewInternalPort>%d</NewInternalPort>"
                      "<NewInternalClient>%s</NewInternalClient><NewEnabled>1</NewEnabled>"
                      "<NewPortMappingDescription>Varnhold</NewPortMappingDescription>"
                      "<NewLeaseDuration>%d</NewLeaseDuration>",
                      asked_port, asked_port, lan_address, lease);
        added = ask("AddPortMapping", arguments, &values, &refused, why, sizeof why);
        ClearNameValueList(&values);
        if (added || refused != only_permanent_leases) break;
    }
    if (!added) {
        fail(why);
        return;
    }
    mapped = true;
    result.outcome = upnp_open;
    result.external_port = static_cast<uint16_t>(asked_port);
}

// Reads the devices' descriptions until one is a router's: its URLs and this
// machine's address towards it. The last device's fault when none is.
bool find_router(UPNPDev* devices) {
    char why[upnp_text_capacity] = "";
    int read = 0;
    for (UPNPDev* device = devices; device && read < devices_read; device = device->pNext, ++read) {
        if (!upnp_http_get(device->descURL, &answer)) {
            std::snprintf(why, sizeof why, "a UPnP device answered, but its description was refused: %s", answer.why);
            continue;
        }
        std::memset(&igd, 0, sizeof igd);
        // A description that is no XML, or no router's, names no connection service.
        parserootdesc(answer.body, answer.body_size, &igd);
        if (answer.status != 200 || !igd.first.servicetype[0]) {
            std::snprintf(why, sizeof why, "a UPnP device answered, but no router of its description could be read");
            continue;
        }
        std::snprintf(lan_address, sizeof lan_address, "%s", answer.local_address);
        GetUPNPUrls(&urls, &igd, device->descURL, device->scope_id);
        have_urls = urls.controlURL != nullptr;
        if (have_urls) return true;
    }
    fail(why);
    return false;
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
    const bool found = find_router(devices);
    freeUPNPDevlist(devices);
    if (!found) return;
    char why[upnp_text_capacity];
    NameValueParserData values;
    int refused = 0;
    const bool said = ask("GetExternalIPAddress", "", &values, &refused, why, sizeof why);
    const char* address = said ? GetValueFromNameValueList(&values, "NewExternalIPAddress") : nullptr;
    if (address) std::snprintf(result.external_address, sizeof result.external_address, "%s", address);
    ClearNameValueList(&values);
    if (!address || !result.external_address[0]) {
        fail(said ? "the UPnP router did not say its outside address" : why);
        return;
    }
    if (stop_adding.load()) {
        fail("another way opened the port first");
        return;
    }
    add_mapping();
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

bool upnp_renew() {
    if (!started || !done.load() || !mapped) return false;
    worker.join();
    done = false;
    worker = std::thread([] {
        add_mapping();
        done = true;
    });
    return true;
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
        char arguments[256];
        std::snprintf(arguments, sizeof arguments,
                      "<NewRemoteHost></NewRemoteHost><NewExternalPort>%d</NewExternalPort><NewProtocol>UDP</NewProtocol>",
                      asked_port);
        char why[upnp_text_capacity];
        NameValueParserData values;
        int refused = 0;
        removed = ask("DeletePortMapping", arguments, &values, &refused, why, sizeof why);
        ClearNameValueList(&values);
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
bool upnp_renew() { return false; }

#endif

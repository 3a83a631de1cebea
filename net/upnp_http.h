// One HTTP exchange with a UPnP device, bounded: the whole answer is read
// into a fixed buffer within a time, or refused. A router's description is
// a few kilobytes and its answers less; a device that sends more, or never
// stops, is no router of ours, and must not grow the game's memory or hold
// its thread.
#pragma once

constexpr int upnp_answer_capacity = 64 * 1024;
constexpr int upnp_exchange_ms = 2000;

struct UpnpHttpAnswer {
    char bytes[upnp_answer_capacity + 1];  // the answer, head and body, NUL after
    int size;
    int status;                    // the HTTP status
    const char* body;              // within bytes, chunks joined
    int body_size;
    char local_address[64];        // this machine's address towards the device
    char why[96];                  // what went wrong, when the exchange failed
};

// Reads the answer in bytes[0, size): its status and body (a chunked one
// joined in place); false with why when it is no whole HTTP answer.
bool upnp_read_http_answer(UpnpHttpAnswer* answer);
// Fetches URL (a numeric host: a device's words never start a name lookup).
// False, with the answer's why, when it could not be had whole.
bool upnp_http_get(const char* url, UpnpHttpAnswer* answer);
// Posts a SOAP ACTION of SERVICE with ARGUMENTS (the XML elements) to URL.
bool upnp_http_soap(const char* url, const char* service, const char* action, const char* arguments,
                    UpnpHttpAnswer* answer);

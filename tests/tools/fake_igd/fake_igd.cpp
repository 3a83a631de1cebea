// fake_igd ADDRESS MODE SECONDS: answers every UPnP search heard on
// 239.255.255.250:1900 with a device at http://ADDRESS:1901/, and serves
// there, by MODE, a description that is no XML ("not-xml"), one that never
// ends ("huge"), or a router's description whose control answers never end
// ("endless-answer"). It prints one line per search answered and per answer
// served, with the bytes sent, and ends after SECONDS. Run it only inside a network
// namespace the test made: it listens on every address.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr int http_port = 1901;
// An endless answer stops at this many bytes, or when the reader stops.
constexpr long long endless_limit = 4LL << 30;

double now_s() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

int open_search_socket(const char* address) {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    const int yes = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(1900);
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) return -1;
    ip_mreq group{};
    group.imr_multiaddr.s_addr = inet_addr("239.255.255.250");
    // The interface of ADDRESS: a router namespace may have no default route.
    group.imr_interface.s_addr = inet_addr(address);
    if (setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) != 0) return -1;
    return s;
}

int open_http_socket() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(http_port);
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(s, 4) != 0) return -1;
    return s;
}

void answer_search(int s, const char* address) {
    char request[1500];
    sockaddr_in from{};
    socklen_t from_size = sizeof from;
    const ssize_t got = recvfrom(s, request, sizeof request - 1, 0, reinterpret_cast<sockaddr*>(&from), &from_size);
    if (got <= 0) return;
    request[got] = '\0';
    if (std::strncmp(request, "M-SEARCH", 8) != 0) return;
    char answer[512];
    const int size = std::snprintf(answer, sizeof answer,
                                   "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\n"
                                   "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n"
                                   "USN: uuid:00000000-0000-0000-0000-000000000001::"
                                   "urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n"
                                   "EXT:\r\nSERVER: test/1 UPnP/1.1 test/1\r\n"
                                   "LOCATION: http://%s:%d/rootDesc.xml\r\n\r\n",
                                   address, http_port);
    sendto(s, answer, size, 0, reinterpret_cast<sockaddr*>(&from), from_size);
    std::printf("answered a search\n");
    std::fflush(stdout);
}

// Sends all of it, or gives up when the reader stops or the time is over.
bool send_all(int c, const char* bytes, size_t size, double until) {
    while (size > 0 && now_s() < until) {
        pollfd wait = {c, POLLOUT, 0};
        if (poll(&wait, 1, 200) <= 0) continue;
        const ssize_t sent = send(c, bytes, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes += sent;
        size -= static_cast<size_t>(sent);
    }
    return size == 0;
}

// Sends a whole answer of BODY, with its length.
long long send_whole(int c, const char* body, double until) {
    char head[256];
    const size_t body_size = std::strlen(body);
    const int size = std::snprintf(head, sizeof head,
                                   "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: %zu\r\n"
                                   "Connection: close\r\n\r\n",
                                   body_size);
    return send_all(c, head, size, until) && send_all(c, body, body_size, until) ? size + body_size : 0;
}

// An XML opening, then tags for as long as the reader reads, with no length
// said: the answer ends only when one side closes.
long long send_endless(int c, double until) {
    const char head[] = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n"
                        "<?xml version=\"1.0\"?><root xmlns=\"urn:schemas-upnp-org:device-1-0\"><device>";
    long long sent = send_all(c, head, sizeof head - 1, until) ? sizeof head - 1 : 0;
    static char tags[65536];
    for (size_t i = 0; i + 8 <= sizeof tags; i += 8) std::memcpy(tags + i, "<x>1</x>", 8);
    while (sent > 0 && sent < endless_limit && send_all(c, tags, sizeof tags, until)) sent += sizeof tags;
    return sent;
}

// A router's description as far as a reader needs it: one connection
// service and its control address.
const char router_description[] =
    "<?xml version=\"1.0\"?><root xmlns=\"urn:schemas-upnp-org:device-1-0\"><specVersion><major>1</major>"
    "<minor>0</minor></specVersion><device><deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1"
    "</deviceType><deviceList><device><deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>"
    "<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType>"
    "<serviceList><service><serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType>"
    "<serviceId>urn:upnp-org:serviceId:WANIPConn1</serviceId><controlURL>/ctl/IPConn</controlURL>"
    "<eventSubURL>/evt/IPConn</eventSubURL><SCPDURL>/WANIPCn.xml</SCPDURL></service></serviceList></device>"
    "</deviceList></device></deviceList></device></root>";

void serve(int listener, const char* mode, double until) {
    const int c = accept(listener, nullptr, nullptr);
    if (c < 0) return;
    char request[4096] = "";
    pollfd wait = {c, POLLIN, 0};
    if (poll(&wait, 1, 1000) > 0) (void)recv(c, request, sizeof request - 1, 0);
    const bool post = std::strncmp(request, "POST", 4) == 0;
    long long sent = 0;
    if (std::strcmp(mode, "not-xml") == 0) sent = send_whole(c, "\x01\x02 this is no description {]]> <<<\xff\xfe", until);
    else if (std::strcmp(mode, "huge") == 0 || post) sent = send_endless(c, until);
    else sent = send_whole(c, router_description, until);
    close(c);
    std::printf("served %s of %lld bytes (%s)\n", post ? "an answer" : "a description", sent, mode);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const char* modes[] = {"not-xml", "huge", "endless-answer"};
    bool known = false;
    for (const char* mode : modes) known = known || (argc == 4 && std::strcmp(argv[2], mode) == 0);
    if (!known) {
        std::fprintf(stderr, "usage: fake_igd ADDRESS not-xml|huge|endless-answer SECONDS\n");
        return 2;
    }
    const double until = now_s() + std::atof(argv[3]);
    const int search = open_search_socket(argv[1]);
    const int listener = open_http_socket();
    if (search < 0 || listener < 0) {
        std::perror("fake_igd: cannot listen");
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    while (now_s() < until) {
        pollfd ready[2] = {{search, POLLIN, 0}, {listener, POLLIN, 0}};
        if (poll(ready, 2, 100) <= 0) continue;
        if (ready[0].revents & POLLIN) answer_search(search, argv[1]);
        if (ready[1].revents & POLLIN) serve(listener, argv[2], until);
    }
    return 0;
}

// Datagrams between machines (UDP over IPv4, and IPv6 where the system has
// it): sockets, sending, receiving without waiting or waiting asleep for a
// datagram, and addresses as values.
#pragma once

#include <cstdint>

constexpr int datagram_ipv4 = 4;
constexpr int datagram_ipv6 = 6;

// An address and port as a plain value, so that it can be copied, compared
// and kept in fixed arrays. An IPv4 address fills the first 4 bytes.
struct DatagramAddress {
    uint8_t family;  // datagram_ipv4, datagram_ipv6, or 0 for none
    uint8_t bytes[16];
    uint16_t port;
    // The interface a link-local IPv6 address lies behind (0: none needed):
    // fe80::1 names a machine only together with the link it is on.
    uint32_t scope;
};

// A host's name or address as resolving takes it: 255 characters and the NUL.
constexpr int datagram_host_capacity = 256;
// "[" + the longest IPv6 text + "%" + its interface + "]:65535" and the NUL.
constexpr int datagram_address_text_capacity = 64;

// The address that stands for every interface of the machine (bind to it to
// hear from anywhere), and the loopback address (to hear from this machine only).
DatagramAddress datagram_any_address(int family, int port);
DatagramAddress datagram_loopback_address(int family, int port);
bool same_datagram_address(const DatagramAddress& a, const DatagramAddress& b);
// "192.0.2.7:41970" or "[2001:db8::7]:41970".
void datagram_address_text(const DatagramAddress& address, char* text, int size);
// False for the addresses no other machine can reach this one by:
// unspecified, loopback and link-local.
bool datagram_address_reaches_others(const DatagramAddress& address);
// Splits "HOST", "HOST:PORT", "[V6HOST]" or "[V6HOST]:PORT" (a bare IPv6
// address has more than one colon and no port); the port is default_port
// when none is given. False for an empty host, a host longer than
// host_size - 1, an unclosed '[', or a port that is not a number from 1 to
// 65535; then why (when given) says what the text needs, to follow
// "needs": "a port from 1 to 65535 after the host, not '0'".
bool datagram_split_host_port(const char* text, int default_port, char* host, int host_size, int* port,
                              char* why = nullptr, int why_size = 0);

// A non-blocking UDP socket bound to this local address (port 0: any free
// port). An IPv6 socket also hears IPv4 where the system allows it, and
// those senders then come back as IPv4 addresses. Returns a handle, or -1
// with the reason in datagram_last_error.
int datagram_open(const DatagramAddress& local);
// The port the socket is bound to, or 0.
int datagram_local_port(int socket);
// Sends one datagram; false when the system refused it at once (a full
// buffer, no route). A datagram sent is not a datagram delivered.
bool datagram_send(int socket, const DatagramAddress& to, const void* bytes, int size);
// Takes one waiting datagram without waiting for one: returns its size and
// its sender, or -1 when none waits. A datagram longer than capacity is
// returned as capacity + 1 with only its first capacity bytes kept.
int datagram_receive(int socket, void* bytes, int capacity, DatagramAddress* from);
// The same, with the address of this machine the sender called (port 0),
// for a socket bound to the any address; the any address where the system
// does not tell it.
int datagram_receive_at(int socket, void* bytes, int capacity, DatagramAddress* from, DatagramAddress* called);
// Sends from this machine's address `local` (the one the other side
// called; the any address: the one the system's routes choose), so that a
// machine of several addresses answers from the one it was called at.
bool datagram_send_from(int socket, const DatagramAddress& local, const DatagramAddress& to, const void* bytes,
                        int size);
// Waits until a datagram waits on the socket or timeout_ms passes, asleep
// meanwhile; true when one waits. A caller with nothing to do until a
// datagram or a moment of its own waits here rather than polling.
bool datagram_wait(int socket, int timeout_ms);
void datagram_close(int socket);

// Resolves "HOST" or "HOST:PORT" (numeric or a name; names may wait on the
// system's resolver) into the first address the system offers, IPv4 first.
bool datagram_resolve(const char* text, int default_port, DatagramAddress* address);
// This machine's addresses that others may reach it by (see
// datagram_address_reaches_others), with port 0, at most capacity; returns
// how many.
int datagram_local_addresses(DatagramAddress* addresses, int capacity);

// The IPv4 router of this machine's default route (port 0): where a port is
// asked for with NAT-PMP or PCP. False when the machine has no default route.
bool datagram_default_gateway(DatagramAddress* gateway);
// The address of this machine that datagrams to `to` leave from (port 0),
// as the routes choose it; nothing is sent.
bool datagram_source_for(const DatagramAddress& to, DatagramAddress* local);
// The addresses that reach every machine on this machine's links at port:
// the IPv4 broadcast address of each interface that has one (255.255.255.255
// where the system does not list them), and the all-nodes link-local IPv6
// group ff02::1 on each interface with IPv6. At most capacity; returns how many.
int datagram_link_addresses(DatagramAddress* addresses, int capacity, int port);
// Lets the socket send to IPv4 broadcast addresses.
bool datagram_allow_broadcast(int socket);
// As datagram_open, on a port other sockets of this machine may bind too,
// so that two programs on one machine both hear what is broadcast to it
// (a datagram sent to the machine alone reaches one of them).
int datagram_open_shared(const DatagramAddress& local);
// This machine's name as the system knows it, or "" (size at least 1).
void datagram_machine_name(char* name, int size);

// Why the last open, resolve or listing failed, in a few words.
const char* datagram_last_error();

// The system's socket addresses turned into the game's address values and
// back, shared by the POSIX and the Winsock datagrams.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using socket_length = int;
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
using socket_length = socklen_t;
#endif

#include "platform/datagram.h"

// IPv4 senders on a dual-stack socket arrive as ::ffff:a.b.c.d and come
// back as the IPv4 addresses they are.
DatagramAddress address_from_system(const sockaddr_storage& system);
// The system's form of an address for a socket of socket_family (AF_INET or
// AF_INET6): an IPv4 address to an IPv6 socket goes mapped. Returns its length.
socket_length address_to_system(const DatagramAddress& address, int socket_family, sockaddr_storage* system);
// The first IPv4 address of a resolver's answer, else its first IPv6 one:
// every machine that plays has IPv4, not every one has IPv6.
bool first_resolved_address(const addrinfo* found, DatagramAddress* address);

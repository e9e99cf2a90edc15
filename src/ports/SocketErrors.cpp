#include "ports/SocketErrors.h"

namespace pv {

namespace {

struct ErrorText {
    int code;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {0, "Servers are not able to 'Connect'"},
    {1, "Socket is not initialised"},
    {2, "Not connect to Client"},
    {3, "Not connect to Server"},
    {4, "Client not accepted by Server"},
    {10013, "The requested address is a broadcast address, but the appropriate flag was not set"},
    {10014, "The 'nSockAddrLen' argument is incorrect"},
    {10022, "Invalid Parameter"},
    {10024, "No more file descriptors are available"},
    {10035,
     "The socket is marked as nonblocking and the connection cannot be completed immediately"},
    {10036, "A blocking Windows Sockets call is in progress"},
    {10038, "The descriptor is not a socket"},
    {10039, "A destination address is required"},
    {10040,
     "The socket is of type SOCK_DGRAM, and the datagram is larger than the maximum supported by "
     "the Windows Sockets implementation"},
    {10041, "The specified port is the wrong type for this socket"},
    {10043, "The specified port is not supported"},
    {10044, "The specified socket type is not supported in this address family"},
    {10045, "'MSG_OOB' was specified, but the socket is not of type 'SOCK_STREAM'"},
    {10047, "Addresses in the specified family cannot be used with this socket"},
    {10048, "The specified address is already in use"},
    {10049, "The specified address is not available from the local machine"},
    {10050, "The Windows Sockets implementation detected that the network subsystem failed"},
    {10051, "The network cannot be reached from this host at this time"},
    {10052, "The connection must be reset because the Windows Sockets implementation dropped it"},
    {10053, "The virtual circuit was aborted due to timeout or other failure"},
    {10054, "The virtual circuit was reset by the remote side"},
    {10055, "No buffer space is available. The socket cannot be connected"},
    {10056, "The socket is already connected"},
    {10057, "The socket is not connected"},
    {10058, "The socket has been shut down"},
    {10060, "Attempt to connect timed out without establishing a connection"},
    {10061, "The attempt to connect was rejected"},
    {10093, "A successful 'AfxSocketInit' must occur before using this API"},
};

constexpr const char* kTextUnknownError = "An unknow error occured";

}  // namespace

const char* socketErrorText(int code) {
    for (const ErrorText& entry : kErrorTexts) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    return kTextUnknownError;
}

}  // namespace pv

#include "net/socket_error.h"

#include <algorithm>
#include <iterator>

#include "platform/winsock/wsa_errors.h"
#include "platform/base/wide_format.h"

namespace skyvane::net {
namespace {

struct ErrorRow {
    int code;
    const char16_t* text;
};

// The published Windows Sockets descriptions, sorted by number.
constexpr ErrorRow kRows[] = {
    {WSAEINTR, u"A blocking operation was interrupted by a call to WSACancelBlockingCall."},
    {WSAEBADF, u"The file handle supplied is not valid."},
    {WSAEACCES, u"An attempt was made to access a socket in a way forbidden by its access permissions."},
    {WSAEFAULT, u"The system detected an invalid pointer address in attempting to use a pointer argument in a call."},
    {WSAEINVAL, u"An invalid argument was supplied."},
    {WSAEMFILE, u"Too many open sockets."},
    {WSAEWOULDBLOCK, u"A non-blocking socket operation could not be completed immediately."},
    {WSAEINPROGRESS, u"A blocking operation is currently executing."},
    {WSAEALREADY, u"An operation was attempted on a non-blocking socket that already had an operation in progress."},
    {WSAENOTSOCK, u"An operation was attempted on something that is not a socket."},
    {WSAEDESTADDRREQ, u"A required address was omitted from an operation on a socket."},
    {WSAEMSGSIZE,
     u"A message sent on a datagram socket was larger than the internal message buffer or some other network "
     u"limit, or the buffer used to receive a datagram into was smaller than the datagram itself."},
    {WSAEPROTOTYPE,
     u"A protocol was specified in the socket function call that does not support the semantics of the socket "
     u"type requested."},
    {WSAENOPROTOOPT,
     u"An unknown, invalid, or unsupported option or level was specified in a getsockopt or setsockopt call."},
    {WSAEPROTONOSUPPORT,
     u"The requested protocol has not been configured into the system, or no implementation for it exists."},
    {WSAESOCKTNOSUPPORT, u"The support for the specified socket type does not exist in this address family."},
    {WSAEOPNOTSUPP, u"The attempted operation is not supported for the type of object referenced."},
    {WSAEPFNOSUPPORT,
     u"The protocol family has not been configured into the system or no implementation for it exists."},
    {WSAEAFNOSUPPORT, u"An address incompatible with the requested protocol was used."},
    {WSAEADDRINUSE, u"Only one usage of each socket address (protocol/network address/port) is normally permitted."},
    {WSAEADDRNOTAVAIL, u"The requested address is not valid in its context."},
    {WSAENETDOWN, u"A socket operation encountered a dead network."},
    {WSAENETUNREACH, u"A socket operation was attempted to an unreachable network."},
    {WSAENETRESET,
     u"The connection has been broken due to keep-alive activity detecting a failure while the operation was in "
     u"progress."},
    {WSAECONNABORTED, u"An established connection was aborted by the software in your host machine."},
    {WSAECONNRESET, u"An existing connection was forcibly closed by the remote host."},
    {WSAENOBUFS,
     u"An operation on a socket could not be performed because the system lacked sufficient buffer space or "
     u"because a queue was full."},
    {WSAEISCONN, u"A connect request was made on an already connected socket."},
    {WSAENOTCONN,
     u"A request to send or receive data was disallowed because the socket is not connected and (when sending on "
     u"a datagram socket using a sendto call) no address was supplied."},
    {WSAESHUTDOWN,
     u"A request to send or receive data was disallowed because the socket had already been shut down in that "
     u"direction with a previous shutdown call."},
    {WSAETOOMANYREFS, u"Too many references to some kernel object."},
    {WSAETIMEDOUT,
     u"A connection attempt failed because the connected party did not properly respond after a period of time, "
     u"or established connection failed because connected host has failed to respond."},
    {WSAECONNREFUSED, u"No connection could be made because the target machine actively refused it."},
    {WSAELOOP, u"Cannot translate name."},
    {WSAENAMETOOLONG, u"Name component or name was too long."},
    {WSAEHOSTDOWN, u"A socket operation failed because the destination host was down."},
    {WSAEHOSTUNREACH, u"A socket operation was attempted to an unreachable host."},
    {WSAENOTEMPTY, u"Cannot remove a directory that is not empty."},
    {WSAEPROCLIM,
     u"A Windows Sockets implementation may have a limit on the number of applications that may use it "
     u"simultaneously."},
    {WSAEUSERS, u"Ran out of quota."},
    {WSAEDQUOT, u"Ran out of disk quota."},
    {WSAESTALE, u"File handle reference is no longer available."},
    {WSAEREMOTE, u"Item is not available locally."},
    {WSASYSNOTREADY,
     u"WSAStartup cannot function at this time because the underlying system it uses to provide network services "
     u"is currently unavailable."},
    {WSAVERNOTSUPPORTED, u"The Windows Sockets version requested is not supported."},
    {WSANOTINITIALISED, u"Either the application has not called WSAStartup, or WSAStartup failed."},
    {WSAEDISCON,
     u"Returned by WSARecv or WSARecvFrom to indicate the remote party has initiated a graceful shutdown "
     u"sequence."},
    {WSAENOMORE, u"No more results can be returned by WSALookupServiceNext."},
    {WSAECANCELLED,
     u"A call to WSALookupServiceEnd was made while this call was still processing. The call has been canceled."},
    {WSAEINVALIDPROCTABLE, u"The procedure call table is invalid."},
    {WSAEINVALIDPROVIDER, u"The requested service provider is invalid."},
    {WSAEPROVIDERFAILEDINIT, u"The requested service provider could not be loaded or initialized."},
    {WSASYSCALLFAILURE, u"A system call has failed."},
    {WSASERVICE_NOT_FOUND, u"No such service is known. The service cannot be found in the specified name space."},
    {WSATYPE_NOT_FOUND, u"The specified class was not found."},
    {WSA_E_NO_MORE, u"No more results can be returned by WSALookupServiceNext."},
    {WSA_E_CANCELLED,
     u"A call to WSALookupServiceEnd was made while this call was still processing. The call has been canceled."},
    {WSAEREFUSED, u"A database query failed because it was actively refused."},
    {10900, u"A duplicate name exists on the network"},
    {WSAHOST_NOT_FOUND, u"No such host is known."},
    {WSATRY_AGAIN,
     u"This is usually a temporary error during hostname resolution and means that the local server did not "
     u"receive a response from an authoritative server."},
    {WSANO_RECOVERY, u"A non-recoverable error occurred during a database lookup."},
    {WSANO_DATA, u"The requested name is valid, but no data of the requested type was found."},
    {11005, u"At least one reserve has arrived."},
    {11006, u"At least one path has arrived."},
    {11007, u"There are no senders."},
    {11008, u"There are no receivers."},
    {11009, u"Reserve has been confirmed."},
    {11010, u"Error due to lack of resources."},
    {11011, u"Rejected for administrative reasons - bad credentials."},
    {11012, u"Unknown or conflicting style."},
    {11013, u"Problem with some part of the filterspec or providerspecific buffer in general."},
    {11014, u"Problem with some part of the flowspec."},
    {11015, u"General QOS error."},
    {11016, u"An invalid or unrecognized service type was found in the flowspec."},
    {11017, u"An invalid or inconsistent flowspec was found in the QOS structure."},
    {11018, u"Invalid QOS provider-specific buffer."},
    {11019, u"An invalid QOS filter style was used."},
    {11020, u"An invalid QOS filter type was used."},
    {11021, u"An incorrect number of QOS FILTERSPECs were specified in the FLOWDESCRIPTOR."},
    {11022, u"An object with an invalid ObjectLength field was specified in the QOS provider-specific buffer."},
    {11023, u"An incorrect number of flow descriptors was specified in the QOS structure."},
    {11024, u"An unrecognized object was found in the QOS provider-specific buffer."},
    {11025, u"An invalid policy object was found in the QOS provider-specific buffer."},
    {11026, u"An invalid QOS flow descriptor was found in the flow descriptor list."},
    {11027, u"An invalid or inconsistent flowspec was found in the QOS provider specific buffer."},
    {11028, u"An invalid FILTERSPEC was found in the QOS provider-specific buffer."},
    {11029, u"An invalid shape discard mode object was found in the QOS provider specific buffer."},
    {11030, u"An invalid shaping rate object was found in the QOS provider-specific buffer."},
    {11031, u"A reserved policy element was found in the QOS provider-specific buffer."},
};

}  // namespace

std::u16string SocketErrorText(int code) {
    if (code == 0 || code == -1) return u" ";
    auto row = std::lower_bound(std::begin(kRows), std::end(kRows), code,
                                [](const ErrorRow& r, int c) { return r.code < c; });
    if (row != std::end(kRows) && row->code == code) return row->text;
    return skyvane::FormatW(u"socket error %x", code);
}

}  // namespace skyvane::net

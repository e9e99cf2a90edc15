#pragma once

namespace pv {

// Error codes of the TCP link. The link reports its own codes 0 to 4 and, for failures of the
// network stack, the classic Windows Sockets numbers, so users and peers on either platform see
// the same texts.
namespace SocketError {
constexpr int kServerCannotConnect = 0;
constexpr int kNotInitialised = 1;
constexpr int kNoClient = 2;
constexpr int kNoServer = 3;
constexpr int kNotAccepted = 4;

constexpr int kAccess = 10013;
constexpr int kInvalid = 10022;
constexpr int kNoDescriptors = 10024;
constexpr int kWouldBlock = 10035;
constexpr int kInProgress = 10036;
constexpr int kMessageSize = 10040;
constexpr int kNotSupported = 10045;
constexpr int kFamily = 10047;
constexpr int kAddressInUse = 10048;
constexpr int kAddressNotAvailable = 10049;
constexpr int kNetworkDown = 10050;
constexpr int kNetworkUnreachable = 10051;
constexpr int kConnectionReset = 10054;
constexpr int kNoBufferSpace = 10055;
constexpr int kAlreadyConnected = 10056;
constexpr int kNotConnected = 10057;
constexpr int kTimedOut = 10060;
constexpr int kRefused = 10061;
constexpr int kUnknown = -1;
}  // namespace SocketError

// The text for a code, without the " !" the message box adds; unknown codes share one text.
const char* socketErrorText(int code);

}  // namespace pv

// The text shown for a WinSock error number in the library's error messages.
#pragma once

#include <string>

namespace skyvane::net {
// 0 and -1 (no error recorded) give a single space; the listed WinSock numbers
// give the standard Windows Sockets description; any other number gives
// "socket error " and the number in lower-case hexadecimal.
std::u16string SocketErrorText(int code);
}  // namespace skyvane::net

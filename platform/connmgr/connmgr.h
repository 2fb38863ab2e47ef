// The Connection Manager: a program asks for a network path to a destination
// network (the Internet, the corporate network, a WAP network) and holds it
// while it talks to the network.
//
// On Linux nothing is dialled: a destination is reachable or not. The
// Internet and the corporate network are up when NetworkManager reports
// connectivity (platform/connmgr/network_manager.h says how its states map to
// the statuses); while it is connecting the request waits for it, at most
// dwTimeout. When NetworkManager does not run or does not answer within a
// second, they are up when the kernel has a usable default route. WAP
// networks never are. A program gets a handle for a connection that is up,
// and gives it back with ConnMgrReleaseConnection.
//
// Tests and people without a network can force the answer: the DWORD value
// `ConnectionStatus` of HKEY_LOCAL_MACHINE\Software\Skyvane\Device, when
// present, is the status every request gets (0x10 connected, 0x24 no path).
#pragma once

#include "platform/base/hwnd.h"
#include "platform/base/win_types.h"

// Destination networks.
extern const GUID IID_DestNetInternet;    // {436EF144-B4FB-4863-A041-8F905A62C572}
extern const GUID IID_DestNetCorp;        // {A1182988-0D73-439E-87AD-2A5B369F808B}
extern const GUID IID_DestNetWAP;         // {7022E968-5A97-4051-BC1C-C578E2FBA5D9}
extern const GUID IID_DestNetSecureWAP;   // {F28D1F74-72BE-4394-A4A7-4E296219390C}

// dwParams: which fields of the record are set.
#define CONNMGR_PARAM_GUIDDESTNET 0x1
#define CONNMGR_PARAM_MAXCOST 0x2
#define CONNMGR_PARAM_MINRCVBW 0x4
#define CONNMGR_PARAM_MAXCONNLATENCY 0x8

// dwFlags: the proxies the program can use.
#define CONNMGR_FLAG_PROXY_HTTP 0x1
#define CONNMGR_FLAG_PROXY_WAP 0x2
#define CONNMGR_FLAG_PROXY_SOCKS4 0x4
#define CONNMGR_FLAG_PROXY_SOCKS5 0x8

// dwPriority.
#define CONNMGR_PRIORITY_USERINTERACTIVE 0x08000
#define CONNMGR_PRIORITY_HIPRIBKGND 0x0200
#define CONNMGR_PRIORITY_IDLEBKGND 0x0010
#define CONNMGR_PRIORITY_EXTERNALINTERACTIVE 0x0008
#define CONNMGR_PRIORITY_LOWBKGND 0x0008

// Status of a connection.
#define CONNMGR_STATUS_UNKNOWN 0x00
#define CONNMGR_STATUS_CONNECTED 0x10
#define CONNMGR_STATUS_DISCONNECTED 0x20
#define CONNMGR_STATUS_CONNECTIONFAILED 0x21
#define CONNMGR_STATUS_CONNECTIONCANCELED 0x22
#define CONNMGR_STATUS_CONNECTIONDISABLED 0x23
#define CONNMGR_STATUS_NOPATHTODESTINATION 0x24
#define CONNMGR_STATUS_WAITINGFORPATH 0x25
#define CONNMGR_STATUS_WAITINGFORPHONE 0x26
#define CONNMGR_STATUS_WAITINGCONNECTION 0x40
#define CONNMGR_STATUS_WAITINGFORRESOURCE 0x41
#define CONNMGR_STATUS_WAITINGFORNETWORK 0x42
#define CONNMGR_STATUS_WAITINGDISCONNECTION 0x80
#define CONNMGR_STATUS_WAITINGCONNECTIONABORT 0x81

// The request. cbSize must be sizeof(CONNMGR_CONNECTIONINFO): 64 bytes on
// the handheld, more here where a window handle and an LPARAM take 8 bytes.
struct CONNMGR_CONNECTIONINFO {
    DWORD cbSize;
    DWORD dwParams;
    DWORD dwFlags;
    DWORD dwPriority;
    BOOL bExclusive;
    BOOL bDisabled;
    GUID guidDestNet;
    HWND hWnd;
    UINT uMsg;
    LONG_PTR lParam;  // an LPARAM
    ULONG ulMaxCost;
    ULONG ulMinRcvBw;
    ULONG ulMaxConnLatency;
};

// Asks for a connection and waits at most dwTimeout milliseconds (plus the
// bus time-out of a second when NetworkManager stops answering). S_OK with
// the handle and CONNMGR_STATUS_CONNECTED when the destination is up; a
// failure (E_FAIL) with the status otherwise (*phConnection NULL).
// E_INVALIDARG for a NULL pointer or a wrong cbSize.
HRESULT ConnMgrEstablishConnectionSync(CONNMGR_CONNECTIONINFO* pConnInfo, HANDLE* phConnection, DWORD dwTimeout,
                                       DWORD* pdwStatus);
// Gives a connection back; lCache is how long it may stay up unused.
HRESULT ConnMgrReleaseConnection(HANDLE hConnection, LONG lCache);

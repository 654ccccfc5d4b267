#pragma once

// Dynamic Data Exchange for Linux: the DDE management calls with the
// results Windows gives, between instances inside one process. A second
// instance plays the other program. Everything runs on one thread; no
// callback is entered again while it is running.

#include <cstddef>

#include "platform/ddeml/LastError.h"
#include "platform/ddeml/WinTypes.h"

// Handles are 32-bit values as on the Windows the records were laid out
// for, so that a pair of string handles takes 8 bytes. Each kind of handle
// is its own type; null compares equal to nullptr.
template <typename Tag>
struct DdeHandle {
    DWORD value = 0;

    constexpr DdeHandle() = default;
    constexpr DdeHandle(std::nullptr_t) {}  // NOLINT: null converts implicitly, as in Windows
    constexpr explicit DdeHandle(DWORD v) : value(v) {}
    constexpr explicit operator bool() const { return value != 0; }
    friend constexpr bool operator==(DdeHandle, DdeHandle) = default;
};
using HSZ = DdeHandle<struct HszTag>;
using HCONV = DdeHandle<struct HconvTag>;
using HDDEDATA = DdeHandle<struct HddedataTag>;
using HCONVLIST = DdeHandle<struct HconvlistTag>;

using PFNCALLBACK = HDDEDATA (*)(UINT type, UINT fmt, HCONV hconv, HSZ hsz1, HSZ hsz2,
                                 HDDEDATA hData, ULONG_PTR dwData1, ULONG_PTR dwData2);

inline constexpr int CP_WINANSI = 1004;
inline constexpr DWORD QID_SYNC = 0xFFFFFFFF;
inline constexpr DWORD TIMEOUT_ASYNC = 0xFFFFFFFF;
inline constexpr UINT HDATA_APPOWNED = 0x0001;

inline constexpr WORD DDE_FACK = 0x8000;
inline constexpr WORD DDE_FBUSY = 0x4000;
inline constexpr WORD DDE_FNOTPROCESSED = 0x0000;

inline constexpr UINT DNS_REGISTER = 0x0001;
inline constexpr UINT DNS_UNREGISTER = 0x0002;
inline constexpr UINT DNS_FILTERON = 0x0004;
inline constexpr UINT DNS_FILTEROFF = 0x0008;

inline constexpr UINT XTYP_ADVDATA = 0x4010;
inline constexpr UINT XTYP_ADVREQ = 0x2022;
inline constexpr UINT XTYP_ADVSTART = 0x1030;
inline constexpr UINT XTYP_ADVSTOP = 0x8040;
inline constexpr UINT XTYP_EXECUTE = 0x4050;
inline constexpr UINT XTYP_CONNECT = 0x1062;
inline constexpr UINT XTYP_CONNECT_CONFIRM = 0x8072;
inline constexpr UINT XTYP_POKE = 0x4090;
inline constexpr UINT XTYP_REGISTER = 0x80A2;
inline constexpr UINT XTYP_REQUEST = 0x20B0;
inline constexpr UINT XTYP_DISCONNECT = 0x80C2;
inline constexpr UINT XTYP_UNREGISTER = 0x80D2;
inline constexpr UINT XTYP_WILDCONNECT = 0x20E2;

inline constexpr UINT DMLERR_NO_ERROR = 0;
inline constexpr UINT DMLERR_DLL_USAGE = 0x4004;
inline constexpr UINT DMLERR_INVALIDPARAMETER = 0x4006;
inline constexpr UINT DMLERR_MEMORY_ERROR = 0x4008;
inline constexpr UINT DMLERR_NOTPROCESSED = 0x4009;
inline constexpr UINT DMLERR_NO_CONV_ESTABLISHED = 0x400A;
inline constexpr UINT DMLERR_REENTRANCY = 0x400D;

inline constexpr UINT ST_CONNECTED = 0x0001;
inline constexpr UINT ST_ADVISE = 0x0002;
inline constexpr UINT ST_ISLOCAL = 0x0004;
inline constexpr UINT ST_CLIENT = 0x0010;
inline constexpr UINT ST_TERMINATED = 0x0020;
inline constexpr UINT ST_ISSELF = 0x0100;

inline constexpr UINT XST_CONNECTED = 2;

struct HSZPAIR {
    HSZ hszSvc;
    HSZ hszTopic;
};
static_assert(sizeof(HSZPAIR) == 8);

struct CONVCONTEXT {
    UINT cb;
    UINT wFlags;
    int iCountryID;
    int iCodePage;
    DWORD dwLangID;
    DWORD dwSecurity;
    DWORD qosLength;
    DWORD qosImpersonationLevel;
    DWORD qosTrackingModeAndEffectiveOnly;
};
static_assert(sizeof(CONVCONTEXT) == 36);

// There are no windows here; the window fields stay 0 and keep the layout.
struct CONVINFO {
    DWORD cb;
    DWORD hUser;
    HCONV hConvPartner;
    HSZ hszSvcPartner;
    HSZ hszServiceReq;
    HSZ hszTopic;
    HSZ hszItem;
    UINT wFmt;
    UINT wType;
    UINT wStatus;
    UINT wConvst;
    UINT wLastError;
    HCONVLIST hConvList;
    CONVCONTEXT ConvCtxt;
    DWORD hwnd;
    DWORD hwndPartner;
};
static_assert(sizeof(CONVINFO) == 96);

// Instances. `*pidInst` must be 0 on entry; a fresh non-zero id comes back.
UINT DdeInitializeA(DWORD* pidInst, PFNCALLBACK pfnCallback, DWORD afCmd, DWORD ulRes);
BOOL DdeUninitialize(DWORD idInst);
// Returns the instance's last error and clears it.
UINT DdeGetLastError(DWORD idInst);

// The longest name a string handle carries.
inline constexpr std::size_t kMaxDdeStringLength = 255;

// String handles, shared by all instances and compared without regard to case.
HSZ DdeCreateStringHandleA(DWORD idInst, const char* psz, int iCodePage);
BOOL DdeFreeStringHandle(DWORD idInst, HSZ hsz);
DWORD DdeQueryStringA(DWORD idInst, HSZ hsz, char* psz, DWORD cchMax, int iCodePage);
int DdeCmpStringHandles(HSZ hsz1, HSZ hsz2);

// Data handles. A handle returned from a callback passes to the library; a
// handle received in a callback stays the library's; a handle returned by
// DdeClientTransaction belongs to the caller.
HDDEDATA DdeCreateDataHandle(DWORD idInst, const BYTE* pSrc, DWORD cb, DWORD cbOff, HSZ hszItem,
                             UINT wFmt, UINT afCmd);
BYTE* DdeAccessData(HDDEDATA hData, DWORD* pcbDataSize);
BOOL DdeUnaccessData(HDDEDATA hData);
BOOL DdeFreeDataHandle(HDDEDATA hData);

// Services and conversations. A connect asks every instance offering the
// service (every instance with a service when the service or topic is 0);
// each taker gets its own conversation, the client keeps the first and the
// others end at once. A disconnected handle is forgotten; one the partner
// ended stays, failing as ended, until DdeDisconnect lets go of it.
HDDEDATA DdeNameService(DWORD idInst, HSZ hsz1, HSZ hsz2, UINT afCmd);
HCONV DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, const CONVCONTEXT* pCC);
BOOL DdeDisconnect(HCONV hConv);
UINT DdeQueryConvInfo(HCONV hConv, DWORD idTransaction, CONVINFO* pConvInfo);

// Synchronous transactions only: the time-out is never reached in process.
HDDEDATA DdeClientTransaction(const BYTE* pData, DWORD cbData, HCONV hConv, HSZ hszItem, UINT wFmt,
                              UINT wType, DWORD dwTimeout, DWORD* pdwResult);
BOOL DdePostAdvise(DWORD idInst, HSZ hszTopic, HSZ hszItem);

#pragma once
/*
 * The embedded HTTPS web server library: its calls and the ISAPI-style
 * records an extension exchanges with it.
 *
 * A program starts one server (ZEPAStartupHTTPServer) and registers itself as
 * an extension owning a URL root (ZEPARegisterIsapiExtension); the library
 * then calls the extension's request procedure, on its own worker threads,
 * for every request to "/<name>" and below, with an EXTENSION_CONTROL_BLOCK.
 * The library itself serves the home page "/" (each extension's home-page
 * fragment), the login page "/zepa/login" and the logout page "/zepa/logout"
 * (which logs out on a POST from this server's pages only).
 *
 * Byte layouts. Numbers are 32-bit little-endian, texts zero-terminated 8-bit
 * characters, and every byte not listed is zero. The records are laid out on
 * a 4-byte grid (packed to 4), so on a 32-bit build every offset is the
 * historical one: ExtensionRecord is 1084 bytes with its callbacks at 1072,
 * 1076 and 1080. A pointer is as wide as the platform's; on x86-64 each one
 * takes 8 bytes and the fields after the first pointer move up by 4 bytes
 * for each pointer before them (ExtensionRecord: 1104 bytes). Always fill
 * dwSize with sizeof the record and write the fields by name.
 *
 * Threads. Every call may be made from any thread. The request procedure and
 * the client callbacks run on the library's threads, several at a time.
 *
 * Extension modules. At start-up the server also loads every shared library
 * named "*.so" in its data directory's "extensions/" folder (in name order).
 * The folder and each module must be no symbolic link, owned by root or by
 * the server's user, and writable by no group and no others; a module is
 * opened without following links, checked through that descriptor and
 * loaded through it (/proc/self/fd/N). A module exports
 *   int GetExtensionRecord(ExtensionRecord* record)   (PFN_GETEXTENSIONRECORD)
 *   int ExtensionVersion(HSE_VERSION_INFO* info)      (PFN_GETEXTENSIONVERSION)
 *   uint32_t ExtensionRequest(EXTENSION_CONTROL_BLOCK* ecb)  (PFN_HTTPEXTENSIONPROC)
 *   int ExtensionTerminate(uint32_t flags)            (PFN_TERMINATEEXTENSION)
 * all with C linkage. GetExtensionRecord receives a zeroed record and fills
 * it as for ZEPARegisterIsapiExtension: dwSize = sizeof(ExtensionRecord),
 * szName = its URL root (e.g. "webagent"), szDirectory, the lists if any,
 * and the three callbacks (left NULL, they are taken from the exports above);
 * it returns 1 on success. The library then registers the module like any
 * extension (the version callback is called during the registration, the
 * termination callback at shutdown; the lists may live in the module, they
 * are copied). A module that fails to load or register is logged as a
 * WARNING and skipped; the server runs on.
 *
 * Credentials instead of a session. A request may carry an "Authorization"
 * header instead of a session cookie: "Bearer <token>" with the token of
 * the data directory's "metrics-token" file (made and shown by the users
 * tool) or a user's token ("kor_...", file "user-tokens"), or "Basic" with
 * a user's name and password. The server removes the header before any
 * extension sees it; when the credentials were valid, the AUTH_TYPE server
 * variable is "Bearer" or "Basic" and, for "Basic" and a user token,
 * REMOTE_USER the user's name, for a user token AUTH_TOKEN_NAME its name
 * (otherwise they are empty, and REMOTE_USER is the session's user; beside
 * a session AUTH_TOKEN_NAME is empty). They make no session: the rights
 * query still answers 0x80000000 (REQ_QUERY_CREDENTIAL_RIGHTS answers the
 * mask of the basic or token user, as it is now). A state-changing request
 * with a bearer token and no session cookie needs no Origin header. An
 * extension decides which of its pages accept them.
 *
 * A module's root is internal: only the library's own client requests
 * (ZEPAClientGetUrl, ZEPAClientPostUrlEx to this server, e.g.
 * "https://localhost:<port>/webagent/...") reach it. Those requests carry a
 * header with a random secret of the process, which the server checks and
 * removes from every request before any extension sees it; a request for an
 * internal root without the secret is answered 403, and from requests
 * without it every "VESTRA_..." (or "VESTRA-...") header is removed. A
 * module can therefore trust the VESTRA_ headers it receives.
 */
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------ */
/* Status codes and request codes                                            */

/* Results of the request procedure. */
#define HSE_STATUS_SUCCESS 1              /* the extension has answered */
#define HSE_STATUS_SUCCESS_AND_KEEP_CONN 2 /* the same as 1 here */
#define ZEPA_STATUS_LEAVE_TO_LIBRARY 1015 /* the library answers: without a
                                             session a redirect to the login
                                             page (401 to a script's request),
                                             with one 403 "no access" */

/* ServerSupportFunction codes. */
#define HSE_REQ_SEND_URL_REDIRECT_RESP 1 /* buffer: URL; sends 302 to it */
#define HSE_REQ_SEND_RESPONSE_HEADER 3   /* buffer: status text or NULL ("200 OK");
                                            size: header length; data type: header text */
#define REQ_SEND_FILE 2000               /* size: path length; data type: file path */
#define REQ_QUERY_RIGHTS 2005            /* buffer: right name; data type: uint32_t result */
/* The mask for the right of the user whose valid "Basic" credentials the
   request carried; 0x80000000 for a request without such credentials. */
#define REQ_QUERY_CREDENTIAL_RIGHTS 2006 /* buffer: right name; data type: uint32_t result */

/* The rights query's answer for a request without a logged-in session. */
#define ZEPA_RIGHTS_NO_SESSION 0x80000000u

/* Flags given to the termination callback: the extension is unloaded. */
#define HSE_TERM_MUST_UNLOAD 1

/* Client request states, as ZEPAClientState reports them to the callback. */
#define ZEPA_CLIENT_STATE_RESPONSE_READY 11 /* the response is in the cache file */
#define ZEPA_CLIENT_STATE_OVER 14           /* the request is over; the cache
                                               file is removed after this call */
#define ZEPA_CLIENT_STATE_SEND_HEADERS 16   /* request header lines may be sent
                                               with ZEPAClientSendBytes */

#define HSE_MAX_EXT_DLL_NAME_LEN 256

/* ------------------------------------------------------------------------ */
/* The ISAPI records                                                         */

typedef void* HCONN;

typedef struct _HSE_VERSION_INFO {
  uint32_t dwExtensionVersion;
  char lpszExtensionDesc[HSE_MAX_EXT_DLL_NAME_LEN];
} HSE_VERSION_INFO;

typedef struct _EXTENSION_CONTROL_BLOCK EXTENSION_CONTROL_BLOCK;

/* All four return 1 on success, 0 on failure (errno tells why). */
typedef int (*PFN_ZEPA_GET_SERVER_VARIABLE)(HCONN hConn, const char* lpszVariableName, void* lpvBuffer,
                                            uint32_t* lpdwSize);
typedef int (*PFN_ZEPA_WRITE_CLIENT)(HCONN ConnID, const void* Buffer, uint32_t* lpdwBytes,
                                     uint32_t dwReserved);
typedef int (*PFN_ZEPA_READ_CLIENT)(HCONN ConnID, void* lpvBuffer, uint32_t* lpdwSize);
typedef int (*PFN_ZEPA_SERVER_SUPPORT_FUNCTION)(HCONN hConn, uint32_t dwHSERequest, void* lpvBuffer,
                                                uint32_t* lpdwSize, uint32_t* lpdwDataType);

/*
 * One request. The texts live until the connection is answered, which is
 * after the request procedure has returned and every client request started
 * for it is over.
 *   lpszMethod          "GET", "POST", "HEAD", ...
 *   lpszQueryString     the query as sent (still percent-encoded), "" if none
 *   lpszPathInfo        the path, percent-decoded, as the browser wrote it
 *   lpszPathTranslated  the extension's directory joined with the path below
 *                       the extension's root, normalised and confined to it
 *   lpbData             the request body followed by a zero byte; NULL when
 *                       the request has no body
 */
struct _EXTENSION_CONTROL_BLOCK {
  uint32_t cbSize;
  uint32_t dwVersion;
  HCONN ConnID;
  uint32_t dwHttpStatusCode;
  char lpszLogData[80];
  char* lpszMethod;
  char* lpszQueryString;
  char* lpszPathInfo;
  char* lpszPathTranslated;
  uint32_t cbTotalBytes;
  uint32_t cbAvailable;
  unsigned char* lpbData;
  char* lpszContentType;
  PFN_ZEPA_GET_SERVER_VARIABLE GetServerVariable;
  PFN_ZEPA_WRITE_CLIENT WriteClient;
  PFN_ZEPA_READ_CLIENT ReadClient;
  PFN_ZEPA_SERVER_SUPPORT_FUNCTION ServerSupportFunction;
};

typedef int (*PFN_GETEXTENSIONVERSION)(HSE_VERSION_INFO* pVer);
typedef uint32_t (*PFN_HTTPEXTENSIONPROC)(EXTENSION_CONTROL_BLOCK* pECB);
typedef int (*PFN_TERMINATEEXTENSION)(uint32_t dwFlags);

#pragma pack(push, 1)
/* Given to ZEPAStartupHTTPServer. 1579 bytes. */
typedef struct ServerStartupRecord {
  uint32_t dwSize;               /*   0: 1579 */
  uint32_t dwVersion;            /*   4: 2 */
  char szServerName[516];        /*   8: the server's name, e.g. "KOR" */
  char szDataDirectory[1055];    /* 524: the server's data directory: certificate,
                                         key, users file, client cache */
} ServerStartupRecord;
#pragma pack(pop)

#define ZEPA_SERVER_STARTUP_RECORD_SIZE 1579u

#pragma pack(push, 4)
/* One entry of a text list (home-page fragments, right descriptions). */
typedef struct ZEPA_TEXT_ENTRY {
  uint32_t cbSize;        /* sizeof(ZEPA_TEXT_ENTRY): 12 (32-bit), 20 (64-bit) */
  const char* lpszLanguage; /* "ENG" */
  const char* lpszText;
} ZEPA_TEXT_ENTRY;

/* One entry of the access-right list. */
typedef struct ZEPA_RIGHT_ENTRY {
  uint32_t cbSize;                      /* sizeof(ZEPA_RIGHT_ENTRY): 24 (32-bit), 32 (64-bit) */
  const char* lpszName;                 /* "KORAccess" */
  uint32_t dwValue;                     /* kept, not interpreted (2) */
  const ZEPA_TEXT_ENTRY* pDescriptions; /* list of descriptions */
  uint32_t dwReserved1;                 /* kept, not interpreted (2) */
  uint32_t dwReserved2;                 /* kept, not interpreted (4) */
} ZEPA_RIGHT_ENTRY;

/*
 * Given to ZEPARegisterIsapiExtension. The lists are arrays ended by an
 * all-zero entry; the library copies them during the call.
 */
typedef struct ExtensionRecord {
  uint32_t dwSize;                          /*    0: sizeof(ExtensionRecord) */
  char szName[780];                         /*    4: the URL root without "/", e.g. "KOR" */
  char szDirectory[264];                    /*  784: the folder served under the root */
  uint32_t dwHomePageListVersion;           /* 1048: 2 */
  const ZEPA_TEXT_ENTRY* pHomePages;        /* 1052: home-page fragment list */
  uint32_t dwRightListVersion;              /* 1056 (1060): 2 */
  const ZEPA_RIGHT_ENTRY* pRights;          /* 1060 (1064): access-right list */
  uint8_t reserved[8];                      /* 1064 (1072): zero */
  PFN_GETEXTENSIONVERSION pfnGetExtensionVersion; /* 1072 (1080) */
  PFN_HTTPEXTENSIONPROC pfnHttpExtensionProc;     /* 1076 (1088) */
  PFN_TERMINATEEXTENSION pfnTerminateExtension;   /* 1080 (1096) */
} ExtensionRecord;                          /* 1084 (1104) */
#pragma pack(pop)

/* An extension module's record function (see the top of this file). */
typedef int (*PFN_GETEXTENSIONRECORD)(ExtensionRecord* record);

/* ------------------------------------------------------------------------ */
/* Server calls                                                              */

/* Holds the library's process-wide state until ZEPAAllowUnload. Calls nest. */
void ZEPABlockUnload(void);

/* Ends one ZEPABlockUnload hold; extra calls do nothing. The library runs
   no threads outside its servers, so nothing else waits for this. */
void ZEPAAllowUnload(void);

/* Where the next server started listens: a numeric IPv4 or IPv6 address
   (NULL or "": every IPv4 interface; "::": every interface, IPv6 and IPv4)
   and a port (0: 2381). Call it before ZEPAStartupHTTPServer. A program that
   never calls it gets the defaults; the library reads no environment
   variable for them. Returns 1, or 0 when the address is not numeric or the
   port is above 65535. */
int ZEPASetServerEndpoint(const char* address, uint32_t port);

/* Connection limits of the next server started: connections open at once in
   all (0: 512) and from one client address (0: 64). One over a limit is
   closed at once. Returns 1, or 0 for a value above 100000. */
int ZEPASetServerLimits(uint32_t maxConnections, uint32_t maxConnectionsPerAddress);

/* Lets requests to exactly this path (e.g. "/KOR/api/v1/import") of the next
   server started carry bodies of up to maxBytes; every other path keeps the
   server's cap of 8192 bytes. One such path; a later call replaces it.
   Returns 1, or 0 when the path does not start with "/" or maxBytes is 0 or
   above 16 MiB. */
int ZEPASetLargeBodyPath(const char* path, uint32_t maxBytes);

/* How the library's own pages (home, log-in, log-out, errors) look in this
   process: a style sheet and a script that they link, and the icon that a
   browser's request for "/favicon.ico" is sent on to; each a path on the
   server such as "/KOR/orla.css" (NULL or "": none). Returns 1, or 0 when a
   path does not start with "/" or holds a space, a quote, "<", ">", "\\" or a
   control character (nothing is changed then). */
int ZEPASetPageLook(const char* styleSheet, const char* script, const char* icon);

/* Starts a server: HTTPS (TLS 1.2 or later) on the endpoint chosen with
   ZEPASetServerEndpoint (default every IPv4 interface, port 2381). On first start it makes
   the data directory, a self-signed certificate and key, and a users file
   with the user "administrator" and a random password (written to
   "administrator-password.txt" there, readable by its owner only). It then
   loads the extension modules of the data directory's "extensions/" folder
   (see the top of this file).
   Sets *phServer and returns 1; on failure leaves *phServer alone, logs why
   and returns 0. */
int ZEPAStartupHTTPServer(const ServerStartupRecord* pRecord, uint32_t* phServer);

/* The stack size of the threads that run request procedures and client
   callbacks. Threads never get less than the library's own minimum (they also
   run TLS and the HTTP parser), so a smaller value only records the wish.
   Returns 1, or 0 for an unknown handle. */
int ZEPASetIsapiStackSize(uint32_t hServer, uint32_t dwStackSize);

/* Registers an extension: copies the record and its lists, calls its version
   callback, and from then on sends it every request for "/<szName>" and below
   (the root is matched ignoring case). Returns 1, or 0 when the record is
   malformed, the name is taken, or the version callback fails. */
int ZEPARegisterIsapiExtension(uint32_t hServer, const ExtensionRecord* pRecord);

/* Stops serving: no new connections, waits for requests (at most 35 s) and
   client requests (at most 30 s) under way, calls each extension's
   termination callback, and forgets the handle. What still runs after its
   wait is logged and left running until the process ends. Returns 1; 0 for
   an unknown handle (a repeated shutdown), or when called from one of this
   server's own request threads. A call made while the
   same server is already shutting down (from a termination callback) returns
   1 at once. */
int ZEPAShutdownHTTPServer(uint32_t hServer);

/* A server's running counts since it started: the answers it gave by
   status class (qwResponses[1] to [5] for 1xx to 5xx, [0] any other), the
   failed logins (the login form's, and requests whose Authorization header
   the server refused), and the sessions logged in now. Fill cbSize with
   sizeof the record. Returns 1, or 0 for an unknown handle or a wrong size. */
typedef struct ZEPA_SERVER_STATISTICS {
  uint32_t cbSize;
  uint32_t dwOpenSessions;
  uint64_t qwResponses[6];
  uint64_t qwFailedLogins;
} ZEPA_SERVER_STATISTICS;
int ZEPAGetServerStatistics(uint32_t hServer, ZEPA_SERVER_STATISTICS* pStatistics);

/* Where the library's own messages go (severity 0 INFO, 1 WARNING,
   2 CRITICAL). NULL (the default) writes them to the event log under the
   source "KORAgent". */
typedef void (*PFN_ZEPA_LOG)(int severity, const char* text);
void ZEPASetLogCallback(PFN_ZEPA_LOG pfnLog);

/* ------------------------------------------------------------------------ */
/* Client requests                                                           */

/*
 * An asynchronous HTTP(S) request run on a library worker. The callback is
 * called with the client handle in these states, in this order:
 *   16  before the request is sent: ZEPAClientSendBytes adds header lines
 *       ("Name: value\r\n"), which become request headers;
 *   11  only when a response came: it is in the file ZEPAClientCacheFileName
 *       names (status, content type and body kept); REQ_SEND_FILE on a
 *       browser's ConnID sends it to that browser;
 *   14  the request is over (also after a failure); the cache file is
 *       removed after this call returns.
 * A client request started by a request procedure (or by a callback of such a
 * client request) holds that browser's connection open until it is over; the
 * file sent on the connection's ConnID is then its response, and 502 when
 * none came. The client handle is valid only inside the callback.
 * HTTPS peers are verified against the system's trusted certificates and this
 * server's own certificate. Bytes the path and query may not carry as they
 * are (spaces, controls, non-ASCII, a "%" that starts no escape, ...) are
 * percent-encoded. A request to this server itself ("localhost" or a
 * loopback address, and its port) may reach the extension modules' roots.
 * Returns 1 when the request is queued, 0 when the server handle is unknown
 * or shutting down, the callback is NULL or the URL is not an absolute http
 * or https URL (or has user information, a fragment, or bad bytes in its
 * host).
 */
typedef struct ZEPA_CLIENT* HZEPACLIENT;
typedef int (*PFN_ZEPA_CLIENT_CALLBACK)(HZEPACLIENT hClient);

int ZEPAClientGetUrl(uint32_t hServer, const char* lpszUrl, PFN_ZEPA_CLIENT_CALLBACK pfnCallback,
                     void* pUserObject);

/* A POST. lpszContentType NULL means "application/x-www-form-urlencoded";
   dwFlags must be 0. The body is copied during the call. */
int ZEPAClientPostUrlEx(uint32_t hServer, const char* lpszUrl, const char* lpszContentType,
                        uint32_t dwFlags, const void* pBody, uint32_t cbBody,
                        PFN_ZEPA_CLIENT_CALLBACK pfnCallback, void* pUserObject);

void* ZEPAClientGetUserObject(HZEPACLIENT hClient);
uint32_t ZEPAClientState(HZEPACLIENT hClient);
/* The response's HTTP status; 0 before a response or when none came. */
uint32_t ZEPAClientStatus(HZEPACLIENT hClient);
/* The cache file holding the response body, or NULL when there is none. */
const char* ZEPAClientCacheFileName(HZEPACLIENT hClient);
/* In state 16: adds request header lines. *lpdwCount receives the number of
   bytes taken. Returns 1, or 0 in another state or past 16 KiB of lines. */
int ZEPAClientSendBytes(HZEPACLIENT hClient, const void* pBytes, uint32_t cbBytes,
                        uint32_t* lpdwCount);

#ifdef __cplusplus
}
#endif

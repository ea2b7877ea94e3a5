#pragma once
// A test extension for the web server library that exercises every call:
// it registers "KOR" (pages below) and "webagent" (a stand-in for a device
// web agent that echoes the request header lines it receives), and records
// what the client callbacks see.
//
// KOR pages:
//   /KOR, /KOR/, /KOR/default.htm   root page: 1015 without a session, else the file
//   /KOR/rights                     "rights=0x........" of the rights query
//   /KOR/admin                      needs the administrator bit (2): else 1015
//   /KOR/echo                       method, query, path info, translated path, body
//   /KOR/fetch/<rest>               client GET of https://localhost:<port>/webagent/Fibre/<rest>
//                                   with VESTRA_ header lines; the browser gets the fetched file
//   /KOR/fetchpost/<rest>           the same as a POST with the request's body
//   /KOR/fetchmodule/<rest>         the same GET of https://localhost:<port>/testagent/<rest>
//                                   (an extension module's internal root)
//   /KOR/fetchdead                  client GET of a closed port: the browser gets 502
//   /KOR/leave                      always 1015
//   /KOR/nothing                    answers nothing (500)
//   /KOR/redirect                   302 to /KOR/echo
//   /KOR/outside                    REQ_SEND_FILE of a file outside the directory (refused)
//   /KOR/throw                      throws from the request procedure
//   anything else                   REQ_SEND_FILE of lpszPathTranslated
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace orla::test {

class TestExtension {
 public:
  struct ClientEvent {
    uint32_t state = 0;
    uint32_t status = 0;
    bool hadCacheFile = false;
    std::string cacheFile;
    bool cacheFileExisted = false;
    bool sendBytesOk = false;
  };

  // Starts a server on `address` (numeric; empty: every IPv4 interface) and
  // `port` with data directory `dataDirectory` and registers both
  // extensions, serving `contentDirectory` under /KOR and `agentDirectory`
  // under /webagent. False when the server cannot start.
  static bool Start(const std::string& dataDirectory, const std::string& contentDirectory,
                    const std::string& agentDirectory, const std::string& address, int port);
  static void Stop();
  static uint32_t Handle();

  static std::vector<ClientEvent> Events();
  static int Terminations();
  static int VersionCalls();
};

}  // namespace orla::test

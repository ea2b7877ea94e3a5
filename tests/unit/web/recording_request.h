#pragma once
// A hand-built EXTENSION_CONTROL_BLOCK whose ServerSupportFunction and
// WriteClient record what a page (or an extension module) does with the
// request: the header and status it sends, the body it writes, the files it
// asks the library to send and the rights queries it makes (answered with
// `rights`). GetServerVariable answers from `variables`.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/zepa/zepa.h"

namespace orla::test {

class RecordingRequest {
 public:
  // `body` null means a request without a body (lpbData null).
  RecordingRequest(const std::string& method, const std::string& path, const std::string& query = "",
                   const char* body = nullptr);
  RecordingRequest(const RecordingRequest&) = delete;
  RecordingRequest& operator=(const RecordingRequest&) = delete;

  EXTENSION_CONTROL_BLOCK* Ecb() { return &ecb_; }

  // The answer to the rights query.
  uint32_t rights = 2;
  bool rightsQueryFails = false;
  // The server variables ("HTTP_VESTRA_MACHINE", "REMOTE_ADDR", ...).
  std::map<std::string, std::string> variables;

  // What the page did.
  std::string header;          // data-type argument of HSE_REQ_SEND_RESPONSE_HEADER
  bool statusTextGiven = false;
  std::string statusText;      // its status argument ("" when none)
  std::string body;            // everything written with WriteClient
  std::vector<std::string> sentFiles;
  int headerCalls = 0;
  int rightsQueries = 0;
  std::vector<std::string> rightNames;

 private:
  static int ServerSupport(HCONN conn, uint32_t request, void* buffer, uint32_t* size, uint32_t* dataType);
  static int Write(HCONN conn, const void* buffer, uint32_t* bytes, uint32_t reserved);
  static int Variable(HCONN conn, const char* name, void* buffer, uint32_t* size);

  std::string method_;
  std::string path_;
  std::string query_;
  std::string translated_;
  std::vector<unsigned char> data_;
  EXTENSION_CONTROL_BLOCK ecb_{};
};

}  // namespace orla::test

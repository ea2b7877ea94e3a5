#pragma once
// The fixture the web server library's integration tests share: the test
// extension's server on a free loopback port with a data directory in a
// private folder, the event log captured, and curl as the browser.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/event_log_capture.h"
#include "tests/support/temp_dir.h"

namespace orla::test {

// One curl transfer: status, content type, header block and body.
struct CurlReply {
  int status = 0;
  std::string type;
  std::string headers;
  std::string body;
};

class ExtensionServerTest : public ::testing::Test {
 protected:
  void TearDown() override;

  // Starts TestExtension on 127.0.0.1 and a free port with `data` as its
  // data directory; fails the test when no port would do.
  void StartServer(const std::string& data, const std::string& content, const std::string& agent);

  std::string Origin() const;
  std::string Url(const std::string& path) const { return Origin() + path; }
  std::string Certificate() const { return data_ + "/server.crt"; }
  // One curl request trusting the server's certificate; `extra` are further
  // curl arguments, `path` a path on the server or a whole https URL.
  CurlReply Curl(const std::string& path, const std::vector<std::string>& extra = {});

  EventLogCapture log_;  // before the server's threads start
  TempDir dir_;
  std::string data_;
  int port_ = 0;
  bool started_ = false;
};

}  // namespace orla::test

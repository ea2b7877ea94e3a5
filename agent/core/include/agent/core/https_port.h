#pragma once
// The HTTPS port of the agent's web server as the pages and links name it in
// their URLs ("https://<host>:<port>/KOR/..."). It is the port the web server
// listens on (the KORAGENT_HTTPS_PORT setting of AgentSettings, 2381 when
// unset), so a server moved to another port still serves the scripts and
// images its pages name by absolute URL. Every URL of the agent's own pages takes the
// port from here.
namespace orla {

class HttpsPort {
 public:
  static constexpr int kDefault = 2381;

  // The configured port, 1 to 65535.
  static int Configured();
};

}  // namespace orla

#pragma once
// ElementsCommand: korelements, the managed elements in and out as CSV
// through the running agent's JSON API (POST import, GET export), so that
// the agent's own rules judge every line and its audit trail records the
// change:
//   korelements [OPTIONS] import FILE [--dry-run]
//   korelements [OPTIONS] export
// OPTIONS: --url URL (the API's address; default this host's agent,
// https://127.0.0.1:PORT/KOR/api/v1/), --token-file FILE (the access token,
// required: a token never goes on a command line), --ca-file FILE (the
// certificate to trust; default the agent's own). An import prints one line
// per line of the file (a device added in maintenance says so, with its
// note) and a summary; an export writes the CSV to standard
// output. Exit status: 0 done, 1 refused or failed, 2 wrong usage.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace orla {

class ElementsCommand {
 public:
  struct Call {
    std::string method;
    std::string url;
    std::string token;
    std::string trustFile;
    bool ownServer = false;  // the agent of this host: its certificate names no host
    std::string contentType;
    std::string body;
  };
  struct Answer {
    int status = 0;  // 0: no answer (error says why)
    std::string body;
    std::string error;
  };
  // Makes one request; the tool's is HttpClient, a test may hand in another.
  using Transport = std::function<Answer(const Call&)>;

  struct Defaults {
    std::string url;        // the local agent's API
    std::string trustFile;  // the local agent's certificate
    std::string token;      // empty: none (--token-file gives one)
  };

  static int Run(const std::vector<std::string>& args, const Defaults& defaults, const Transport& transport,
                 std::ostream& out, std::ostream& err);
  // HttpClient under the tool.
  static Answer Fetch(const Call& call);

 private:
  static int Import(const Call& base, const std::string& file, bool dryRun, const Transport& transport,
                    std::ostream& out, std::ostream& err);
  static int Export(const Call& base, const Transport& transport, std::ostream& out, std::ostream& err);
  // The answer's "error" text, or its body when it is not one.
  static std::string ErrorOf(const Answer& answer);
};

}  // namespace orla

#include "snmp_v3_command.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>

#include "agent/core/agent_layout.h"
#include "agent/core/snmp_v3_credential_file.h"

namespace orla {

namespace {

constexpr char kTool[] = "korsnmpv3: ";

// Holds the credentials file's lock for a read-change-write.
class FileLock {
 public:
  explicit FileLock(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_;
};

// "--key value" options after the positional words; false for an unknown
// key, a key without a value or a key given twice.
bool ParseOptions(const std::vector<std::string>& args, size_t from, const std::vector<std::string>& known,
                  std::map<std::string, std::string>* options, std::ostream& err) {
  for (size_t i = from; i < args.size(); ++i) {
    const std::string& key = args[i];
    bool isKnown = false;
    for (const std::string& k : known) isKnown = isKnown || k == key;
    if (!isKnown) {
      err << kTool << "unknown option " << key << "\n";
      return false;
    }
    if (key == "--replace") {
      (*options)[key] = "yes";
      continue;
    }
    if (i + 1 >= args.size()) {
      err << kTool << key << " needs a value\n";
      return false;
    }
    if (!options->emplace(key, args[++i]).second) {
      err << kTool << key << " is given twice\n";
      return false;
    }
  }
  return true;
}

// The pass phrase of `source` ("-": the next line of `in`, else the first
// line of that file).
bool ReadPassPhrase(const std::string& source, std::istream& in, std::string* phrase, std::ostream& err) {
  bool read;
  if (source == "-") {
    read = static_cast<bool>(std::getline(in, *phrase));
  } else {
    std::ifstream file(source);
    if (!file) {
      err << kTool << "cannot read " << source << ": " << std::strerror(errno) << "\n";
      return false;
    }
    read = static_cast<bool>(std::getline(file, *phrase));
  }
  if (!read) {
    err << kTool << "no pass phrase in " << (source == "-" ? "standard input" : source) << "\n";
    return false;
  }
  if (!phrase->empty() && phrase->back() == '\r') phrase->pop_back();
  return true;
}

std::string Describe(const SnmpV3Profile& p) {
  std::string text = "user " + p.user + ", " + SnmpV3Profile::LevelText(p.level);
  if (p.auth != SnmpV3Auth::kNone) text += std::string(", ") + SnmpV3Profile::AuthText(p.auth);
  if (p.priv != SnmpV3Priv::kNone) text += std::string("/") + SnmpV3Profile::PrivText(p.priv);
  if (!p.context.empty()) text += ", context " + p.context;
  return text;
}

int AddProfile(const std::vector<std::string>& args, std::istream& in, SnmpV3Credentials* credentials,
               std::string* what, std::ostream& err) {
  if (args.size() < 3) {
    err << kTool << "profile add NAME --user USER --level LEVEL ...\n";
    return 2;
  }
  std::map<std::string, std::string> o;
  if (!ParseOptions(args, 3, {"--user", "--level", "--auth", "--auth-pass-file", "--priv", "--priv-pass-file",
                              "--context", "--replace"},
                    &o, err)) {
    return 2;
  }
  SnmpV3Profile p;
  p.name = args[2];
  p.user = o["--user"];
  p.context = o["--context"];
  if (!SnmpV3Profile::ParseLevel(o["--level"], &p.level)) {
    err << kTool << "--level is noAuthNoPriv, authNoPriv or authPriv\n";
    return 2;
  }
  if (o.count("--auth") && !SnmpV3Profile::ParseAuth(o["--auth"], &p.auth)) {
    err << kTool << "--auth is MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512\n";
    return 2;
  }
  if (o.count("--priv") && !SnmpV3Profile::ParsePriv(o["--priv"], &p.priv)) {
    err << kTool << "--priv is DES, AES, AES-192, AES-256, AES-192-C or AES-256-C\n";
    return 2;
  }
  if (o.count("--auth") != o.count("--auth-pass-file") || o.count("--priv") != o.count("--priv-pass-file")) {
    err << kTool << "--auth goes with --auth-pass-file, --priv with --priv-pass-file\n";
    return 2;
  }
  if (o.count("--auth-pass-file") && !ReadPassPhrase(o["--auth-pass-file"], in, &p.authPassPhrase, err)) return 1;
  if (o.count("--priv-pass-file") && !ReadPassPhrase(o["--priv-pass-file"], in, &p.privPassPhrase, err)) return 1;
  const bool exists = credentials->Find(p.name) != nullptr;
  if (exists && !o.count("--replace")) {
    err << kTool << "profile " << p.name << " exists (remove it first, or add --replace)\n";
    return 1;
  }
  const std::string error = credentials->Put(p);
  if (!error.empty()) {
    err << kTool << error << "\n";
    return 1;
  }
  *what = "SNMPv3 profile " + p.name + (exists ? " replaced (" : " added (") + Describe(p) + ")";
  return 0;
}

void List(const SnmpV3Credentials& c, std::ostream& out) {
  out << "v3-only: " << (c.V3Only() ? "on" : "off") << "\n";
  for (const SnmpV3Profile& p : c.Profiles()) {
    std::string targets;
    for (const SnmpV3Credentials::Assignment& a : c.Assignments()) {
      if (a.profile == p.name) targets += (targets.empty() ? "" : ",") + a.TargetText();
    }
    out << p.name << ": " << Describe(p) << "; assigned to " << (targets.empty() ? "nothing" : targets) << "\n";
  }
}

}  // namespace

void SnmpV3Command::Usage(std::ostream& out) {
  out << "Usage: korsnmpv3 [-d AGENT-DIRECTORY] COMMAND\n"
         "  profile add NAME --user USER --level noAuthNoPriv|authNoPriv|authPriv\n"
         "      [--auth MD5|SHA|SHA-224|SHA-256|SHA-384|SHA-512 --auth-pass-file FILE]\n"
         "      [--priv DES|AES|AES-192|AES-256|AES-192-C|AES-256-C --priv-pass-file FILE]\n"
         "      [--context NAME] [--replace]\n"
         "  profile list | profile remove NAME\n"
         "  assign NAME default|ADDRESS|ADDRESS/BITS | unassign default|ADDRESS|ADDRESS/BITS\n"
         "  v3-only on|off\n"
         "  target add HOST:PORT (--community C | --profile NAME) [--inform]\n"
         "  target list | target remove HOST:PORT\n"
         "  engine\n"
         "A pass phrase file's first line is the pass phrase; \"-\" reads it from standard input.\n"
         "The agent directory defaults to the one KORAgent.cfg beside korsnmpv3 names. The running\n"
         "agent reads the changed file at its next SNMP request; no restart is needed.\n";
}

int SnmpV3Command::Run(const std::vector<std::string>& args, const std::string& agentDirectory, std::istream& in,
                       std::ostream& out, std::ostream& err, const std::function<void(const std::string&)>& audit) {
  if (args.empty()) {
    Usage(err);
    return 2;
  }
  const std::string path = AgentLayout::FileIn(agentDirectory, AgentLayout::kSnmpV3FileName);
  const bool changes = !(args.size() >= 2 && args[0] == "profile" && args[1] == "list");
  FileLock lock(path + ".lock");
  if (changes && !lock.Held()) {
    err << kTool << "cannot lock " << path << ".lock: " << std::strerror(errno) << "\n";
    return 1;
  }
  SnmpV3Credentials credentials;
  std::string error;
  if (!SnmpV3CredentialFile::Load(path, &credentials, &error)) {
    err << kTool << error << "\n";
    return 1;
  }
  std::string what;
  const std::string& command = args[0];
  if (command == "profile" && args.size() >= 2 && args[1] == "list" && args.size() == 2) {
    List(credentials, out);
    return 0;
  }
  if (command == "profile" && args.size() >= 2 && args[1] == "add") {
    const int code = AddProfile(args, in, &credentials, &what, err);
    if (code != 0) return code;
  } else if (command == "profile" && args.size() == 3 && args[1] == "remove") {
    error = credentials.Remove(args[2]);
    what = "SNMPv3 profile " + args[2] + " removed";
  } else if (command == "assign" && args.size() == 3) {
    error = credentials.Assign(args[1], args[2]);
    what = "SNMPv3 profile " + args[1] + " assigned to " + args[2];
  } else if (command == "unassign" && args.size() == 2) {
    error = credentials.Unassign(args[1]);
    what = "SNMPv3 assignment of " + args[1] + " removed";
  } else if (command == "v3-only" && args.size() == 2 && (args[1] == "on" || args[1] == "off")) {
    credentials.SetV3Only(args[1] == "on");
    what = "SNMPv3-only polling " + args[1];
  } else {
    Usage(err);
    return 2;
  }
  if (!error.empty()) {
    err << kTool << error << "\n";
    return 1;
  }
  if (!SnmpV3CredentialFile::Save(path, credentials, &error)) {
    err << kTool << error << "\n";
    return 1;
  }
  audit(what);
  out << what << ". The running agent applies it at its next SNMP request.\n";
  return 0;
}

}  // namespace orla

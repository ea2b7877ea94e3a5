#include "snmp_v3_command.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>

#include "agent/core/agent_layout.h"
#include "agent/core/snmp_v3_credential_edit.h"
#include "agent/core/snmp_v3_credential_file.h"

namespace orla {

namespace {

constexpr char kTool[] = "korsnmpv3: ";

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

int AddProfile(const std::vector<std::string>& args, std::istream& in, SnmpV3CredentialEdit* edit,
               std::ostream& err) {
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
  auto optional = [&o](const char* key) {
    return o.count(key) ? std::optional<std::string>(o[key]) : std::nullopt;
  };
  SnmpV3Profile p;
  p.name = args[2];
  p.user = o["--user"];
  p.context = o["--context"];
  std::string error = SnmpV3CredentialEdit::ParseProtocols(o["--level"], optional("--auth"), optional("--priv"), &p);
  if (!error.empty()) {
    err << kTool << error << "\n";
    return 2;
  }
  if (o.count("--auth") != o.count("--auth-pass-file") || o.count("--priv") != o.count("--priv-pass-file")) {
    err << kTool << "--auth goes with --auth-pass-file, --priv with --priv-pass-file\n";
    return 2;
  }
  if (o.count("--auth-pass-file") && !ReadPassPhrase(o["--auth-pass-file"], in, &p.authPassPhrase, err)) return 1;
  if (o.count("--priv-pass-file") && !ReadPassPhrase(o["--priv-pass-file"], in, &p.privPassPhrase, err)) return 1;
  const bool exists = edit->Credentials().Find(p.name) != nullptr;
  error = edit->PutProfile(p, o.count("--replace") != 0);
  if (!error.empty()) {
    err << kTool << error << (exists && !o.count("--replace") ? " (remove it first, or add --replace)" : "") << "\n";
    return 1;
  }
  return 0;
}

void List(const SnmpV3Credentials& c, std::ostream& out) {
  out << "v3-only: " << (c.V3Only() ? "on" : "off") << "\n";
  for (const SnmpV3Profile& p : c.Profiles()) {
    std::string targets;
    for (const SnmpV3Credentials::Assignment& a : c.Assignments()) {
      if (a.profile == p.name) targets += (targets.empty() ? "" : ",") + a.TargetText();
    }
    out << p.name << ": " << SnmpV3CredentialEdit::Describe(p) << "; assigned to " << (targets.empty() ? "nothing" : targets) << "\n";
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
  std::string error;
  const std::string& command = args[0];
  if (command == "profile" && args.size() == 2 && args[1] == "list") {
    SnmpV3Credentials credentials;
    if (!SnmpV3CredentialFile::Load(path, &credentials, &error)) {
      err << kTool << error << "\n";
      return 1;
    }
    List(credentials, out);
    return 0;
  }
  SnmpV3CredentialEdit edit(path);
  if (!edit.Open(&error)) {
    err << kTool << error << "\n";
    return 1;
  }
  if (command == "profile" && args.size() >= 2 && args[1] == "add") {
    const int code = AddProfile(args, in, &edit, err);
    if (code != 0) return code;
  } else if (command == "profile" && args.size() == 3 && args[1] == "remove") {
    error = edit.RemoveProfile(args[2]);
  } else if (command == "assign" && args.size() == 3) {
    error = edit.Assign(args[1], args[2]);
  } else if (command == "unassign" && args.size() == 2) {
    error = edit.Unassign(args[1]);
  } else if (command == "v3-only" && args.size() == 2 && (args[1] == "on" || args[1] == "off")) {
    edit.SetV3Only(args[1] == "on");
  } else {
    Usage(err);
    return 2;
  }
  if (!error.empty()) {
    err << kTool << error << "\n";
    return 1;
  }
  if (!edit.Save(&error)) {
    err << kTool << error << "\n";
    return 1;
  }
  audit(edit.What());
  out << edit.What() << ". The running agent applies it at its next SNMP request.\n";
  return 0;
}

}  // namespace orla

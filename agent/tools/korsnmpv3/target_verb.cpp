#include "target_verb.h"

#include <sys/stat.h>
#include <unistd.h>

#include <ostream>

#include "agent/core/snmp_v3_credential_file.h"
#include "agent/traps/notification_target_list.h"

namespace orla {

namespace {

constexpr char kUsage[] =
    "usage: korsnmpv3 target add HOST:PORT (--community C | --profile NAME) [--inform]\n"
    "       korsnmpv3 target list\n"
    "       korsnmpv3 target remove HOST:PORT\n";

// The add form's options into `target`; false for a usage error.
bool ParseAdd(const std::vector<std::string>& args, NotificationTargetList::Target* target, std::string* error) {
  if (args.size() < 2 || !NotificationTargetList::ParseName(args[1], &target->host, &target->port, error)) {
    return false;
  }
  bool community = false, profile = false, inform = false;
  for (size_t i = 2; i < args.size(); ++i) {
    if ((args[i] == "--community" || args[i] == "--profile") && i + 1 < args.size()) {
      (args[i] == "--community" ? community : profile) = true;
      target->credential = args[++i];
    } else if (args[i] == "--inform") {
      inform = true;
    } else {
      *error = "unknown option \"" + args[i] + "\"";
      return false;
    }
  }
  if (community == profile) {
    *error = "name either --community or --profile";
    return false;
  }
  using Kind = NotificationTargetList::Kind;
  target->kind = community ? (inform ? Kind::kV2cInform : Kind::kV2cTrap) : (inform ? Kind::kV3Inform : Kind::kV3Trap);
  return true;
}

}  // namespace

int TargetVerb::Run(const std::vector<std::string>& args, const AgentLayout& layout, std::ostream& out,
                    std::ostream& err, const std::function<void(const std::string& what)>& audit) {
  const std::string verb = args.empty() ? "" : args[0];
  const std::string path = layout.NotificationTargetFile();
  NotificationTargetList list;
  std::string error;
  if (verb != "add" && verb != "list" && verb != "remove") {
    err << kUsage;
    return 2;
  }
  if (!list.Load(path, &error)) {
    err << "korsnmpv3: " << error << "\n";
    return 1;
  }
  if (verb == "list") {
    if (args.size() != 1) {
      err << kUsage;
      return 2;
    }
    // Communities are secrets of a kind: the list names the kind and, for
    // SNMPv3, the profile only.
    for (const NotificationTargetList::Target& t : list.Targets()) {
      out << NotificationTargetList::Name(t) << " " << NotificationTargetList::KindName(t.kind);
      if (NotificationTargetList::IsV3(t.kind)) out << " profile " << t.credential;
      out << "\n";
    }
    return 0;
  }
  std::string what;
  if (verb == "add") {
    NotificationTargetList::Target target;
    if (!ParseAdd(args, &target, &error) || !list.Put(target, &error)) {
      err << "korsnmpv3: " << (error.empty() ? "missing HOST:PORT" : error) << "\n" << kUsage;
      return 2;
    }
    // An SNMPv3 target needs its profile to exist.
    SnmpV3Credentials credentials;
    if (NotificationTargetList::IsV3(target.kind) &&
        (!SnmpV3CredentialFile::Load(layout.SnmpV3File(), &credentials, &error) ||
         credentials.Find(target.credential) == nullptr)) {
      err << "korsnmpv3: " << (error.empty() ? "there is no SNMPv3 profile \"" + target.credential + "\"" : error)
          << "\n";
      return 1;
    }
    what = "Notification target " + NotificationTargetList::Name(target) + " set (" +
           NotificationTargetList::KindName(target.kind) + ")";
  } else {
    if (args.size() != 2) {
      err << kUsage;
      return 2;
    }
    if (!list.Remove(args[1])) {
      err << "korsnmpv3: " << args[1] << " is not a notification target\n";
      return 1;
    }
    what = "Notification target " + args[1] + " removed";
  }
  if (!list.Save(path, &error)) {
    err << "korsnmpv3: " << error << "\n";
    return 1;
  }
  // Run as root, the file goes to the agent directory's owner (the agent's
  // user), who must be able to read it.
  struct stat directory {};
  if (geteuid() == 0 && stat(layout.AgentDirectory().c_str(), &directory) == 0 &&
      chown(path.c_str(), directory.st_uid, directory.st_gid) != 0) {
    err << "korsnmpv3: " << path << " stays owned by root; the agent may not read it\n";
  }
  if (audit) audit(what);
  out << what << "\n";
  return 0;
}

}  // namespace orla

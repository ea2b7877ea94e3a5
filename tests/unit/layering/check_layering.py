#!/usr/bin/env python3
"""Checks the include rules of the source tree.

- Only platform/ may include the headers of net-snmp, libmicrohttpd, libcurl,
  OpenSSL, GnuTLS, systemd, dlopen or ncurses.
- Dependencies between the agent's layers point one way:
  core/service -> web -> traps -> devices -> snmp -> core -> platform.
- The building blocks in agent/core know no other subsystem.
- A library's private headers are included only inside it: platform/zepa
  offers only zepa.h, platform/snmpmgr only its API headers, agent/devices
  keeps element_poller.h and element_file_reader.h (tests and fuzz
  targets may reach them).
- Only the settings module reads the environment (getenv, secure_getenv,
  environ). Exempt: setup, a program of its own whose two settings live in
  platform/setupkit; systemd's NOTIFY_SOCKET, read by the service host's
  stand-in as libsystemd reads it; and platform/zepa, whose server reads
  KORAGENT_HTTPS_PORT/ADDRESS only for a program that never hands it an
  endpoint with ZEPASetServerEndpoint (the agent always does).
Prints each violation as file:line and exits 1 when there is any.
"""
import os
import re
import sys

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "..")
ROOT = os.path.abspath(ROOT)

FORBIDDEN = re.compile(r'#\s*include\s*[<"](net-snmp/|httplib\.h|microhttpd\.h|curl/|openssl/|gnutls/|systemd/|dlfcn\.h|ncurses|curses\.h|crypt\.h)')
INCLUDE = re.compile(r'#\s*include\s*"([^"]+)"')
ENVIRONMENT = re.compile(r'\b(secure_)?getenv\s*\(|\benviron\b|\bsetenv\s*\(|\bputenv\s*\(')
ENVIRONMENT_READERS = (
    "agent/core/agent_settings.cpp",
    "platform/setupkit/setup_environment.cpp",
    "platform/setupkit/registry_tree.cpp",
    "platform/zepa/",
)
# Folder (or header) -> the headers others may include from it.
PRIVATE = {
    "platform/zepa/": {"platform/zepa/zepa.h"},
    "platform/snmpmgr/": {"platform/snmpmgr/snmp_api.h", "platform/snmpmgr/snmp_mgr.h",
                          "platform/snmpmgr/snmp_mgr_trap.h"},
    # element_state.h is shared with the trap handling through the element
    # directory; the poller stays inside.
    "agent/devices/element_poller.h": set(),
    "agent/devices/element_file_reader.h": set(),
}


def private_violation(rel, target):
    for owner, public in PRIVATE.items():
        inside = rel.startswith(owner if owner.endswith("/") else os.path.dirname(owner) + "/")
        if target.startswith(owner) and target not in public and not inside:
            return True
    return False


# A reader allowed for one variable only: the line must name it.
ENVIRONMENT_LINES = {
    "platform/service/service_dispatcher.cpp": "NOTIFY_SOCKET",
    # The unit the install command writes runs the agent with the
    # environment systemd gives it; spawning systemctl passes ours on.
    "platform/service/service_control_manager.cpp": "environ",
    "platform/setupkit/process_runner.cpp": "environ",
}

# Rank of each agent layer: a file may include its own layer or lower ones.
LAYERS = [
    ("platform/", 0),
    ("agent/core/service/", 6),
    ("agent/core/", 1),
    ("agent/snmp/", 2),
    ("agent/devices/", 3),
    ("agent/traps/", 4),
    ("agent/web/", 5),
]


def layer_of(path):
    for prefix, rank in LAYERS:
        if path.startswith(prefix):
            return rank
    return None


def main():
    problems = []
    for top in ("agent", "platform", "plugins", "setup"):
        base = os.path.join(ROOT, top)
        for dirpath, _, files in os.walk(base):
            for name in files:
                if not name.endswith((".h", ".cpp", ".hpp", ".cc", ".c")):
                    continue
                full = os.path.join(dirpath, name)
                rel = os.path.relpath(full, ROOT)
                own = layer_of(rel)
                with open(full, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        if not rel.startswith("platform/") and FORBIDDEN.search(line):
                            problems.append(f"{rel}:{number}: platform library header outside platform/: {line.strip()}")
                        if ENVIRONMENT.search(line) and not line.lstrip().startswith("//") \
                                and not rel.startswith(ENVIRONMENT_READERS) \
                                and ENVIRONMENT_LINES.get(rel, "\0") not in line:
                            problems.append(f"{rel}:{number}: reads the environment outside the settings module: {line.strip()}")
                        m = INCLUDE.search(line)
                        if not m:
                            continue
                        target = m.group(1)
                        if rel.startswith("platform/") and target.startswith(("agent/", "setup/", "plugins/")):
                            problems.append(f"{rel}:{number}: platform code includes {target}")
                        if private_violation(rel, target):
                            problems.append(f"{rel}:{number}: {target} is private to its library")
                        theirs = layer_of(target)
                        if own is not None and theirs is not None and theirs > own:
                            problems.append(f"{rel}:{number}: {target} is a higher layer")
                        if rel.startswith(("plugins/", "setup/")) and target.startswith(("agent/core/service/", "agent/web/", "agent/traps/")):
                            problems.append(f"{rel}:{number}: {target} is not for {rel.split('/')[0]}")
    for p in problems:
        print(p)
    print(f"{len(problems)} layering problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

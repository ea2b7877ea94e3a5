#!/usr/bin/env python3
"""Checks the layering rules of the source tree; part of every build (the
include_rules target) and of the unit tests (Layering.IncludeRules).

- No target defined under platform/ links a target defined under agent/,
  plugins/ or setup/: the stand-ins know nothing of the agent.
- No file under platform/ names the agent's configuration file: the agent's
  on-disk layout belongs to the agent (AgentLayout), which hands platform
  code the folders it needs.
- Only platform/ may include the headers of net-snmp, libmicrohttpd, libcurl,
  OpenSSL, GnuTLS, systemd, dlopen, ncurses, prometheus-cpp or librrd.
- Dependencies between the agent's layers point one way:
  service -> web -> history -> alarms -> traps -> devices -> snmp -> core -> platform.
- The building blocks in agent/core know no other subsystem.
- A library's private headers stay inside it. The build enforces that
  through the include paths (only each library's include/ folder is
  offered to others); this check closes the one way around it, a relative
  include ("../../platform/zepa/zepa_server.h") that leaves the library's
  folder.
- Only the settings module reads the environment (getenv, secure_getenv,
  environ). Exempt: setup, a program of its own whose two settings live in
  platform/setupkit; systemd's NOTIFY_SOCKET, read by the service host's
  stand-in as libsystemd reads it.
Prints each violation as file:line and exits 1 when there is any.
"""
import os
import re
import sys

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
ROOT = os.path.abspath(ROOT)

FORBIDDEN = re.compile(r'#\s*include\s*[<"](net-snmp/|httplib\.h|microhttpd\.h|curl/|openssl/|gnutls/|systemd/|dlfcn\.h|ncurses|curses\.h|crypt\.h|prometheus/|rrd\.h|rrd_client\.h)')
INCLUDE = re.compile(r'#\s*include\s*"([^"]+)"')
ENVIRONMENT = re.compile(r'\b(secure_)?getenv\s*\(|\benviron\b|\bsetenv\s*\(|\bputenv\s*\(')
ENVIRONMENT_READERS = (
    "agent/core/agent_settings.cpp",
    "platform/setupkit/setup_environment.cpp",
    "platform/setupkit/registry_tree.cpp",
)


def library_root(path):
    """The folder of the library a file belongs to: the nearest folder above
    it with a CMakeLists.txt (a public header in include/ belongs to the
    folder that holds include/)."""
    folder = os.path.dirname(path)
    while folder and not os.path.exists(os.path.join(ROOT, folder, "CMakeLists.txt")):
        folder = os.path.dirname(folder)
    return folder


def leaves_library(rel, target):
    """True for a relative include that resolves outside the including
    file's library folder."""
    if not target.startswith(".") and "/../" not in target:
        return False
    resolved = os.path.normpath(os.path.join(os.path.dirname(rel), target))
    return not resolved.startswith(library_root(rel) + "/")


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
    ("agent/service/", 6),
    ("agent/tools/", 6),
    ("agent/core/", 1),
    ("agent/snmp/", 2),
    ("agent/devices/", 3),
    ("agent/traps/", 4),
    ("agent/alarms/", 4.5),
    ("agent/history/", 4.6),
    ("agent/web/", 5),
]


def layer_of(path):
    for prefix, rank in LAYERS:
        if path.startswith(prefix):
            return rank
    return None


TARGET_DEFINITION = re.compile(r'\b(?:kor_library|add_library|add_executable)\(\s*([A-Za-z0-9_.+-]+)')
TARGET_LINKS = re.compile(r'\btarget_link_libraries\(([^)]*)\)', re.S)
AGENT_CONFIGURATION_FILE = "KORAgent.cfg"


def cmake_files(top):
    for dirpath, _, files in os.walk(os.path.join(ROOT, top)):
        if "CMakeLists.txt" in files:
            full = os.path.join(dirpath, "CMakeLists.txt")
            with open(full, encoding="utf-8", errors="replace") as f:
                # Comments go; line breaks stay, so offsets still give lines.
                text = re.sub(r'#[^\n]*', '', f.read())
            yield os.path.relpath(full, ROOT), text


def link_problems():
    """platform/ targets that link a target of the agent, a plug-in or setup."""
    owner = {}
    for top in ("agent", "platform", "plugins", "setup"):
        for rel, text in cmake_files(top):
            for m in TARGET_DEFINITION.finditer(text):
                owner[m.group(1)] = top
    problems = []
    for rel, text in cmake_files("platform"):
        for m in TARGET_LINKS.finditer(text):
            words = m.group(1).split()
            line = text.count("\n", 0, m.start()) + 1
            for word in words[1:]:
                if owner.get(word, "platform") != "platform":
                    problems.append(f"{rel}:{line}: {words[0]} links {word}, a target of {owner[word]}/")
    return problems


def configuration_file_problems():
    """Files under platform/ that name the agent's configuration file."""
    problems = []
    for dirpath, _, files in os.walk(os.path.join(ROOT, "platform")):
        for name in files:
            full = os.path.join(dirpath, name)
            rel = os.path.relpath(full, ROOT)
            with open(full, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    if AGENT_CONFIGURATION_FILE in line:
                        problems.append(f"{rel}:{number}: platform code names {AGENT_CONFIGURATION_FILE}")
    return problems


def main():
    problems = link_problems() + configuration_file_problems()
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
                        if leaves_library(rel, target):
                            problems.append(f"{rel}:{number}: {target} reaches outside its library")
                        theirs = layer_of(target)
                        if own is not None and theirs is not None and theirs > own:
                            problems.append(f"{rel}:{number}: {target} is a higher layer")
                        if rel.startswith(("plugins/", "setup/")) and target.startswith(("agent/service/", "agent/web/", "agent/traps/")):
                            problems.append(f"{rel}:{number}: {target} is not for {rel.split('/')[0]}")
    for p in problems:
        print(p)
    print(f"{len(problems)} layering problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

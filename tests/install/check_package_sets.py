#!/usr/bin/env python3
"""What each of tools/install-deps' sets would install on a bare Debian machine, found by
apt's own simulation against a machine that has only the packages of priority
"required": the set for using the tracker must bring no Windows emulator, compositor,
browser or desktop shell. With --sizes, prints each set's count of packages and its size
(what the README gives).
   check_package_sets.py INSTALL_DEPS [--sizes]"""
import re
import subprocess
import sys
import tempfile

FORBIDDEN = re.compile(r"^(wine|sway|kwin|chromium|firefox|gnome-shell|mutter|xvfb)")


def required_packages():
    """The packages every Debian machine has: priority required, from apt's lists."""
    names = set()
    text = subprocess.run(["apt-cache", "dumpavail"], capture_output=True, text=True,
                          check=True).stdout
    for stanza in text.split("\n\n"):
        if re.search(r"^Priority: required$", stanza, re.M):
            name = re.search(r"^Package: (\S+)", stanza, re.M)
            arch = re.search(r"^Architecture: (\S+)", stanza, re.M)
            if name and arch and arch.group(1) in ("amd64", "all"):
                names.add(name.group(1))
    return sorted(names)


# install-deps installs these without the desktops apt would recommend with them.
WITHOUT_RECOMMENDS = {"kwin-wayland", "gnome-shell", "gjs"}


def simulated(status, packages):
    """The packages apt would install, with recommends as install-deps has them."""
    plain = [p for p in packages if p not in WITHOUT_RECOMMENDS]
    bare = [p for p in packages if p in WITHOUT_RECOMMENDS]
    found = plan(status, plain, [])
    return found | plan(status, bare, ["--no-install-recommends"]) if bare else found


def plan(status, packages, flags):
    run = subprocess.run(["apt-get", "-s", "-o", "Dir::State::status=" + status, "install"] +
                         flags + packages, capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit("apt-get could not plan the install of %s:\n%s" % (packages, run.stdout[-2000:]
                                                                   + run.stderr[-2000:]))
    return {line.split()[1] for line in run.stdout.splitlines() if line.startswith("Inst ")}


def sizes(packages):
    """Installed size and download size in MB of the candidates of PACKAGES."""
    installed = download = 0
    text = subprocess.run(["apt-cache", "show", "--no-all-versions"] + sorted(packages),
                          capture_output=True, text=True, check=True).stdout
    for stanza in text.split("\n\n"):
        found = re.search(r"^Installed-Size: (\d+)", stanza, re.M)
        installed += int(found.group(1)) * 1024 if found else 0
        found = re.search(r"^Size: (\d+)", stanza, re.M)
        download += int(found.group(1)) if found else 0
    return installed / 1e6, download / 1e6


def main():
    install_deps = sys.argv[1]
    with tempfile.NamedTemporaryFile("w") as status:
        base = required_packages()
        bare = simulated(status.name, base)
        failures = []
        for name in ("use", "demo", "tests") if "--sizes" in sys.argv else ("use",):
            wanted = subprocess.run([install_deps, "--list", name], capture_output=True,
                                    text=True, check=True).stdout.split()
            added = simulated(status.name, base + wanted) - bare
            installed, download = sizes(added)
            print("%-5s %4d packages, %6.0f MB installed, %5.0f MB downloaded" %
                  (name, len(added), installed, download))
            if name == "use":
                bad = sorted(p for p in added if FORBIDDEN.match(p))
                if bad:
                    failures.append("the set for using the tracker brings " + ", ".join(bad))
    for failure in failures:
        print("FAIL: " + failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

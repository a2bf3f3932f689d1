#pragma once

#include "tests/support/TempTree.h"

#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace tessaly::test {

// Stand-ins for apt-get, pkexec, flatpak and snap in a fixture machine, named
// by the variables the program reads. Each records its command line in one
// log; apt-get simulates from the fixture's dpkg status file and removes a
// package as dpkg does (the files of its list, its list, its stanza); flatpak
// and snap remove their fixture installations. Files in the stand-ins' folder
// change what they do: "decline" (pkexec exits 126), "apt-extra" (more lines
// of apt-get's simulation), "apt-fails" (the removal fails).
struct PackageStandIns {
    const TempTree& t;
    std::string dir = t.dir("tools");
    std::string log = t.path("tools/calls.log");
    std::string aptGet = script("apt-get", R"SH(ROOT="$TESSALY_ROOT"
STATUS="$ROOT/var/lib/dpkg/status"
sim=no; action=; after=no; pkgs=
for a; do
    if [ $after = yes ]; then pkgs="$pkgs $a"; continue; fi
    case "$a" in -s) sim=yes ;; remove|purge) action=$a ;; --) after=yes ;; esac
done
if [ $sim = yes ]; then
    for p in $pkgs; do
        if grep -qx "Package: $p" "$STATUS"; then echo "Remv $p [1.0]";
        else echo "Package '$p' is not installed, so not removed"; fi
    done
    [ -f "$DIR/apt-extra" ] && cat "$DIR/apt-extra"
    exit 0
fi
if [ -f "$DIR/apt-fails" ]; then echo "E: Sub-process /usr/bin/dpkg returned an error code (1)"; exit 100; fi
for p in $pkgs; do
    list="$ROOT/var/lib/dpkg/info/$p.list"
    [ -f "$list" ] || list="$ROOT/var/lib/dpkg/info/$p:amd64.list"
    if [ -f "$list" ]; then
        while IFS= read -r f; do
            if [ -f "$ROOT$f" ] || [ -L "$ROOT$f" ]; then echo "dpkg removes $f" >> "$LOG"; rm -f "$ROOT$f"; fi
        done < "$list"
        rm -f "$list"
    fi
    awk -v p="Package: $p" 'BEGIN { RS = ""; ORS = "\n\n" } { split($0, l, "\n"); if (l[1] != p) print }' \
        "$STATUS" > "$STATUS.new" && mv "$STATUS.new" "$STATUS"
done
)SH");
    std::string pkexec = script("pkexec", R"SH([ -f "$DIR/decline" ] && exit 126
exec "$@"
)SH");
    std::string flatpak = script("flatpak", R"SH(user=no; data=no; after=no; id=
for a; do
    if [ $after = yes ]; then id=$a; continue; fi
    case "$a" in --user) user=yes ;; --delete-data) data=yes ;; --) after=yes ;; esac
done
if [ $user = yes ]; then base="$TESSALY_HOME/.local/share/flatpak"; else base="$TESSALY_ROOT/var/lib/flatpak"; fi
[ -d "$base/app/$id" ] || { echo "error: $id not installed"; exit 1; }
rm -rf "$base/app/$id" "$base/exports/share/applications/$id.desktop"
[ $data = yes ] && rm -rf "$TESSALY_HOME/.var/app/$id"
exit 0
)SH");
    std::string snap = script("snap", R"SH(name=; for a; do name=$a; done
rm -rf "$TESSALY_ROOT/snap/$name" "$TESSALY_ROOT/var/lib/snapd/desktop/applications/${name}_"*.desktop
)SH");
    ScopedEnv aptEnv{"TESSALY_APT_GET", aptGet};
    ScopedEnv pkexecEnv{"TESSALY_PKEXEC", pkexec};
    ScopedEnv flatpakEnv{"TESSALY_FLATPAK", flatpak};
    ScopedEnv snapEnv{"TESSALY_SNAP", snap};

    explicit PackageStandIns(const TempTree& tree) : t(tree) {}

    // The recorded calls, one line each ("apt-get -s remove -- tool").
    std::vector<std::string> calls() const {
        std::ifstream in(log);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    void set(const std::string& name, const std::string& contents = {}) const {
        t.file("tools/" + name, contents);
    }

    // An installed package owning its files (created under the root).
    static std::string stanza(const std::string& name, std::int64_t kb,
                              const std::string& extra = {}) {
        return "Package: " + name + "\nStatus: install ok installed\nPriority: optional\n" + extra +
               "Installed-Size: " + std::to_string(kb) + "\nVersion: 1.0\n\n";
    }
    void ownedFiles(const std::string& package, const std::vector<std::string>& files) const {
        std::string list;
        for (const std::string& f : files) {
            t.file("root" + f, "the file " + f + " of " + package);
            list += f + "\n";
        }
        t.file("root/var/lib/dpkg/info/" + package + ".list", list);
    }

private:
    std::string script(const std::string& name, const std::string& body) const {
        std::string text = "#!/bin/sh\nDIR='" + t.path("tools") + "'\nLOG='" +
                           t.path("tools/calls.log") + "'\n{ printf '%s' '" + name +
                           "'; for a; do printf ' %s' \"$a\"; done; echo; } >> \"$LOG\"\n" + body;
        const std::string path = t.file("tools/" + name, text);
        ::chmod(path.c_str(), 0755);
        return path;
    }
};

} // namespace tessaly::test

# Builds the fixture home and system root the window scripts start Tessaly on:
# settings of a later run, a few installed applications with localisations, a
# universal executable, leftovers, a photo library, caches, logs, a trash and
# duplicate files. Source it, then: make_fixture "$FIXTURE" (a fresh folder).
make_fixture() {
FIXTURE=$1
mkdir -p "$FIXTURE/home/.config/Tessaly" "$FIXTURE/root/proc"

# A later run: System Cleanup and Old Files overdue, memory low, last clean 15 days ago.
ago() { date -u -d "$1 days ago" +%Y-%m-%dT%H:%M:%SZ; }
cat > "$FIXTURE/home/.config/Tessaly/defaults.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>FirstRun</key><integer>1</integer>
<key>firstRunKey</key><true/>
<key>Play_Sound</key><true/>
<key>totleCleanKey</key><integer>1834500000</integer>
<key>lastCleanDate</key><date>$(ago 15)</date>
<key>lastCleanDateKey</key><date>$(ago 1)</date>
<key>systemLastCleanDateKey</key><date>$(ago 20)</date>
<key>duplicateLastCleanDateKey</key><date>$(ago 3)</date>
<key>oldLastCleanDateKey</key><date>$(ago 40)</date>
<key>aliasLastCleanDateKey</key><date>$(ago 2)</date>
<key>browserLastCleanDateKey</key><date>$(ago 1)</date>
</dict></plist>
PLIST
# A few installed applications for the catalogue.
for app in "Safari:com.apple.Safari" "Photo Editor:com.maker.photoeditor" "Notes Plus:org.notes.plus"; do
    name=${app%%:*}
    mkdir -p "$FIXTURE/root/Applications/$name.app/Contents/MacOS"
    head -c 300000 /dev/zero > "$FIXTURE/root/Applications/$name.app/Contents/MacOS/main"
    cat > "$FIXTURE/root/Applications/$name.app/Contents/Info.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>${app#*:}</string>
<key>CFBundleExecutable</key><string>main</string>
<key>CFBundleShortVersionString</key><string>1.0</string>
</dict></plist>
PLIST
done
# Localisations the user does not keep (the kept ones are English and the
# system's language), a universal executable with a slice for another processor,
# leftovers of a removed application and a photo library with previews.
for lang in en fr de ja pt_BR pt_PT Base; do
    for app in "Photo Editor" "Notes Plus"; do
        mkdir -p "$FIXTURE/root/Applications/$app.app/Contents/Resources/$lang.lproj"
        head -c 900000 /dev/urandom > "$FIXTURE/root/Applications/$app.app/Contents/Resources/$lang.lproj/Localizable.strings"
    done
done
fat() { # x86-64 and i386 slices of 200,000 bytes, each aligned to 4 KiB
    { printf '\xca\xfe\xba\xbe\x00\x00\x00\x02'
      printf '\x01\x00\x00\x07\x00\x00\x00\x03\x00\x00\x10\x00\x00\x03\x0d\x40\x00\x00\x00\x0c'
      printf '\x00\x00\x00\x07\x00\x00\x00\x03\x00\x03\x30\x00\x00\x03\x0d\x40\x00\x00\x00\x0c'
    } > "$1"
    truncate -s 408896 "$1"
}
fat "$FIXTURE/root/Applications/Notes Plus.app/Contents/MacOS/main"
mkdir -p "$FIXTURE/home/Library/Preferences" "$FIXTURE/home/Library/Application Support/com.oldvendor.sync"
head -c 4000 /dev/urandom > "$FIXTURE/home/Library/Preferences/com.oldvendor.sync.plist"
head -c 2500000 /dev/urandom > "$FIXTURE/home/Library/Application Support/com.oldvendor.sync/store.db"
LIB="$FIXTURE/home/Pictures/iPhoto Library"
mkdir -p "$LIB/Masters/2026/Trip" "$LIB/Previews/2026/Trip"
for i in 1 2 3; do
    { printf '\xff\xd8\xff\xe0'; head -c 2400000 /dev/urandom; } > "$LIB/Masters/2026/Trip/IMG_$i.jpg"
    { printf '\xff\xd8\xff\xe0'; head -c 400000 /dev/urandom; } > "$LIB/Previews/2026/Trip/IMG_$i.jpg"
done
# Something for System Cleanup and the Duplicates Finder to find.
mkdir -p "$FIXTURE/home/Library/Caches/com.maker.photoeditor" "$FIXTURE/home/Library/Logs" \
    "$FIXTURE/home/.Trash" "$FIXTURE/root/Library/Caches/com.maker.updater" "$FIXTURE/root/Library/Logs" \
    "$FIXTURE/home/Documents/Reports" "$FIXTURE/home/Pictures" "$FIXTURE/home/Downloads"
head -c 48000000 /dev/urandom > "$FIXTURE/home/Library/Caches/com.maker.photoeditor/thumbs.db"
head -c 9000000 /dev/urandom > "$FIXTURE/home/Library/Logs/notes.log"
head -c 21000000 /dev/urandom > "$FIXTURE/home/.Trash/old-draft.mov"
head -c 6000000 /dev/urandom > "$FIXTURE/root/Library/Caches/com.maker.updater/package.bin"
head -c 300000 /dev/urandom > "$FIXTURE/root/Library/Logs/install.log"
head -c 3500000 /dev/urandom > "$FIXTURE/home/Pictures/holiday.jpg"
cp "$FIXTURE/home/Pictures/holiday.jpg" "$FIXTURE/home/Downloads/holiday copy.jpg"
head -c 800000 /dev/urandom > "$FIXTURE/home/Documents/report.pdf"
cp "$FIXTURE/home/Documents/report.pdf" "$FIXTURE/home/Documents/Reports/report.pdf"
cp "$FIXTURE/home/Documents/report.pdf" "$FIXTURE/home/Downloads/report (1).pdf"
cat > "$FIXTURE/root/proc/meminfo" <<'MEM'
MemTotal:       16000000 kB
MemFree:         2400000 kB
MemAvailable:    6000000 kB
Active:          6000000 kB
Inactive:        4000000 kB
MEM

}

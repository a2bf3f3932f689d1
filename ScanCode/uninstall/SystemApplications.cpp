#include "ScanCode/uninstall/SystemApplications.h"

namespace tessaly {

const std::vector<std::string>& systemApplicationNames() {
    // Never destroyed: background scans may read it while the program exits.
    static const auto* names = new std::vector<std::string>{
        "App Store",
        "Automator",
        "Calculator",
        "Calendar",
        "Chess",
        "Contacts",
        "Dashboard",
        "Dictionary",
        "DVD Player",
        "FaceTime",
        "Font Book",
        "Game Center",
        "Image Capture",
        "iTunes",
        "Launchpad",
        "Mail",
        "Messages",
        "Mission Control",
        "Notes",
        "Photo Booth",
        "Preview",
        "QuickTime Player",
        "Reminders",
        "Remote Desktop Connection",
        "Safari",
        "Stickies",
        "System Preferences",
        "TextEdit",
        "Time Machine",
        "Activity Monitor",
        "AirPort Utility",
        "AppleScript Editor",
        "Audio MIDI Setup",
        "Bluetooth File Exchange",
        "Boot Camp Assistant",
        "ColorSync Utilityp",
        "Console",
        "DigitalColor Meter",
        "Disk Utility",
        "Grab",
        "Grapher",
        "Keychain Access",
        "Migration Assistant",
        "Network Utility",
        "RAID Utility",
        "System Information",
        "Terminal",
        "VoiceOver Utility",
        "Maps",
        "iBooks",
    };
    return *names;
}

} // namespace tessaly

#pragma once

#include <string>
#include <string_view>

namespace tessaly::namematch {

// How the related-file search compares names: only on the boundaries of their
// parts, so that "com.maker.Toolbox.plist" is never taken for "com.maker.Tool"
// nor a "Toolkit" folder for "Tool". Parts are separated by '.', '-', '_' and ' '.

bool isSeparator(char c);

// Whether needle occurs in name as whole parts: it starts the name or follows a
// separator, and it ends the name, comes before a separator, or comes before a
// number that ends the name or a part ("Tool2", "Tool2.log"). An empty needle
// never occurs.
bool containsParts(std::string_view name, std::string_view needle, bool ignoreCase = false);

// Whether word occurs as a whole part right before "_" ("Tool_2" for "Tool",
// never "MyTool_2"). An empty word never occurs.
bool containsWordThenUnderscore(std::string_view name, std::string_view word);

// The names an application goes by in the related-file search.
struct AppNames {
    std::string identifier; // its bundle identifier
    std::string word;       // its executable's name (else the item's name)
    std::string bundleName; // its bundle's name without the extension
};

// The identifier's last dot-separated part (the whole identifier without a dot).
std::string lastPart(std::string_view identifier);

// The rule of every searched folder: the name holds the identifier, or the word
// followed by "_", as whole parts, or is the word.
bool namedFor(std::string_view name, const AppNames& app);
// The rule of the user's application-support folder: namedFor, or the name is,
// ignoring case, the identifier's last part, the bundle's name or the
// executable's name. A name that merely holds one of them ("WhatsApp" for
// "com.home.App") is another application's.
bool supportNamedFor(std::string_view name, const AppNames& app);
// Whether a folder of the application-support folder is looked into one level
// for the application: its name is a part of the identifier (a maker's folder).
bool makerFolderOf(std::string_view folderName, const AppNames& app);
// The rule of the temporary folders: the name holds the identifier.
bool temporaryNamedFor(std::string_view name, const AppNames& app);

} // namespace tessaly::namematch

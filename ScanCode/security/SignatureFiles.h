#pragma once

#include "ScanCode/security/SignatureIndex.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tessaly {

// Signature files of the user's own, in the two text formats widespread among
// open-source scanners, read as far as this engine's signatures reach:
// - ".hsb" hash lines "HASH:SIZE:NAME" (an optional fourth field is ignored):
//   MD5, SHA-1 or SHA-256 by the hash's length, and the file's size in bytes;
// - ".ndb" body lines "NAME:TARGET:OFFSET:HEX" (optional level fields ignored):
//   target 0 (any file), an absolute decimal offset and plain hex bytes.
// Any other line (wildcards, other targets, relative offsets, damaged lines) is
// skipped and counted; empty lines are not lines.
struct SignatureFile {
    std::vector<VirusCodeObj> byteSignatures;
    std::vector<VirusMD5Obj> digests;
    std::size_t skipped = 0;
};

// The format follows the file name's extension (".hsb" or ".ndb"), else the
// content decides line by line.
SignatureFile parseSignatureText(const std::string& text, const std::string& name);

// Reads a signature file (at most 512 MiB); false when it cannot be read.
bool readSignatureFile(const std::string& path, SignatureFile& out);

} // namespace tessaly

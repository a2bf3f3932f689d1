#pragma once

// Recognising image files by their first bytes, whatever their name says.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tessaly::imagekind {

// The type identifier of the image format whose signature the bytes begin with
// ("public.png", "public.jpeg", "com.compuserve.gif", "public.tiff",
// "com.microsoft.bmp", "public.heic", "org.webmproject.webp",
// "com.microsoft.ico", "com.adobe.photoshop-image"); none when they begin with
// no known image signature.
std::optional<std::string> typeBySignature(const std::uint8_t* data, std::size_t size);

// The same for the start of a regular file; none when it cannot be read.
std::optional<std::string> fileTypeBySignature(const std::string& path);

// Whether files of this type identifier carry a signature typeBySignature knows,
// so that a file named as one but lacking the signature is not one.
bool hasKnownSignature(const std::string& type);

} // namespace tessaly::imagekind

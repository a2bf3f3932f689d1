#pragma once

#include <string>

namespace tessaly::filetype {

// Our own table of file types, for the tools that tell files apart by kind: each
// type has an identifier ("public.jpeg", "public.zip-archive", "public.disk-image")
// and parents it conforms to ("public.jpeg" to "public.image" and "public.content").

// The type of a file, from its name's extension; "public.data" for anything unknown.
std::string typeOf(const std::string& path);

// Whether the type is, or descends from, the given one.
bool conformsTo(const std::string& type, const std::string& parent);

} // namespace tessaly::filetype

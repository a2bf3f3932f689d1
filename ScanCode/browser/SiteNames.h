#pragma once

#include <string>
#include <vector>

namespace tessaly::sites {

// A cookie host as a site: lower case, without its leading dot.
std::string hostName(const std::string& domain);

// The registrable domain of a host by the public-suffix list ("a.b.example.co.uk"
// and "example.co.uk" give "example.co.uk", "www.google.com" gives
// "google.com"). A host that has none (a public suffix itself, an address, a
// single label) is its own site.
std::string registrableDomain(const std::string& host);

// Whether a kept site covers a host: the host is the site or one of its
// subdomains ("accounts.google.com" by "google.com"), never a look-alike that
// merely ends the same ("notgoogle.com"). Case and leading dots do not matter.
bool covers(const std::string& kept, const std::string& host);
bool coveredByAny(const std::vector<std::string>& kept, const std::string& host);

} // namespace tessaly::sites

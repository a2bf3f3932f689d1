#include "platform/DebianVersion.h"

#include <cctype>
#include <cstdlib>

namespace tessaly::packages {

namespace {

struct Parts {
    long long epoch = 0;
    std::string upstream;
    std::string revision;
};

Parts split(const std::string& version) {
    Parts p;
    std::string rest = version;
    if (auto colon = rest.find(':'); colon != std::string::npos) {
        p.epoch = std::strtoll(rest.substr(0, colon).c_str(), nullptr, 10);
        rest = rest.substr(colon + 1);
    }
    if (auto dash = rest.rfind('-'); dash != std::string::npos) {
        p.revision = rest.substr(dash + 1);
        rest = rest.substr(0, dash);
    }
    p.upstream = rest;
    return p;
}

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

int order(char c) {
    if (isDigit(c))
        return 0;
    if (std::isalpha(static_cast<unsigned char>(c)))
        return static_cast<unsigned char>(c);
    if (c == '~')
        return -1;
    if (c)
        return static_cast<unsigned char>(c) + 256;
    return 0;
}

// dpkg's comparison of one part: runs of non-digits by the order above, then
// runs of digits as numbers.
int compareParts(const std::string& left, const std::string& right) {
    const char* a = left.c_str();
    const char* b = right.c_str();
    while (*a || *b) {
        while ((*a && !isDigit(*a)) || (*b && !isDigit(*b))) {
            const int ac = order(*a);
            const int bc = order(*b);
            if (ac != bc)
                return ac - bc;
            if (*a)
                ++a;
            if (*b)
                ++b;
        }
        while (*a == '0')
            ++a;
        while (*b == '0')
            ++b;
        int firstDiff = 0;
        while (isDigit(*a) && isDigit(*b)) {
            if (!firstDiff)
                firstDiff = *a - *b;
            ++a;
            ++b;
        }
        if (isDigit(*a))
            return 1;
        if (isDigit(*b))
            return -1;
        if (firstDiff)
            return firstDiff;
    }
    return 0;
}

} // namespace

int compareVersions(const std::string& a, const std::string& b) {
    const Parts left = split(a);
    const Parts right = split(b);
    if (left.epoch != right.epoch)
        return left.epoch < right.epoch ? -1 : 1;
    if (int c = compareParts(left.upstream, right.upstream))
        return c;
    return compareParts(left.revision, right.revision);
}

} // namespace tessaly::packages

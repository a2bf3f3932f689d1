// Test helper: writes keys "k0", "k1", ... to a settings file, one change at a
// time, and reports each finished write on standard output, until it is killed.
#include "platform/UserDefaults.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    tessaly::UserDefaults defaults(argv[1]);
    std::string filler(4096, 'x'); // makes each write take a little while
    for (long i = 0;; ++i) {
        tessaly::PlistValue::Dict value{{"n", tessaly::PlistValue(static_cast<long long>(i))},
                                        {"pad", tessaly::PlistValue(filler)}};
        if (!defaults.setObject("k" + std::to_string(i), tessaly::PlistValue(value)))
            return 1;
        std::printf("%ld\n", i);
        std::fflush(stdout);
    }
}

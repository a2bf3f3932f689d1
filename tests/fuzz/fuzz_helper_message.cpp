// Arbitrary bytes into the privileged service's message reader: every request
// body it receives comes from another process. Whatever it accepts must be a
// request of the documented shape, and a reply built from it must read back.
#include "daemon/Arguments.h"
#include "daemon/HelperProtocol.h"
#include "daemon/WireFormat.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto any = dorn::decodeMessage(data, size);
    if (any) {
        std::vector<std::uint8_t> again = dorn::encodeMessage(*any);
        auto reread = dorn::decodeMessage(again.data(), again.size());
        if (again.empty() || !reread)
            std::abort(); // what we accept, written again, must read back
    }

    std::string error;
    auto request = dorn::decodeRequest(data, size, &error);
    if (!request) {
        if (error.empty())
            std::abort(); // a refusal always says why
        return 0;
    }
    if (!any || request->command.empty())
        std::abort();
    for (std::size_t i = 0; i < request->arguments.size(); ++i) {
        if (auto s = dorn::stringAt(request->arguments, i))
            if (s->find('\0') != std::string::npos)
                std::abort();
        (void)dorn::stringListAt(request->arguments, i);
        if (auto p = dorn::pathAt(request->arguments, i))
            if (p->find('\0') != std::string::npos)
                std::abort(); // a path never holds a NUL byte, text or data
        if (auto list = dorn::pathListAt(request->arguments, i))
            for (const auto& p : *list)
                if (p.find('\0') != std::string::npos)
                    std::abort();
    }
    // Replies built from whatever arrived stay readable.
    std::vector<std::uint8_t> reply = dorn::encodeReply(dorn::PlistValue(request->arguments));
    auto decodedReply = dorn::decodeMessage(reply.data(), reply.size());
    if (!decodedReply || !decodedReply->find(dorn::protocol::kReplyKey))
        std::abort();
    return 0;
}

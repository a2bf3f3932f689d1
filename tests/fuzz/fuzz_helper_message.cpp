// Arbitrary bytes into the privileged service's message reader: every request
// body it receives comes from another process. Whatever it accepts must be a
// request of the documented shape, and its property list must survive being
// written by libplist and read again.
#include "daemon/BinaryPlistDecoder.h"
#include "daemon/HelperProtocol.h"
#include "daemon/PlistNode.h"
#include "daemon/WireFormat.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dorn::PlistNode any(dorn::decodeBinaryPlist(data, size));
    if (any) {
        std::vector<std::uint8_t> again = dorn::toBinary(any.get());
        dorn::PlistNode reread(dorn::decodeBinaryPlist(again.data(), again.size()));
        if (again.empty() || !reread)
            std::abort(); // what we accept, written by libplist, must read again
    }

    std::string error;
    auto request = dorn::decodeRequest(data, size, &error);
    if (!request) {
        if (error.empty())
            std::abort(); // a refusal always says why
        return 0;
    }
    if (!any || request->command.empty() || !request->arguments ||
        plist_get_node_type(request->arguments.get()) != PLIST_ARRAY)
        std::abort();
    // Replies built from whatever arrived stay readable.
    std::vector<std::uint8_t> reply = dorn::encodeReply(plist_copy(request->arguments.get()));
    dorn::PlistNode decodedReply(dorn::decodeBinaryPlist(reply.data(), reply.size()));
    if (!decodedReply || !plist_dict_get_item(decodedReply.get(), dorn::protocol::kReplyKey))
        std::abort();
    return 0;
}

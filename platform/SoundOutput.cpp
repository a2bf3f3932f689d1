#include "platform/SoundOutput.h"

#include <canberra.h>

#include <mutex>

namespace tessaly {

struct SoundOutput::Context {
    std::mutex mutex;
    ca_context* ca = nullptr;
    bool tried = false;
    unsigned next = 1;
};

SoundOutput::SoundOutput() : context_(new Context) {}

SoundOutput::~SoundOutput() {
    if (context_->ca)
        ca_context_destroy(context_->ca);
    delete context_;
}

bool SoundOutput::play(const std::string& path) {
    if (path.empty())
        return false;
    std::lock_guard<std::mutex> guard(context_->mutex);
    // The connection to the sound service is made on first use, once: a machine
    // without one stays silent from then on.
    if (!context_->tried) {
        context_->tried = true;
        ca_context* ca = nullptr;
        if (ca_context_create(&ca) != CA_SUCCESS)
            return false;
        ca_context_change_props(ca, CA_PROP_APPLICATION_NAME, "Tessaly", CA_PROP_APPLICATION_ID,
                                "com.zqk.tessaly", nullptr);
        if (ca_context_open(ca) != CA_SUCCESS) {
            ca_context_destroy(ca);
            return false;
        }
        context_->ca = ca;
    }
    if (!context_->ca)
        return false;
    // Each sound gets its own id so that a new one never cancels the last.
    const unsigned id = context_->next++;
    return ca_context_play(context_->ca, id, CA_PROP_MEDIA_FILENAME, path.c_str(),
                           CA_PROP_EVENT_DESCRIPTION, "Tessaly interface sound",
                           CA_PROP_CANBERRA_CACHE_CONTROL, "volatile", nullptr) == CA_SUCCESS;
}

} // namespace tessaly

#include "ScanCode/ToolEngine.h"

namespace tessaly {

const char* actionName(PlanAction action) {
    switch (action) {
    case PlanAction::Remove:
        return "remove";
    case PlanAction::Replace:
        return "replace";
    case PlanAction::Thin:
        return "thin";
    case PlanAction::RewriteList:
        return "rewrite-list";
    case PlanAction::Erase:
        return "erase";
    case PlanAction::Unload:
        return "unload";
    case PlanAction::Uninstall:
        return "uninstall";
    }
    return "remove";
}

std::int64_t Plan::bytes() const {
    std::int64_t total = 0;
    for (const PlanItem& item : items)
        if (item.size > 0)
            total += item.size;
    return total;
}

void RunStop::prepare() {
    std::lock_guard<std::mutex> guard(mutex_);
    link_.reset();
    source_ = std::stop_source();
    prepared_ = true;
}

std::stop_token RunStop::begin(std::stop_token caller) {
    std::lock_guard<std::mutex> guard(mutex_);
    link_.reset();
    if (!prepared_)
        source_ = std::stop_source();
    prepared_ = false;
    if (caller.stop_possible())
        link_ = std::make_unique<Link>(std::move(caller),
                                       [source = source_]() mutable { source.request_stop(); });
    return source_.get_token();
}

void RunStop::request() {
    std::stop_source source;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        source = source_;
    }
    source.request_stop(); // runs the run's stop callbacks, outside the lock
}

bool RunStop::requested() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return source_.stop_requested();
}

} // namespace tessaly

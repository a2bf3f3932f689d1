#include "model/ScanInputObject.h"

#include "platform/DisposableNames.h"

namespace tessaly {

bool entryMatches(const ScanInputObject& place, const std::string& name,
                  const SiblingNames& siblings) {
    switch (place.match) {
    case EntryMatch::Contains:
        return place.key.empty() || name.find(place.key) != std::string::npos;
    case EntryMatch::Suffix:
        return name.size() > place.key.size() &&
               name.compare(name.size() - place.key.size(), place.key.size(), place.key) == 0;
    case EntryMatch::Exact:
        return name == place.key;
    case EntryMatch::RotatedLog:
        if (!disposable::needsSiblings(name))
            return disposable::isRotatedLogName(name);
        return siblings && disposable::isRotatedLogAmong(name, siblings());
    }
    return false;
}

} // namespace tessaly

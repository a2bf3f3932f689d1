#pragma once

#include "ScanCode/ToolEngine.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace tessaly {

// A clean plans every path once: a path inside a folder that another step removes
// goes with that folder, and is counted in the folder's size only.

// Whether removing `outer` takes `inner` with it: inner lies below outer, outer is
// a real folder and no link stands on the way down (a path reached through a link
// lies elsewhere on the disk, and stays when the link goes).
bool removedWith(const std::string& inner, const std::string& outer);

// Takes out every step that removes what another step removes already: the same
// path (the first step keeps it), or a path inside a folder another step removes
// (the outer step carries it). Only steps that remove (Remove, Erase) carry or
// are carried.
void foldNestedSteps(std::vector<PlanItem>& steps);

// The paths a plan removes, to tell what went with them.
class PlannedRemovals {
public:
    explicit PlannedRemovals(const Plan& plan);
    // Whether a path whose own step was folded into another went with it: it is
    // gone from the disk, and the plan removes it or a folder it lay in.
    bool carriedAway(const std::string& path) const;

private:
    std::unordered_set<std::string> paths_;
};

} // namespace tessaly

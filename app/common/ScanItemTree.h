#pragma once

#include "model/ScaneOuputObject.h"

namespace tessaly {

// What the detail sources of two-level result lists do with an item tree.

// Ticks or unticks an item's leaves: its children when it has any, else itself.
void setLeavesCheck(ScaneOuputObject& item, bool check);

// Orders a two-level list, and each item's children, by the shared sort choice.
void sortBySortChoice(ScanItemList& items);

} // namespace tessaly

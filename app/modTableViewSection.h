#pragma once

#include <memory>
#include <vector>

#include "platform/ui/TableViewCell.h"
#include "platform/ui/View.h"

// One section of the system settings table: its header and its prebuilt
// cells (the footer is kept for sections that want one).
class modTableViewSection {
  public:
    platform::ui::UIViewPtr headView;
    platform::ui::UIViewPtr footView;
    std::vector<platform::ui::UITableViewCellPtr> cells;
};

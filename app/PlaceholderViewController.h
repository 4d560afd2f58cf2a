#pragma once

#include <string>

#include "ui/toolkit/BaseViewController.h"

// Stands in the drawer for a screen that this build does not have yet: its
// title, the drawer buttons and a line saying so, so that the menu row
// leads somewhere and the drawers stay reachable.
class PlaceholderViewController : public BaseViewController {
  public:
    static constexpr const char* kNotice = "此功能尚未开放";
    static constexpr long kTagNotice = 1000;

    explicit PlaceholderViewController(std::string title) : title_(std::move(title)) {}

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

  private:
    std::string title_;
};

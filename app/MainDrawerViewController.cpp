#include "app/MainDrawerViewController.h"

#include <array>

#include "ui/toolkit/KAVTheme.h"

void MainDrawerViewController::viewDidLoad() {
    view()->setBackgroundColor(kavtheme::screenBackground());
}

void MainDrawerViewController::pushViewWith(long value) {
    // Screen types of the menu rows, top to bottom.
    static constexpr std::array<long, 7> kRowTypes = {0, 5, 1, 3, 2, 4, 6};
    const long row = value == 1 ? 0 : value == 2 ? 1 : value == 3 ? 4 : value;
    if (row < 0 || row >= static_cast<long>(kRowTypes.size())) return;
    currentNavigationControllerType = kRowTypes[static_cast<size_t>(row)];
}

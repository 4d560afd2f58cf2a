#pragma once

#include <any>
#include <cstdint>
#include <optional>

// The screens the drawer can show in its centre, by the type number the menu
// sends: 0 quotation board, 1 open tickets, 2 pending orders, 3 net
// positions, 4 closed tickets, 5 account information, 6 bulletins.
enum class CenterScreenType : int32_t {
    Quotation = 0,
    HoldDetail = 1,
    LimitOpen = 2,
    HoldPosition = 3,
    CloseOut = 4,
    AccountInfo = 5,
    Bulletin = 6,
};
inline constexpr int32_t kCenterScreenTypes = 7;

constexpr int32_t centerScreenNumber(CenterScreenType type) {
    return static_cast<int32_t>(type);
}

// The screen type a number names; none for any other number.
constexpr std::optional<CenterScreenType> centerScreenTypeFromNumber(int32_t number) {
    if (number < 0 || number >= kCenterScreenTypes) return std::nullopt;
    return static_cast<CenterScreenType>(number);
}

// What a screen asks of the screen that holds it in the drawer: show the
// screen of a menu type, or toggle a side drawer. Senders call both methods
// whenever a delegate is set, so an adopter implements both.
class BaseViewControllerDelegate {
  public:
    virtual ~BaseViewControllerDelegate() = default;
    // Shows the screen of the menu type, the number of a CenterScreenType
    // (the side menu sends an empty userInfo).
    virtual void onCallNavigationControllerWithType(int32_t type, const std::any& userInfo) = 0;
    // Toggles a side drawer: 1 left, 2 right.
    virtual void onCallToggleDrawerSide(int32_t side) = 0;
};

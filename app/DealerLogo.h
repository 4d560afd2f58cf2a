#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/EtyDealer.h"
#include "platform/ui/Image.h"

// A dealer's logo: cached under the Documents folder in
// "Res/Images/Dealer/<dealerKey>_<dealerLogo>", downloaded from the
// dealer-definition service when not cached yet. The names come from the
// network: the path is made only of names that cannot leave the folder.
namespace dealerlogo {

inline constexpr const char* kFolder = "Res/Images/Dealer/";

// The cache file; nothing when the key or the logo name is not a plain file
// name (no "/", no "..", nothing but [A-Za-z0-9._-]).
std::optional<std::string> localPath(const EtyDealer& dealer);
// "<service>/<dealerKey>/<dealerLogo>".
std::string downloadURL(const EtyDealer& dealer);
// Hands the logo to the block once an image is there (at once when cached,
// later on the main run loop when downloaded); the block is not called when
// no image could be had.
void load(const EtyDealer& dealer, std::function<void(const platform::ui::UIImagePtr&)> done);

}  // namespace dealerlogo

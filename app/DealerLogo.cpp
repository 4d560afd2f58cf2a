#include "app/DealerLogo.h"

#include "app/AppConfig.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "ui/toolkit/ImageUtils.h"

namespace dealerlogo {

std::optional<std::string> localPath(const EtyDealer& dealer) {
    namespace files = platform::files;
    if (!files::isSafeName(dealer.dealerKey) || !files::isSafeName(dealer.dealerLogo))
        return std::nullopt;
    const std::string name = dealer.dealerKey + "_" + dealer.dealerLogo;
    if (!files::isSafeName(name)) return std::nullopt;
    auto path = files::documentsPath(std::string(kFolder) + name);
    if (!path) return std::nullopt;
    return path->string();
}

std::string downloadURL(const EtyDealer& dealer) {
    return appconfig::dealerServiceBaseURL() + "/" + dealer.dealerKey + "/" + dealer.dealerLogo;
}

void load(const EtyDealer& dealer, std::function<void(const platform::ui::UIImagePtr&)> done) {
    auto path = localPath(dealer);
    if (!path) {
        platform::log("交易商图标名称无效：" + dealer.dealerKey + "_" + dealer.dealerLogo);
        return;
    }
    ImageUtils::loadImage(*path, downloadURL(dealer),
                          [done = std::move(done)](const platform::ui::UIImagePtr& image) {
                              if (image && done) done(image);
                          });
}

}  // namespace dealerlogo

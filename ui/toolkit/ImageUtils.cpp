#include "ui/toolkit/ImageUtils.h"

#include <filesystem>

#include "Core/httpQuery.h"
#include "platform/Dispatch.h"
#include "platform/Files.h"
#include "platform/Log.h"

using namespace platform::ui;
namespace files = platform::files;

namespace {

// The path may hold only a file name that would be accepted from the
// network, and may not climb out of the folders it names.
bool isAcceptablePath(const std::filesystem::path& path) {
    if (!files::isSafeName(path.filename().string())) return false;
    for (const auto& part : path)
        if (part == "..") return false;
    return true;
}

void deliverLater(ImageUtils::ImageBlock callBack, UIImagePtr image) {
    platform::dispatch::async_main(
        [callBack = std::move(callBack), image = std::move(image)] { callBack(image); });
}

}  // namespace

void ImageUtils::loadImage(const std::string& filePath, const std::string& url,
                           ImageBlock callBack) {
    const std::filesystem::path path(filePath);
    if (!isAcceptablePath(path)) {
        platform::log("refused image file name: " + filePath);
        if (callBack) deliverLater(std::move(callBack), nullptr);
        return;
    }
    // The folder is everything up to the last "/".
    const auto slash = filePath.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        const std::filesystem::path folder(filePath.substr(0, slash + 1));
        if (!files::fileExists(folder)) files::makeDirectories(folder);
    }
    if (files::fileExists(path)) {
        if (UIImagePtr image = UIImage::imageWithContentsOfFile(path)) {
            if (callBack) callBack(image);
            return;
        }
        // Kept only once decoded, a file that is no picture now was cut or
        // written over from outside: fetched again (and replaced), or the
        // logo would stay blank for good.
        platform::log("cached image unreadable, fetched again: " + filePath);
    }
    platform::dispatch::async_global([path, url, callBack = std::move(callBack)] {
        UIImagePtr image;
        httpQuery::synGetWithUrl(
            url,
            [&](const std::string& bytes) {
                // A page served with 200 that is no picture must not become
                // the cached logo.
                image = UIImage::imageWithData(bytes);
                if (image && !files::writeFileAtomic(path, bytes))
                    platform::log("image not cached: " + path.string());
            },
            nullptr);
        if (callBack) deliverLater(callBack, image);
    });
}

UIImagePtr ImageUtils::tradeBackgroundImageByIsRed(bool isRed) {
    UIImagePtr image = UIImage::imageNamed(isRed ? "but_001" : "but_01");
    return image ? image->resizableImageWithCapInsets(UIEdgeInsetsMake(9, 10, 9, 10),
                                                      UIImageResizingMode::Stretch)
                 : nullptr;
}

UIImagePtr ImageUtils::numberInputBackgroundImage() {
    UIImagePtr image = UIImage::imageNamed("numberinput_bg_long");
    return image ? image->resizableImageWithCapInsets(UIEdgeInsetsMake(5, 5, 5, 5),
                                                      UIImageResizingMode::Stretch)
                 : nullptr;
}

UIImagePtr ImageUtils::rescaleImageToSize(CGSize size, const UIImagePtr& image) {
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
    if (image) image->drawInRect({{0, 0}, size});
    UIImagePtr scaled = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return scaled;
}

#pragma once

#include <functional>
#include <string>

#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"

// Images of the screens: dealer logos cached on disk, the stretchable
// backgrounds of the trade buttons and the number input, and rescaling.
class ImageUtils {
  public:
    using ImageBlock = std::function<void(const platform::ui::UIImagePtr& image)>;

    // The image cached at `filePath`, else downloaded from `url` into that
    // file. A cached file is read and handed to the block at once, before the
    // call returns; one that is no picture is downloaded again. Otherwise the
    // download runs in the background and the block gets the image later on
    // the main run loop; only an answer of 200 that decodes as an image is
    // kept (written in one step, so a failed write leaves no partial file),
    // anything else gives the block null and writes nothing. A file name
    // that is not a safe name (as names from the network must be), or a path
    // that climbs with "..", downloads nothing and gives null. The folder is
    // made when missing. An empty block is never called.
    static void loadImage(const std::string& filePath, const std::string& url, ImageBlock callBack);
    // "but_001" (red) or "but_01" (green), stretchable with cap insets 9, 10,
    // 9, 10.
    static platform::ui::UIImagePtr tradeBackgroundImageByIsRed(bool isRed);
    // "numberinput_bg_long", stretchable with cap insets of 5.
    static platform::ui::UIImagePtr numberInputBackgroundImage();
    // The image drawn to fill a new image of `size` points at scale 1.
    static platform::ui::UIImagePtr rescaleImageToSize(platform::ui::CGSize size,
                                                       const platform::ui::UIImagePtr& image);
};

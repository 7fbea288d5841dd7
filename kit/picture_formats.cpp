#include "kit/picture_formats.h"

#include "kit/gif/gif_image.h"
#include "kit/gif/jpeg_image.h"
#include "kit/icon_graphic.h"

namespace kit {

void RegisterPictureFormats() {
    RegisterGifImage();
    RegisterJpegImage();
    RegisterIconClipboardFormat();
}

void UnregisterPictureFormats() {
    UnregisterJpegImage();
    UnregisterGifImage();
}

}  // namespace kit

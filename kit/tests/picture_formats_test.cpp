// The program's start-up of the picture formats: afterwards picture holders
// load GIF files and GIF and icon clipboard data; shut-down takes GIF back.

#include "kit/picture_formats.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>

#include "kit/gif/gif_image.h"
#include "kit/gif/testing/gif_samples.h"
#include "kit/icon_graphic.h"
#include "kit/tests/anim_test_support.h"

namespace kit {
namespace {

TEST(PictureFormats, AfterStartUpPicturesLoadGifFilesAndGifAndIconClipboardData) {
    RegisterPictureFormats();
    const std::vector<uint8_t> sample = testing::BuildSampleGif(testing::BusyStripSample());
    const QByteArray gif(reinterpret_cast<const char*>(sample.data()), static_cast<qsizetype>(sample.size()));
    QTemporaryDir folder;
    QFile file(folder.filePath("strip.gif"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(gif);
    file.close();
    TPicture fromFile;
    fromFile.LoadFromFile(file.fileName());
    const auto* image = dynamic_cast<TGIFImage*>(fromFile.Graphic());
    ASSERT_NE(image, nullptr);
    EXPECT_GT(image->FrameCount(), 1);

    QMimeData clipboard;
    QByteArray block;
    QBuffer blockStream(&block);
    blockStream.open(QIODevice::WriteOnly);
    WriteLengthPrefixed(blockStream, gif);
    clipboard.setData(GifClipboardFormat, block);
    TPicture pasted;
    pasted.LoadFromClipboard(clipboard);
    const auto* pastedImage = dynamic_cast<TGIFImage*>(pasted.Graphic());
    ASSERT_NE(pastedImage, nullptr);
    EXPECT_EQ(pastedImage->FrameCount(), image->FrameCount());

    QMimeData iconData;
    iconData.setData(TIcon::ClipboardFormat, testing::IconFileBytes(Qt::green));
    TPicture pastedIcon;
    pastedIcon.LoadFromClipboard(iconData);
    ASSERT_NE(dynamic_cast<TIconGraphic*>(pastedIcon.Graphic()), nullptr);
    EXPECT_EQ(pastedIcon.Graphic()->Width(), 16);

    UnregisterPictureFormats();
    EXPECT_THROW(fromFile.LoadFromFile(file.fileName()), EInvalidGraphicOperation);
}

}  // namespace
}  // namespace kit

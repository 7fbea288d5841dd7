// The GIF picture: frames, sharing, reading and writing through streams, form
// data and the clipboard, and the picture registry.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>

#include "kit/gif/gif_image.h"
#include "kit/gif/jpeg_image.h"
#include "kit/gif/testing/gif_samples.h"

namespace kit {
namespace {

QByteArray ToBytes(const std::vector<uint8_t>& data) {
    return {reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size())};
}

void Load(TGIFImage& image, const QByteArray& data) {
    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    image.ReadFromStream(buffer);
}

QByteArray Save(TGIFImage& image) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.WriteToStream(buffer);
    return data;
}

template <typename Action>
QString ErrorOf(Action action) {
    try {
        action();
    } catch (const Exception& error) {
        return error.Message();
    }
    return {};
}

QImage Indexed(int width, int height, const QList<QRgb>& colors, int seed) {
    QImage image(width, height, QImage::Format_Indexed8);
    image.setColorTable(colors);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, static_cast<uint>((x + y * 3 + seed) % colors.size()));
        }
    }
    return image;
}

QImage DrawnOnWhite(TGraphic& picture, QSize size) {
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    picture.Draw(painter, canvas.rect());
    painter.end();
    return canvas;
}

// The decoded frame as colours, for comparing pictures whatever their format.
QImage Colors(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

// A picture that cannot become a bitmap: it only draws itself.
class TDrawnPicture : public TGraphic {
public:
    QString ClassName() const override { return QStringLiteral("TDrawnPicture"); }
    void Draw(QPainter& canvas, const QRect& rect) override { canvas.fillRect(rect.adjusted(1, 1, 0, 0), Qt::blue); }
    bool Empty() const override { return false; }
    int Height() override { return 4; }
    int Width() override { return 5; }
    void SetHeight(int) override {}
    void SetWidth(int) override {}
    void ReadFromStream(QIODevice&) override {}
    void WriteToStream(QIODevice&) override {}
};

// A picture that can neither become a bitmap nor draw itself.
class TFailingPicture : public TDrawnPicture {
public:
    void Draw(QPainter&, const QRect&) override { throw EInvalidGraphicOperation("cannot draw"); }
};

TEST(GifImage, NewImageIsEmpty) {
    TGIFImage image;
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(DrawnOnWhite(image, QSize(4, 4)).pixel(1, 1), qRgb(255, 255, 255));
    EXPECT_EQ(ErrorOf([&] { image.SetWidth(3); }), "Cannot change the Size of a GIF image");
    EXPECT_EQ(ErrorOf([&] { image.SetHeight(3); }), "Cannot change the Size of a GIF image");
    EXPECT_EQ(ErrorOf([&] { image.FrameAt(0); }), "List index out of bounds (0)");
    EXPECT_EQ(ErrorOf([&] { Save(image); }), "No GIF Data to write");

    image.ActiveBitmap();
    EXPECT_EQ(image.FrameCount(), 1);
    EXPECT_EQ(image.ActiveFrameIndex(), 0);
    EXPECT_EQ(image.FormatVersion(), 1);
}

TEST(GifImage, AppendsAndAssignsFrames) {
    TGIFImage image;
    TBitmap first(Indexed(6, 4, {qRgb(0, 0, 0), qRgb(255, 0, 0)}, 0));
    TBitmap second(Indexed(3, 7, {qRgb(0, 0, 255), qRgb(0, 255, 0)}, 1));
    EXPECT_EQ(image.AppendFrame(&first), 0);
    EXPECT_EQ(image.FormatVersion(), 1);
    EXPECT_EQ(image.AppendFrame(&second), 1);
    EXPECT_EQ(image.FormatVersion(), 2);
    EXPECT_EQ(image.LogicalWidth(), 6);
    EXPECT_EQ(image.LogicalHeight(), 7);

    TGIFImage other;
    other.AssignFrame(image.FrameAt(1));
    EXPECT_TRUE(other.FrameAt(0)->OwnColorTable());  // a frame moved into another image carries its table
    TGIFFrame inside(&image);
    inside.Assign(image.FrameAt(0));
    EXPECT_EQ(inside.OwnColorTable(), image.FrameAt(0)->OwnColorTable());

    // A failed append leaves the image as it was.
    TFailingPicture failing;
    EXPECT_EQ(ErrorOf([&] { image.AppendFrame(&failing); }), "cannot draw");
    EXPECT_EQ(image.FrameCount(), 2);
    EXPECT_EQ(image.ActiveFrameIndex(), 1);
}

TEST(GifImage, DrawsPicturesThatAreNotBitmapsOnFuchsia) {
    TGIFImage image;
    TDrawnPicture picture;
    picture.SetTransparent(true);
    image.AppendFrame(&picture);
    TGIFFrame* frame = image.FrameAt(0);
    const QImage& bitmap = frame->EnsureBitmap();
    EXPECT_EQ(bitmap.size(), QSize(5, 4));
    EXPECT_EQ(bitmap.pixel(0, 0), qRgb(255, 0, 255));
    EXPECT_EQ(bitmap.pixel(2, 2), qRgb(0, 0, 255));
    EXPECT_EQ(frame->TransparentKey(), 0xFF00FFu);
    EXPECT_TRUE(image.Transparent());

    // Drawn transparent, the fuchsia stays see-through.
    const QImage canvas = DrawnOnWhite(image, QSize(5, 4));
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(2, 2), qRgb(0, 0, 255));
}

TEST(GifImage, SharesDataUntilOneSideWrites) {
    TGIFImage a;
    Load(a, ToBytes(testing::BuildSampleGif(testing::SampleCorpus(4).at(6))));
    a.MutableGlobalData().CommentLines = {"first"};
    TGIFImage b;
    b.Assign(&a);
    EXPECT_TRUE(a.Equals(&b));
    EXPECT_TRUE(b.FrameAt(0)->SharesItemWith(*a.FrameAt(0)));

    b.MutableGlobalData().CommentLines = {"second"};
    EXPECT_EQ(a.GlobalData().CommentLines, std::vector<std::string>{"first"});
    EXPECT_FALSE(a.Equals(&b));

    // Re-encoding a frame of b leaves a's frame and its bytes alone.
    const QByteArray before = Save(a);
    b.FrameAt(0)->SetTransparentKey(clNone);
    TBitmap replacement(Indexed(4, 4, {qRgb(1, 2, 3), qRgb(4, 5, 6)}, 2));
    b.FrameAt(0)->Assign(&replacement);
    Save(b);
    EXPECT_EQ(Save(a), before);

    b.Assign(nullptr);
    EXPECT_FALSE(a.Equals(&b));
    EXPECT_EQ(b.FrameCount(), 0);
    b.Assign(&b);  // assigning to itself changes nothing
    a.Assign(&a);
    EXPECT_EQ(a.FrameCount(), 4);
}

TEST(GifImage, WritesBackWhatItRead) {
    for (const auto& sample : testing::SampleCorpus(21)) {
        const QByteArray gif = ToBytes(testing::BuildSampleGif(sample));
        TGIFImage image;
        Load(image, gif);
        for (int i = 0; i < image.FrameCount(); ++i) {
            image.FrameAt(i)->EnsureBitmap();
        }
        EXPECT_EQ(Save(image), gif) << sample.Name;
    }
}

TEST(GifImage, DecodesFramesToTheirPixels) {
    for (const auto& sample : testing::SampleCorpus(22)) {
        TGIFImage image;
        Load(image, ToBytes(testing::BuildSampleGif(sample)));
        ASSERT_EQ(image.FrameCount(), static_cast<int>(sample.Frames.size()));
        for (int i = 0; i < image.FrameCount(); ++i) {
            const auto& expected = sample.Frames[i];
            const QImage& bitmap = image.FrameAt(i)->EnsureBitmap();
            ASSERT_EQ(bitmap.size(), QSize(expected.Width, expected.Height)) << sample.Name;
            const int tableBits = expected.LocalTableBits ? expected.LocalTableBits : sample.GlobalTableBits;
            EXPECT_EQ(bitmap.format(), tableBits == 1 ? QImage::Format_Mono : QImage::Format_Indexed8);
            for (int y = 0; y < expected.Height; ++y) {
                for (int x = 0; x < expected.Width; ++x) {
                    ASSERT_EQ(bitmap.pixelIndex(x, y), expected.Pixels[static_cast<size_t>(y) * expected.Width + x])
                        << sample.Name << " frame " << i << " at " << x << "," << y;
                }
            }
            EXPECT_EQ(image.FrameAt(i)->DelayMs(), expected.DelayCs > 0 ? expected.DelayCs * 10u : 0u);
        }
    }
}

TEST(GifImage, WritesFramesMadeFromBitmaps) {
    TGIFImage image;
    QImage trueColor(9, 5, QImage::Format_RGB32);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 9; ++x) {
            trueColor.setPixel(x, y, qRgb(x * 20, y * 40, 7));
        }
    }
    TBitmap colored(trueColor);
    TBitmap mono(QImage(10, 3, QImage::Format_Mono));
    mono.Image.fill(1);
    mono.Image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    image.AppendFrame(&colored);
    image.AppendFrame(&mono);
    image.FrameAt(1)->SetOrigin({2, 6});
    image.FrameAt(1)->SetDelayMs(70);
    image.FrameAt(1)->SetTransparentKey(0xFFFFFF);
    image.FrameAt(0)->SetFrameComment({"frame comment"});
    image.FrameAt(1)->SetFrameComment({});  // no lines: dropped on saving
    image.SetLoopEnabled(true);
    image.SetLoopCount(7);

    TGIFImage reread;
    Load(reread, Save(image));
    ASSERT_EQ(reread.FrameCount(), 2);
    EXPECT_EQ(reread.FormatVersion(), 2);
    EXPECT_EQ(Colors(reread.FrameAt(0)->EnsureBitmap()), Colors(trueColor));  // 45 colours survive exactly
    EXPECT_EQ(Colors(reread.FrameAt(1)->EnsureBitmap()), Colors(mono.Image));
    EXPECT_EQ(reread.FrameAt(1)->Origin(), QPoint(2, 6));
    EXPECT_EQ(reread.FrameAt(1)->DelayMs(), 70u);
    EXPECT_EQ(reread.FrameAt(1)->TransparentKey(), 0xFFFFFFu);
    EXPECT_EQ(reread.FrameAt(0)->FrameComment(), std::vector<std::string>{"frame comment"});
    EXPECT_TRUE(reread.FrameAt(1)->Data().Extensions.size() == 1);  // only the control extension
    EXPECT_EQ(reread.LogicalWidth(), 12);
    EXPECT_EQ(reread.LogicalHeight(), 9);
    EXPECT_TRUE(reread.LoopEnabled());
    EXPECT_EQ(reread.LoopCount(), 7);

    // A plain frame gets no control extension.
    TGIFImage plain;
    plain.AppendFrame(&mono);
    TGIFImage plainReread;
    Load(plainReread, Save(plain));
    EXPECT_TRUE(plainReread.FrameAt(0)->Data().Extensions.empty());
    EXPECT_EQ(plainReread.FormatVersion(), 1);

    // The grey-scale method sticks to a frame once used.
    TGIFImage gray;
    gray.AppendFrame(&colored);
    gray.FrameAt(0)->SetGrayReduced(true);
    Save(gray);
    EXPECT_TRUE(gray.FrameAt(0)->GrayReduced());
    EXPECT_EQ(gray.FrameAt(0)->Item().Data.ColorTable.ColorAt(200), 0xC8C8C8u);
}

TEST(GifImage, ReportsProgressAndStopsOnASilentAbort) {
    TGIFImage image;
    std::vector<std::pair<TProgressStage, int>> stages;
    image.OnProgress = [&](TGraphic* sender, TProgressStage stage, int percent, bool, const QRect&, const QString&) {
        EXPECT_EQ(sender, &image);
        stages.emplace_back(stage, percent);
    };
    Load(image, ToBytes(testing::BuildSampleGif(testing::SampleCorpus(6).at(5))));
    ASSERT_GE(stages.size(), 3u);
    EXPECT_EQ(stages.front(), std::make_pair(TProgressStage::psStarting, 0));
    EXPECT_EQ(stages.back(), std::make_pair(TProgressStage::psEnding, 100));

    // A handler that aborts while a frame is encoded leaves that frame with a fresh item.
    TBitmap bitmap(Indexed(8, 8, {qRgb(0, 0, 0), qRgb(9, 9, 9)}, 0));
    TGIFImage fresh;
    fresh.AppendFrame(&bitmap);
    fresh.FrameAt(0)->SetDelayMs(40);
    QString ending;
    fresh.OnProgress = [&](TGraphic*, TProgressStage stage, int, bool, const QRect&, const QString& message) {
        if (stage == TProgressStage::psRunning) {
            throw EAbort();
        }
        if (stage == TProgressStage::psEnding) {
            ending = message;
        }
    };
    EXPECT_THROW(Save(fresh), EAbort);
    EXPECT_EQ(ending, "Operation aborted");
    EXPECT_TRUE(fresh.FrameAt(0)->Item().Data.EncodedData.empty());
    EXPECT_EQ(fresh.FrameAt(0)->DelayMs(), 0u);
}

TEST(GifImage, CopiesFramesIntoBitmaps) {
    TGIFImage image;
    testing::SampleGif sample = testing::SampleCorpus(5).at(6);
    Load(image, ToBytes(testing::BuildSampleGif(sample)));
    image.SetActiveFrameIndex(2);
    TBitmap bitmap;
    bitmap.Assign(&image);
    EXPECT_EQ(bitmap.Image.size(), QSize(sample.Frames[2].Width, sample.Frames[2].Height));
    EXPECT_TRUE(bitmap.Transparent());
    EXPECT_EQ(bitmap.TransparentColor, image.FrameAt(2)->TransparentKey());

    TGIFImage copy;
    image.CopyInto(&copy);
    EXPECT_TRUE(copy.Equals(&image));
    EXPECT_EQ(image.Width(), sample.Frames[2].Width);
}

TEST(GifImage, ReadsDamagedAndHostileFilesSafely) {
    testing::SampleGif sample = testing::SampleCorpus(24).at(0);
    std::vector<uint8_t> gif = testing::BuildSampleGif(sample);
    struct Case {
        const char* Name;
        std::vector<std::pair<size_t, uint8_t>> Patches;
        const char* Error;
        bool Damaged;
    };
    const size_t descriptor = 13 + 6 + 1;  // header, screen, 2-colour table, then ","
    const Case cases[] = {
        {"zero-size frame on a zero-size screen",
         {{6, 0},
          {7, 0},
          {8, 0},
          {9, 0},
          {descriptor + 4, 0},
          {descriptor + 5, 0},
          {descriptor + 6, 0},
          {descriptor + 7, 0}},
         "",
         true},
        {"65535 x 65535 frame",
         {{descriptor + 4, 0xFF}, {descriptor + 5, 0xFF}, {descriptor + 6, 0xFF}, {descriptor + 7, 0xFF}},
         "GIF image is too large",
         false},
        {"no colour table at all", {{10, 0}}, "Wrong number of colors; must be a power of 2", false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> patched = gif;
        for (auto [offset, value] : c.Patches) {
            patched[offset] = value;
        }
        if (std::string(c.Name) == "no colour table at all") {
            patched.erase(patched.begin() + 13, patched.begin() + 19);
        }
        TGIFImage image;
        EXPECT_EQ(ErrorOf([&] { Load(image, ToBytes(patched)); }), c.Error) << c.Name;
        if (image.FrameCount() > 0) {
            EXPECT_EQ(image.FrameAt(0)->IsDamaged(), c.Damaged) << c.Name;
            EXPECT_TRUE(image.FrameAt(0)->EnsureBitmap().isNull()) << c.Name;
        }
    }

    // With damage not tolerated a cut image fails to read.
    TolerateDamagedGif = false;
    TGIFImage strict;
    const QString error = ErrorOf([&] { Load(strict, ToBytes(gif).left(static_cast<qsizetype>(gif.size()) - 6)); });
    TolerateDamagedGif = true;
    EXPECT_EQ(error, "Stream read error");
}

TEST(GifImage, FormDataAndClipboardCarryTheLengthPrefixedGif) {
    TGIFImage image;
    const QByteArray gif = ToBytes(testing::BuildSampleGif(testing::BusyStripSample()));
    Load(image, gif);
    EXPECT_EQ(image.FrameCount(), 11);
    EXPECT_EQ(image.LogicalWidth(), 600);
    EXPECT_EQ(image.LoopCount(), 1000);
    EXPECT_EQ(image.FrameAt(3)->DelayMs(), 60u);

    QByteArray form;
    QBuffer out(&form);
    out.open(QIODevice::WriteOnly);
    image.WriteFormData(out);
    EXPECT_EQ(form.size(), gif.size() + 4);
    EXPECT_EQ(form.mid(4), gif);
    QBuffer in(&form);
    in.open(QIODevice::ReadOnly);
    TGIFImage fromForm;
    fromForm.ReadFormData(in);
    EXPECT_EQ(Save(fromForm), gif);

    // A count larger than the data is refused before anything is read.
    QByteArray lying = form;
    lying[3] = 0x7F;
    QBuffer lyingBuffer(&lying);
    lyingBuffer.open(QIODevice::ReadOnly);
    EXPECT_EQ(ErrorOf([&] { fromForm.ReadFormData(lyingBuffer); }), "Stream read error");

    QMimeData clipboard;
    image.WriteToClipboard(clipboard);
    EXPECT_TRUE(clipboard.hasImage());
    EXPECT_EQ(clipboard.data(GifClipboardFormat).mid(4), gif);
    TGIFImage pasted;
    pasted.ReadFromClipboard(clipboard);
    EXPECT_EQ(pasted.FrameCount(), 11);
    EXPECT_EQ(pasted.ActiveFrameIndex(), 0);
    EXPECT_EQ(Save(pasted), gif);

    QMimeData bitmapOnly;
    bitmapOnly.setImageData(Indexed(3, 3, {qRgb(9, 9, 9), qRgb(200, 1, 1)}, 0));
    pasted.ReadFromClipboard(bitmapOnly);
    EXPECT_EQ(pasted.FrameCount(), 1);
    EXPECT_EQ(pasted.Width(), 3);

    QMimeData shortBlock;
    shortBlock.setData(GifClipboardFormat, QByteArray("\x10\0\0\0GIF", 7));
    EXPECT_EQ(ErrorOf([&] { pasted.ReadFromClipboard(shortBlock); }), "Stream read error");
}

TEST(PictureRegistry, FindsPicturesByExtensionClipboardAndName) {
    RegisterGifImage();
    RegisterJpegImage();
    EXPECT_EQ(TPictureRegistry::DescriptionOf("GIF"), "CompuServe GIF Image");
    ASSERT_NE(TPictureRegistry::CreateByClassName("TGIFImage"), nullptr);
    EXPECT_NE(dynamic_cast<TGIFFrame*>(TPictureRegistry::CreateByClassName("TGIFFrame").get()), nullptr);
    EXPECT_EQ(TPictureRegistry::CreateForExtension(".jpg")->ClassName(), "TJPEGImage");
    EXPECT_EQ(TPictureRegistry::CreateForExtension("jpeg")->ClassName(), "TJPEGImage");
    QMimeData gifData;
    gifData.setData(GifClipboardFormat, "x");
    EXPECT_EQ(TPictureRegistry::CreateForClipboard(gifData)->ClassName(), "TGIFImage");

    QTemporaryDir folder;
    TGIFImage source;
    Load(source, ToBytes(testing::BuildSampleGif(testing::SampleCorpus(2).at(3))));
    TPicture picture;
    picture.Assign(std::make_unique<TGIFImage>());
    picture.Graphic()->Assign(&source);
    picture.SaveToFile(folder.filePath("a.gif"));
    TPicture loaded;
    loaded.LoadFromFile(folder.filePath("a.gif"));
    EXPECT_TRUE(dynamic_cast<TGIFImage*>(loaded.Graphic()));
    EXPECT_EQ(loaded.Graphic()->Width(), source.Width());

    // JPEG through the registry: a small gradient survives within JPEG's losses.
    QImage gradient(16, 8, QImage::Format_RGB888);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            gradient.setPixel(x, y, qRgb(x * 16, y * 32, 128));
        }
    }
    TBitmap bitmap(gradient);
    TPicture jpeg;
    jpeg.Assign(std::make_unique<TJPEGImage>());
    jpeg.Graphic()->Assign(&bitmap);
    jpeg.SaveToFile(folder.filePath("b.jpg"));
    TPicture jpegLoaded;
    jpegLoaded.LoadFromFile(folder.filePath("b.jpg"));
    auto* decoded = dynamic_cast<TJPEGImage*>(jpegLoaded.Graphic());
    ASSERT_NE(decoded, nullptr);
    ASSERT_EQ(decoded->Image().size(), gradient.size());
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QRgb got = decoded->Image().pixel(x, y);
            const QRgb want = gradient.pixel(x, y);
            EXPECT_NEAR(qRed(got), qRed(want), 24);
            EXPECT_NEAR(qGreen(got), qGreen(want), 24);
            EXPECT_NEAR(qBlue(got), qBlue(want), 24);
        }
    }
    TGIFImage fromJpeg;
    fromJpeg.AppendFrame(decoded);
    EXPECT_EQ(fromJpeg.Width(), 16);

    UnregisterGifImage();
    EXPECT_EQ(TPictureRegistry::CreateForExtension("gif"), nullptr);
    EXPECT_EQ(TPictureRegistry::CreateForClipboard(gifData), nullptr);
    EXPECT_EQ(ErrorOf([&] { loaded.LoadFromFile(folder.filePath("a.gif")); }), "Unknown picture file extension (.gif)");
    UnregisterJpegImage();
}

}  // namespace
}  // namespace kit

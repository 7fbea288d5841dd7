#include "kit/gif/jpeg_image.h"

#include <QIODevice>
#include <QPainter>
#include <csetjmp>
#include <cstdio>
#include <vector>

// libjpeg's header needs FILE and size_t declared first.
#include <jpeglib.h>

namespace kit {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// jump back to the call and raise there.
struct ErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->Message);
    std::longjmp(manager->Jump, 1);
}

void SilentOutput(j_common_ptr /*info*/) {}

void SetUpErrors(ErrorManager& manager) {
    jpeg_std_error(&manager.Base);
    manager.Base.error_exit = ErrorExit;
    manager.Base.output_message = SilentOutput;
    manager.Message[0] = '\0';
}

[[noreturn]] void RaiseJpegError(const char* message) {
    throw EInvalidGraphicOperation(QStringLiteral("JPEG error #%1").arg(QString::fromLatin1(message)));
}

// Decodes data into image; returns false (with the message in manager) when
// libjpeg gives up. No object with a destructor lives between setjmp and longjmp.
bool Decompress(const QByteArray& data, QImage& image, ErrorManager& manager) {
    jpeg_decompress_struct info{};
    info.err = &manager.Base;
    if (setjmp(manager.Jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = info.jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&info);
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                   info.output_components == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        std::snprintf(manager.Message, sizeof manager.Message, "image too large");
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool Compress(const QImage& image, int quality, unsigned char*& buffer, unsigned long& size, ErrorManager& manager) {
    jpeg_compress_struct info{};
    info.err = &manager.Base;
    if (setjmp(manager.Jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    const bool gray = image.format() == QImage::Format_Grayscale8;
    info.input_components = gray ? 1 : 3;
    info.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

void TJPEGImage::Assign(TGraphic* source) {
    if (!source) {
        FImage = QImage();
        Changed();
    } else if (auto* jpeg = dynamic_cast<TJPEGImage*>(source)) {
        FImage = jpeg->FImage;
        CompressionQuality = jpeg->CompressionQuality;
        Changed();
    } else if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
        FImage = bitmap->Image.isNull() ? QImage() : bitmap->Image.convertToFormat(QImage::Format_RGB888);
        Changed();
    } else {
        TGraphic::Assign(source);
    }
}

void TJPEGImage::CopyInto(TGraphic* dest) {
    if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
        bitmap->Image = FImage;
        bitmap->TransparentColor = clNone;
        return;
    }
    if (auto* jpeg = dynamic_cast<TJPEGImage*>(dest)) {
        jpeg->Assign(this);
        return;
    }
    TGraphic::CopyInto(dest);
}

void TJPEGImage::Draw(QPainter& canvas, const QRect& rect) {
    if (!FImage.isNull()) {
        canvas.drawImage(rect, FImage);
    }
}

void TJPEGImage::SetHeight(int /*value*/) { throw EInvalidGraphicOperation("Cannot change the size of a JPEG image"); }

void TJPEGImage::SetWidth(int /*value*/) { throw EInvalidGraphicOperation("Cannot change the size of a JPEG image"); }

void TJPEGImage::ReadFromStream(QIODevice& stream) {
    const QByteArray data =
        stream.isSequential() ? stream.readAll() : ReadExactly(stream, stream.size() - stream.pos());
    ErrorManager manager;
    SetUpErrors(manager);
    QImage image;
    if (!Decompress(data, image, manager)) {
        RaiseJpegError(manager.Message);
    }
    FImage = image;
    Changed();
}

void TJPEGImage::WriteToStream(QIODevice& stream) {
    if (FImage.isNull()) {
        throw EInvalidGraphicOperation("No JPEG data to write");
    }
    ErrorManager manager;
    SetUpErrors(manager);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool written = Compress(FImage, CompressionQuality, buffer, size, manager);
    const QByteArray data =
        written ? QByteArray(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size)) : QByteArray();
    std::free(buffer);
    if (!written) {
        RaiseJpegError(manager.Message);
    }
    stream.write(data);
}

void RegisterJpegImage() {
    const TGraphicFactory factory = [] { return std::make_unique<TJPEGImage>(); };
    TPictureRegistry::RegisterClass(QStringLiteral("TJPEGImage"), factory);
    for (const char* extension : {"jpeg", "jpg"}) {
        TPictureRegistry::RegisterFileFormat(QString::fromLatin1(extension), QStringLiteral("JPEG Image File"),
                                             QStringLiteral("TJPEGImage"), factory);
    }
}

void UnregisterJpegImage() { TPictureRegistry::UnregisterGraphicClass(QStringLiteral("TJPEGImage")); }

}  // namespace kit

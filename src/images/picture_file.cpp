#include "images/picture_file.h"

#include <algorithm>
#include <climits>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "images/error_box.h"
#include "images/picture_formats.h"
#include "images/picture_io.h"
#include "images/progress.h"
#include "images/safe_file.h"

PictureType PictureTypeOf(const std::string& fileName)
{
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos)
        return PictureType::None;
    std::string ext = fileName.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".bmp" || ext == ".dib" || ext == ".rle")
        return PictureType::Bmp;
    if (ext == ".tga")
        return PictureType::Tga;
    if (ext == ".pcx")
        return PictureType::Pcx;
    if (ext == ".png")
        return PictureType::Png;
    if (ext == ".jpg" || ext == ".jpeg")
        return PictureType::Jpeg;
    return PictureType::None;
}

bool IsPictureFileType(const std::string& extension)
{
    // Only an extension proper: "x.bmp" is a file name, not an extension.
    return !extension.empty() && extension[0] == '.' &&
           extension.find('.', 1) == std::string::npos &&
           PictureTypeOf(extension) != PictureType::None;
}

std::string UnreadablePictureMessage(const std::string& fileName)
{
    return "Pictures of this type cannot be read: " + fileName +
           "\nReadable types: BMP (.bmp, .dib, .rle), TGA (.tga), PCX (.pcx), PNG (.png), JPEG (.jpg, .jpeg)";
}

void SetDib24Layout(int64_t width, int64_t height)
{
    const int64_t imageBytes = DibImageBytes(width, height, 24);
    Pio.BitCount = 24;
    Pio.DibImageBytes = static_cast<int32_t>(imageBytes);
    Pio.DibRowBytes = static_cast<int32_t>(imageBytes / height);
    Pio.DibHeaderBytes = 40;
}

uint8_t* NewDib24(int64_t width, int64_t height)
{
    SetDib24Layout(width, height);
    Pio.Dib = CreatePackedDib(nullptr, static_cast<int32_t>(width), static_cast<int32_t>(height),
                              static_cast<uint32_t>(Pio.DibImageBytes), static_cast<uint32_t>(Pio.DibHeaderBytes),
                              24);
    return Pio.Dib;
}

bool RefusePictureSize(int64_t width, int64_t height, int64_t decodedBytes)
{
    if (width == 0 || height == 0) {
        ShowErrorBox(15, "Picture width or height is 0: " + Pio.FileName);
        return true;
    }
    if (width < 0 || height < 0) {
        ShowErrorBox(15, "Picture size is not valid: " + Pio.FileName);
        return true;
    }
    if (width > 65535 || height > 65535 || DibImageBytes(width, height, 24) > kMaxPictureBytes ||
        decodedBytes > kMaxPictureBytes) {
        ShowErrorBox(15, "Picture is too large: " + Pio.FileName);
        return true;
    }
    return false;
}

uint8_t* LoadPictureFile(const std::string& fileName)
{
    ResetPictureIo();
    Pio.FileName = fileName;
    if (!PathExists(fileName)) {
        ShowErrorBox(14, "File was not found: " + fileName);
        return nullptr;
    }
    // A folder, pipe or device is refused before anything waits on it.
    if (const std::string kind = NotAFileKind(fileName); !kind.empty()) {
        ShowErrorBox(11, NotAFileMessage(fileName, kind));
        return nullptr;
    }
    bool failed = true;
    switch (PictureTypeOf(fileName)) {
    case PictureType::Bmp: failed = ReadBmp(); break;
    case PictureType::Tga: failed = ReadTga(); break;
    case PictureType::Pcx: failed = ReadPcx(); break;
    case PictureType::Png: failed = ReadPng(); break;
    case PictureType::Jpeg: failed = ReadJpeg(); break;
    case PictureType::None:
        ShowErrorBox(17, "This image is unsupported: " + fileName);
        return nullptr;
    }
    if (failed) {
        FreeIoBuffers();
        return nullptr;
    }
    uint8_t* dib = Pio.Dib;
    Pio.Dib = nullptr;  // handed to the caller
    FreeIoBuffers();
    return dib;
}

namespace {
// Copies src onto dst, which is all zero, leaving out the blocks of src that
// are zero as well: the black rest of a picture cut short stays unmapped.
void CopyOntoCleared(uint8_t* dst, const uint8_t* src, size_t n)
{
    constexpr size_t kBlock = 4096;
    static const uint8_t kZero[kBlock] = {};
    for (size_t at = 0; at < n; at += kBlock) {
        const size_t k = std::min(kBlock, n - at);
        if (std::memcmp(src + at, kZero, k) != 0)
            std::memcpy(dst + at, src + at, k);
    }
}

struct ProgressScope {
    ProgressScope() { BeginProgress(); }
    ~ProgressScope() { EndProgress(); }
};
}  // namespace

void LoadPicture(const std::string& fileName, RasterImage& image)
{
    ProgressScope progress;
    image.Done();
    uint8_t* dib = LoadPictureFile(fileName);
    if (!dib)
        return;
    SetProgress(100);
    // The readers never build a picture outside 1..65535, so DibSize cannot
    // throw here.
    const DibDimensions size = DibSize(dib);
    image.InitCleared(size.Width, size.Height);
    if (!image.Allocated) {
        FreePackedDib(dib);
        ShowErrorBox(8, "Not Enought memory");
        return;
    }
    BitmapInfoHeader h;
    std::memcpy(&h, dib, sizeof h);
    uint8_t* pixels = image.Lock();
    CopyOntoCleared(pixels, dib + sizeof h + DibPaletteSize(h), static_cast<size_t>(image.ImageSize));
    image.Unlock();
    FreePackedDib(dib);
}

bool RefusePictureSaveSize(const std::string& fileName, int64_t width, int64_t height)
{
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    std::string why;
    if (PictureTypeOf(fileName) == PictureType::Tga && (width > 65535 || height > 65535))
        why = "TGA pictures are at most 65535 pixels on a side, not " + size;
    else if (width > 0 && height > 0 && RasterRowBytes(width) > INT32_MAX / height)
        why = "a picture of " + size + " pixels is larger than 2 GB";
    if (why.empty())
        return false;
    ShowErrorBox(13, "Error writing to file: " + fileName + ": " + why);
    return true;
}

bool SavePicture(const std::string& fileName, const RasterImage& image)
{
    switch (PictureTypeOf(fileName)) {
    case PictureType::Bmp: return WriteBmp(fileName, image);
    case PictureType::Tga: return WriteTga(fileName, image);
    case PictureType::Png: return WritePng(fileName, image);
    case PictureType::Pcx: return true;
    case PictureType::Jpeg:
    case PictureType::None: break;
    }
    ShowErrorBox(17, "Save to this file type in not supported.");
    return true;
}

bool WritePictureFile(const std::string& fileName, const RasterImage& image,
                      const std::function<bool(const uint8_t* pixels)>& writeBody)
{
    if (CreateOutputFile(fileName))
        return true;
    const uint8_t* pixels = image.Lock();
    bool ok = pixels != nullptr && writeBody(pixels);
    image.Unlock();
    // Only a complete file replaces the old one; buffered bytes may still
    // fail to reach the disk when it is closed.
    if (ok)
        ok = !CloseOutputFile();
    else
        CloseFile();
    if (!ok) {
        ShowErrorBox(13, "Error writing to file: " + fileName);
    }
    return !ok;
}

bool WritePictureRows(const std::string& fileName, const RasterImage& image,
                      const uint8_t* header, size_t headerBytes, size_t rowOut)
{
    return WritePictureFile(fileName, image, [&](const uint8_t* pixels) {
        const int32_t height = image.Height();
        bool ok = WriteOutput(header, headerBytes);
        if (!ok || height <= 0)
            return ok;
        if (rowOut == static_cast<size_t>(image.RowBytes))
            return WriteOutput(pixels, static_cast<size_t>(image.ImageSize));
        for (int32_t y = 0; y < height && ok; ++y)
            ok = WriteOutput(pixels + static_cast<size_t>(y) * image.RowBytes, rowOut);
        return ok;
    });
}

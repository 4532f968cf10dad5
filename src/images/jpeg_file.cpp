// JPEG pictures through libjpeg-turbo: baseline, progressive and
// arithmetic-coded, grey or colour, decoded by the library straight into
// blue-green-red rows. The EXIF orientation a camera records is applied, so
// that a portrait photo loads upright. CMYK pictures are refused, and so is
// a file whose data is damaged or cut short.
//
// libjpeg reports fatal errors by longjmp: the functions that call it with a
// jump armed hold no objects with destructors, and keep their state in a
// JpegDecoder owned by the caller.
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "images/error_box.h"
#include "images/picture_formats.h"
#include "images/picture_io.h"
#include "images/progress.h"

namespace {
// A real file has a dozen scans; thousands make a tiny file decode for minutes.
constexpr int kMaxScans = 500;
constexpr int kTooManyScans = -1;  // our own message code
constexpr uint16_t kOrientationTag = 0x0112;

struct JpegErrors {
    jpeg_error_mgr Manager;  // first: libjpeg hands its address back
    std::jmp_buf Jump;
    bool Damaged;            // a warning that the picture data is not whole
    int Code;                // message code of the error or first damage warning
    char Text[JMSG_LENGTH_MAX];
};

struct JpegDecoder {
    jpeg_decompress_struct Info{};
    JpegErrors Errors{};
    jpeg_progress_mgr Progress{};
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder() = default;
    // Harmless on a structure that was never created (no memory manager).
    ~JpegDecoder() { jpeg_destroy_decompress(&Info); }
};

JpegErrors& ErrorsOf(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrors*>(cinfo->err); }

void Remember(j_common_ptr cinfo, int code)
{
    JpegErrors& e = ErrorsOf(cinfo);
    e.Code = code;
    if (code == kTooManyScans)
        std::snprintf(e.Text, sizeof e.Text, "more than %d scans", kMaxScans);
    else
        (*cinfo->err->format_message)(cinfo, e.Text);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    Remember(cinfo, cinfo->err->msg_code);
    std::longjmp(ErrorsOf(cinfo).Jump, 1);
}

// Warnings that leave every pixel intact; any other one means damage.
bool Harmless(int code)
{
    return code == JWRN_EXTRANEOUS_DATA || code == JWRN_BOGUS_ICC || code == JWRN_ADOBE_XFORM ||
           code == JWRN_JFIF_MAJOR;
}

void EmitMessage(j_common_ptr cinfo, int level)
{
    JpegErrors& e = ErrorsOf(cinfo);
    if (level >= 0 || Harmless(cinfo->err->msg_code) || e.Damaged)
        return;  // trace messages, harmless warnings, damage already noted
    e.Damaged = true;
    Remember(cinfo, cinfo->err->msg_code);
}

void MonitorProgress(j_common_ptr cinfo)
{
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        Remember(cinfo, kTooManyScans);
        std::longjmp(ErrorsOf(cinfo).Jump, 1);
    }
    const jpeg_progress_mgr* p = cinfo->progress;
    if (ProgressActive() && p->pass_limit > 0 && p->total_passes > 0) {
        const double done = (p->completed_passes + static_cast<double>(p->pass_counter) / p->pass_limit) /
                            p->total_passes;
        SetProgress(static_cast<int>(std::nearbyint(done * 100.0)));
    }
}

// Reads the header. False when libjpeg failed (Errors tell why).
bool ReadHeader(JpegDecoder* d, const uint8_t* data, size_t size)
{
    d->Info.err = jpeg_std_error(&d->Errors.Manager);
    d->Errors.Manager.error_exit = ErrorExit;
    d->Errors.Manager.emit_message = EmitMessage;
    if (setjmp(d->Errors.Jump))
        return false;
    jpeg_create_decompress(&d->Info);
    d->Info.mem->max_memory_to_use = static_cast<long>(kMaxPictureBytes);
    d->Progress.progress_monitor = MonitorProgress;
    d->Info.progress = &d->Progress;
    jpeg_mem_src(&d->Info, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&d->Info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&d->Info, TRUE);
    return true;
}

// Decodes every row as blue, green, red: file row k goes to first + k * step.
// Stops at the first sign of damage. False when decoding failed.
bool DecodeRows(JpegDecoder* d, uint8_t* first, ptrdiff_t step)
{
    if (setjmp(d->Errors.Jump))
        return false;
    d->Info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&d->Info);
    while (!d->Errors.Damaged && d->Info.output_scanline < d->Info.output_height) {
        JSAMPROW rows[4];
        const JDIMENSION k = d->Info.output_scanline;
        const JDIMENSION n = d->Info.output_height - k < 4 ? d->Info.output_height - k : 4;
        for (JDIMENSION i = 0; i < n; ++i)
            rows[i] = first + static_cast<ptrdiff_t>(k + i) * step;
        jpeg_read_scanlines(&d->Info, rows, n);
    }
    // The end-of-image marker is not waited for: the picture is whole.
    return !d->Errors.Damaged;
}

bool Failed(const JpegErrors& e)
{
    const std::string& name = Pio.FileName;
    switch (e.Code) {
    case JERR_OUT_OF_MEMORY: ShowErrorBox(8, "Not Enought memory"); break;
    case JERR_NO_BACKING_STORE: ShowErrorBox(15, "Picture is too large: " + name); break;
    case JERR_NO_SOI: ShowErrorBox(15, "This is not a JPEG picture: " + name); break;
    case JERR_INPUT_EMPTY:
    case JERR_INPUT_EOF:
    case JWRN_JPEG_EOF: ShowErrorBox(12, "JPEG file ends too early: " + name); break;
    default: ShowErrorBox(12, "Damaged JPEG file: " + name + " (" + e.Text + ")"); break;
    }
    return true;
}

// The orientation (1..8) of the first EXIF block among the APP1 markers;
// 1 when there is none or it makes no sense.
int ExifOrientation(jpeg_saved_marker_ptr marker)
{
    for (; marker; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1 || marker->data_length < 6 ||
            std::memcmp(marker->data, "Exif\0\0", 6) != 0)
            continue;
        const uint8_t* tiff = marker->data + 6;
        const size_t n = marker->data_length - 6;
        if (n < 8 || (std::memcmp(tiff, "II", 2) != 0 && std::memcmp(tiff, "MM", 2) != 0))
            return 1;
        const bool big = tiff[0] == 'M';
        const auto u16 = [&](size_t at) {
            return static_cast<unsigned>(big ? (tiff[at] << 8) | tiff[at + 1] : tiff[at] | (tiff[at + 1] << 8));
        };
        const auto u32 = [&](size_t at) {
            return big ? (uint32_t{u16(at)} << 16) | u16(at + 2) : uint32_t{u16(at)} | (uint32_t{u16(at + 2)} << 16);
        };
        const uint32_t ifd = u32(4);
        if (u16(2) != 42 || ifd > n - 2)
            return 1;
        const unsigned count = u16(ifd);
        for (unsigned i = 0; i < count; ++i) {
            const size_t entry = ifd + 2 + size_t{12} * i;
            if (entry + 12 > n)
                break;
            // A SHORT with count 1 keeps its value in the first two bytes.
            if (u16(entry) == kOrientationTag) {
                const unsigned v = u16(entry + 8);
                return u16(entry + 2) == 3 && u32(entry + 4) == 1 && v >= 1 && v <= 8 ? static_cast<int>(v) : 1;
            }
        }
        return 1;
    }
    return 1;
}

// The stored pixel (x, y) shown at (X, Y) of the upright picture, for a
// stored picture of w x h.
void StoredPixel(int orientation, int64_t X, int64_t Y, int64_t w, int64_t h, int64_t& x, int64_t& y)
{
    switch (orientation) {
    case 2: x = w - 1 - X; y = Y; break;                 // mirrored
    case 3: x = w - 1 - X; y = h - 1 - Y; break;         // upside down
    case 4: x = X; y = h - 1 - Y; break;                 // mirrored upside down
    case 5: x = Y; y = X; break;                         // transposed
    case 6: x = Y; y = h - 1 - X; break;                 // turned a quarter left
    case 7: x = w - 1 - Y; y = h - 1 - X; break;         // transposed the other way
    case 8: x = w - 1 - Y; y = X; break;                 // turned a quarter right
    default: x = X; y = Y; break;
    }
}

// Moves the stored picture (top row first, 3 x w bytes a row) upright into
// the packed picture of upW x upH.
void PlaceUpright(const uint8_t* stored, int64_t w, int64_t h, int orientation, int64_t upW, int64_t upH)
{
    const auto offset = [&](int64_t X, int64_t Y) {
        int64_t x, y;
        StoredPixel(orientation, X, Y, w, h, x, y);
        return y * 3 * w + 3 * x;
    };
    const int64_t origin = offset(0, 0);
    const int64_t stepX = upW > 1 ? offset(1, 0) - origin : 0;
    const int64_t stepY = upH > 1 ? offset(0, 1) - origin : 0;
    for (int64_t Y = 0; Y < upH; ++Y) {
        const uint8_t* s = stored + origin + Y * stepY;
        uint8_t* d = DibRowFromTop(Y, upH);
        for (int64_t X = 0; X < upW; ++X, s += stepX, d += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}
}  // namespace

bool ReadJpeg()
{
    Pio.LoadWholeFile = true;
    if (OpenInputFile())
        return true;
    JpegDecoder d;
    if (!ReadHeader(&d, Pio.Memory.data(), Pio.Memory.size()))
        return Failed(d.Errors);
    const jpeg_decompress_struct& info = d.Info;
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        ShowErrorBox(15, "CMYK JPEG pictures are not supported: " + Pio.FileName);
        return true;
    }
    const int orientation = ExifOrientation(info.marker_list);
    const int64_t w = info.image_width;
    const int64_t h = info.image_height;
    const bool turned = orientation >= 5;
    const int64_t upW = turned ? h : w;
    const int64_t upH = turned ? w : h;
    // A turned or mirrored picture is decoded apart, then placed upright.
    const int64_t apart = orientation == 1 ? 0 : 3 * w * h;
    if (RefusePictureSize(upW, upH, apart))
        return true;
    // Huffman coding spends at least one bit on each block of the first
    // component: a shorter file cannot hold the picture it claims.
    const int64_t blocks = int64_t{info.comp_info[0].width_in_blocks} * info.comp_info[0].height_in_blocks;
    if (!info.arith_code && Pio.InputSize * 8 < blocks) {
        ShowErrorBox(12, "JPEG file ends too early: " + Pio.FileName);
        return true;
    }
    std::vector<uint8_t> stored;
    try {
        stored.resize(static_cast<size_t>(apart));
    } catch (const std::bad_alloc&) {
        ShowErrorBox(8, "Not Enought memory");
        return true;
    }
    if (!NewDib24(upW, upH)) {
        ShowErrorBox(8, "Not Enought memory");
        return true;
    }
    const bool decoded = orientation == 1
                             ? DecodeRows(&d, DibRowFromTop(0, h), -static_cast<ptrdiff_t>(Pio.DibRowBytes))
                             : DecodeRows(&d, stored.data(), static_cast<ptrdiff_t>(3 * w));
    if (!decoded)
        return Failed(d.Errors);
    if (orientation != 1)
        PlaceUpright(stored.data(), w, h, orientation, upW, upH);
    CloseFile();
    return false;
}

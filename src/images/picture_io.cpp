#include "images/picture_io.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "images/error_box.h"
#include "images/progress.h"
#include "images/raster_image.h"
#include "images/safe_file.h"

PictureIoState Pio;

void ResetPictureIo()
{
    FreeIoBuffers();
    Pio = PictureIoState{};
}

bool OpenInputFile()
{
    CloseFile();
    std::string why;
    std::FILE* f = OpenPlainFile(Pio.FileName, why);
    if (!f) {
        if (why.empty())
            ShowErrorBox(11, "Error opening file " + Pio.FileName);
        else
            ShowErrorBox(11, why);
        return true;
    }
    int64_t size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0)
        size = std::ftell(f);
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        ShowErrorBox(11, "Error opening file " + Pio.FileName);
        return true;
    }
    Pio.InputSize = size;
    if (Pio.LoadWholeFile) {
        try {
            Pio.Memory.resize(static_cast<size_t>(size));
        } catch (const std::bad_alloc&) {
            std::fclose(f);
            ShowErrorBox(8, "Not Enought memory");
            return true;
        }
        const size_t got = size > 0 ? std::fread(Pio.Memory.data(), 1, Pio.Memory.size(), f) : 0;
        std::fclose(f);
        Pio.Memory.resize(got);
        Pio.InputSize = static_cast<int64_t>(got);
        Pio.MemoryPos = 0;
        Pio.File = nullptr;
    } else {
        Pio.File = f;
    }
    Pio.ProgressScale = Pio.InputSize > 0 ? 100.0f / static_cast<float>(Pio.InputSize) : 0.0f;
    Pio.FileOpen = true;
    return false;
}

void AtomicWriterCloser::operator()(AtomicFileWriter* w) const { delete w; }

bool CreateOutputFile(const std::string& fileName)
{
    CloseFile();
    Pio.FileName = fileName;
    Pio.Output.reset(new (std::nothrow) AtomicFileWriter);
    if (!Pio.Output || !Pio.Output->Open(fileName)) {
        Pio.Output.reset();
        ShowErrorBox(11, "Error creating file " + fileName);
        return true;
    }
    Pio.File = Pio.Output->Stream();
    Pio.FileOpen = true;
    Pio.OutputOpen = true;
    return false;
}

void CloseFile()
{
    if (Pio.Output)
        Pio.Output.reset();  // closes the stream and removes the unfinished file
    else if (Pio.File)
        std::fclose(Pio.File);
    Pio.File = nullptr;
    Pio.FileOpen = false;
    Pio.OutputOpen = false;
    std::vector<uint8_t>().swap(Pio.Memory);
    Pio.MemoryPos = 0;
}

bool CloseOutputFile()
{
    bool failed = !Pio.Output;
    if (Pio.Output) {
        failed = !Pio.Output->Commit(false);
        Pio.Output.reset();
        Pio.File = nullptr;
    }
    CloseFile();
    return failed;
}

bool AllocIoBuffers()
{
    Pio.InBufSize = std::max(Pio.InBufSize, kMinIoBufferSize);
    Pio.SinkBufSize = std::max(Pio.SinkBufSize, kMinIoBufferSize);
    FreeInputBuffer();
    FreeSinkBuffer();
    Pio.InBuf = static_cast<uint8_t*>(std::malloc(Pio.InBufSize));
    Pio.SinkBuf = static_cast<uint8_t*>(std::malloc(Pio.SinkBufSize));
    if (!Pio.InBuf || !Pio.SinkBuf) {
        FreeInputBuffer();
        FreeSinkBuffer();
        ShowErrorBox(8, "Not Enought memory");
        return true;
    }
    return false;
}

bool AllocDecodeBuffer()
{
    FreeDecodeBuffer();
    if (Pio.DecodedSize < 0) {
        ShowErrorBox(8, "Not Enought memory");
        return true;
    }
    Pio.Decoded = AllocPixelBlock(Pio.DecodedSize > 0 ? static_cast<size_t>(Pio.DecodedSize) : 1, true);
    if (!Pio.Decoded) {
        ShowErrorBox(8, "Not Enought memory");
        return true;
    }
    Pio.DecodedOffset = 0;
    return false;
}

void FreeDecodeBuffer()
{
    if (!Pio.DecodedInDib)
        FreePixelBlock(Pio.Decoded);
    Pio.Decoded = nullptr;
    Pio.DecodedInDib = false;
}

void FreeInputBuffer()
{
    std::free(Pio.InBuf);
    Pio.InBuf = nullptr;
    Pio.InPos = 0;
    Pio.InHeld = 0;
}

void FreeSinkBuffer()
{
    std::free(Pio.SinkBuf);
    Pio.SinkBuf = nullptr;
    Pio.SinkPos = 0;
    Pio.ChunkLen = 0;
}

void FreeDib()
{
    FreePackedDib(Pio.Dib);
    Pio.Dib = nullptr;
}

void FreeIoBuffers()
{
    CloseFile();
    FreeDecodeBuffer();
    FreeInputBuffer();
    FreeSinkBuffer();
    FreeDib();
}

size_t ReadInputBlock(void* dst, size_t n)
{
    if (Pio.LoadWholeFile && Pio.FileOpen) {
        const uint64_t left = Pio.Memory.size() - std::min<uint64_t>(Pio.MemoryPos, Pio.Memory.size());
        const size_t k = static_cast<size_t>(std::min<uint64_t>(left, n));
        if (k)
            std::memcpy(dst, Pio.Memory.data() + Pio.MemoryPos, k);
        Pio.MemoryPos += k;
        return k;
    }
    if (!Pio.File)
        return 0;
    return std::fread(dst, 1, n, Pio.File);
}

bool SeekInput(int64_t offset)
{
    Pio.InPos = 0;
    Pio.InHeld = 0;
    Pio.EndOfInput = false;
    if (offset < 0 || offset > Pio.InputSize)
        return false;
    if (Pio.LoadWholeFile && Pio.FileOpen) {
        Pio.MemoryPos = static_cast<uint64_t>(offset);
        return true;
    }
    return Pio.File && std::fseek(Pio.File, static_cast<long>(offset), SEEK_SET) == 0;
}

int64_t InputPosition()
{
    if (Pio.LoadWholeFile && Pio.FileOpen)
        return static_cast<int64_t>(Pio.MemoryPos);
    return Pio.File ? std::ftell(Pio.File) : 0;
}

bool WriteOutput(const void* src, size_t n)
{
    if (!Pio.File)
        return false;
    return n == 0 || std::fwrite(src, 1, n, Pio.File) == n;
}

uint8_t ReadByteRefill()
{
    const int64_t left = Pio.InputSize - InputPosition();
    if (left <= 0 || !Pio.InBuf) {
        Pio.EndOfInput = true;
        return 0;
    }
    const size_t want = static_cast<size_t>(std::min<int64_t>(left, Pio.InBufSize));
    const size_t got = ReadInputBlock(Pio.InBuf, want);
    if (got == 0) {
        Pio.EndOfInput = true;
        return 0;
    }
    Pio.InHeld = static_cast<int32_t>(got);
    Pio.InConsumed = InputPosition();
    Pio.InPos = 1;
    if (ProgressActive())
        SetProgress(static_cast<int>(std::nearbyint(static_cast<double>(Pio.InConsumed) * Pio.ProgressScale)));
    return Pio.InBuf[0];
}

void PutByteSlow(int value)
{
    if (value == kFlushByte) {
        const int32_t room = Pio.DecodedSize - Pio.DecodedOffset;
        const int32_t n = std::min<int32_t>(static_cast<int32_t>(Pio.SinkPos), room);
        if (n > 0 && Pio.Decoded)
            std::memcpy(Pio.Decoded + Pio.DecodedOffset, Pio.SinkBuf, n);
        if (n > 0)
            Pio.DecodedOffset += n;
        Pio.SinkPos = 0;
        return;
    }
    // The chunk is full: hand it over and start the next one.
    if (Pio.ChunkLen > 0 && Pio.Decoded) {
        std::memcpy(Pio.Decoded + Pio.DecodedOffset, Pio.SinkBuf, Pio.ChunkLen);
        Pio.DecodedOffset += Pio.ChunkLen;
    }
    Pio.ChunkLen = std::min<int32_t>(Pio.DecodedSize - Pio.DecodedOffset, static_cast<int32_t>(Pio.SinkBufSize));
    if (Pio.ChunkLen <= 0 || !Pio.SinkBuf) {
        Pio.ChunkLen = 0;
        Pio.PictureFull = true;
        Pio.SinkPos = 0;
        return;
    }
    Pio.SinkBuf[0] = static_cast<uint8_t>(value);
    Pio.SinkPos = 1;
}

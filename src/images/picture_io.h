// The shared work area of the picture file routines and the movie writer:
// current file, buffered byte reader, byte sink into the decoded picture, and
// the packed picture under construction. One picture file operation at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

constexpr uint32_t kMinIoBufferSize = 16384;
constexpr int kFlushByte = 0x1FF;  // PutByte value that is no byte: flush request

class AtomicFileWriter;
struct AtomicWriterCloser {
    void operator()(AtomicFileWriter* w) const;
};

struct PictureIoState {
    std::string FileName;
    // The output being written: a temporary file beside FileName until
    // CloseOutputFile puts it in place (dropped unfinished: removed).
    std::unique_ptr<AtomicFileWriter, AtomicWriterCloser> Output;

    // Current stream: a file, or (for TGA input) the whole file in memory.
    std::FILE* File = nullptr;
    bool FileOpen = false;
    bool OutputOpen = false;
    bool LoadWholeFile = false;       // set by the TGA reader before OpenInputFile
    std::vector<uint8_t> Memory;      // whole input when LoadWholeFile
    uint64_t MemoryPos = 0;

    int64_t InputSize = 0;
    float ProgressScale = 0.0f;

    // Input buffer.
    uint8_t* InBuf = nullptr;
    uint32_t InBufSize = 0;           // requested, then actual size
    uint32_t InPos = 0;
    int32_t InHeld = 0;
    int64_t InConsumed = 0;
    bool EndOfInput = false;

    // Decoded picture: pixel data as decoded, rows unpadded, in file order.
    uint8_t* Decoded = nullptr;
    int32_t DecodedSize = 0;
    int32_t DecodedOffset = 0;
    int32_t DecodedRowBytes = 0;
    bool DecodedInDib = false;        // Decoded points into Dib and is not freed on its own

    // Sink buffer.
    uint8_t* SinkBuf = nullptr;
    uint32_t SinkBufSize = 0;         // requested, then actual size
    uint32_t SinkPos = 0;
    int32_t ChunkLen = 0;
    bool PictureFull = false;

    // Packed picture under construction.
    uint8_t* Dib = nullptr;
    int32_t DibHeaderBytes = 0;
    int32_t DibImageBytes = 0;
    int32_t DibRowBytes = 0;
    uint16_t BitCount = 0;
};

extern PictureIoState Pio;

// Frees everything and clears the whole record (start of each picture load).
void ResetPictureIo();

bool OpenInputFile();                          // failed?
// Creates the temporary file that will replace fileName; failed?
bool CreateOutputFile(const std::string& fileName);
// Closes the current file; an output file not yet put in place is removed.
void CloseFile();
// Closes an output file and renames it over its target (not synced: frames
// come fast); true when any byte did not reach the file or the rename
// failed, the temporary file then removed and the target untouched.
bool CloseOutputFile();
bool AllocIoBuffers();                         // failed?
bool AllocDecodeBuffer();                      // failed? size in Pio.DecodedSize
void FreeDecodeBuffer();
void FreeInputBuffer();
void FreeSinkBuffer();
void FreeDib();
void FreeIoBuffers();

// Reads up to n bytes straight from the current input stream (headers);
// returns the count read.
size_t ReadInputBlock(void* dst, size_t n);
// Moves the input stream to an absolute offset and drops the buffered bytes.
bool SeekInput(int64_t offset);
// Current position of the input stream.
int64_t InputPosition();
// Writes n bytes to the output stream; true when all were written.
bool WriteOutput(const void* src, size_t n);

uint8_t ReadByteRefill();
void PutByteSlow(int value);

// Next input byte; 0 with EndOfInput set when none is left.
inline uint8_t ReadByte()
{
    if (Pio.InPos < static_cast<uint32_t>(Pio.InHeld))
        return Pio.InBuf[Pio.InPos++];
    return ReadByteRefill();
}

// Appends one byte to the decoded picture; kFlushByte flushes.
inline void PutByte(int value)
{
    if (value != kFlushByte && Pio.SinkPos < static_cast<uint32_t>(Pio.ChunkLen)) {
        Pio.SinkBuf[Pio.SinkPos++] = static_cast<uint8_t>(value);
        return;
    }
    PutByteSlow(value);
}

// The vector line routine of the mesh warp: one contiguous line of 24-bit
// pixels resampled with AVX2, byte for byte what ResampleScanline gives.
// Weights and pixel indices of four target pixels are found at once; a
// pixel is then one weighted sum of up to three source pixels, the channels
// of two pixels in one register. Pixels whose value lies near a rounding
// tie, and long averaging intervals, take the plain routine's arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Work space for lines of up to 'longest' pixels, source or target.
class WarpLineWork {
public:
    explicit WarpLineWork(int longest);
    WarpLineWork(const WarpLineWork&) = delete;
    WarpLineWork& operator=(const WarpLineWork&) = delete;

    // Target pixels are done a part of the line at a time.
    static constexpr int kPart = 128;

    // Per target pixel of a part, padded to whole groups of four.
    struct Lanes {
        float* W0 = nullptr;  // weights of the three source pixels, a pixel's
        float* W1 = nullptr;  // repeated for its four channels
        float* W2 = nullptr;
        double* Sd = nullptr;  // inverse map: the source edge found, and the
        double* Left = nullptr;  // map entries around it
        double* Right = nullptr;
        int32_t* I0 = nullptr;  // the three source pixels, as offsets into Pixels
        int32_t* I1 = nullptr;
        int32_t* I2 = nullptr;
        int32_t* Kind = nullptr;
    };

private:
    struct alignas(16) Quad {
        float V[4];
    };
    struct alignas(32) Eight {
        float V[8];
    };
    friend void ResampleLineVector(const uint8_t*, int, int, const double*, uint8_t*, ptrdiff_t,
                                   WarpLineWork&);
    std::vector<Quad> Pixels;  // the source line, a pixel's channels as floats (4th: 0)
    std::vector<double> Inv;   // the inverse map, padded to whole groups of four
    std::vector<int32_t> Count;
    std::vector<Eight> Weights;
    std::vector<double> Doubles;
    std::vector<int32_t> Ints;
    Lanes Arrays;
};

// True when this processor runs the vector routine.
bool VectorLineAvailable();

// As ResampleScanline for a contiguous source line (step 3): source holds m
// pixels, target gets n pixels, targetStep bytes apart. m and n at least 1
// and at most the work space's length. Only where VectorLineAvailable().
void ResampleLineVector(const uint8_t* source, int m, int n, const double* map, uint8_t* target,
                        ptrdiff_t targetStep, WarpLineWork& work);

// The vector line routine of the mesh warp: one contiguous line of 24-bit
// pixels resampled with AVX2, byte for byte what ResampleScanline gives.
// Weights and pixel indices of four target pixels are found at once; a
// pixel is then one weighted sum of up to three source pixels, all channels
// in one register. Pixels whose value lies near a rounding tie, and long
// averaging intervals, take the plain routine's arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Work space for lines of up to 'longest' pixels, source or target.
class WarpLineWork {
public:
    explicit WarpLineWork(int longest);

private:
    struct alignas(32) Quad {
        double V[4];
    };
    friend void ResampleLineVector(const uint8_t*, int, int, const double*, uint8_t*, ptrdiff_t,
                                   WarpLineWork&);
    std::vector<Quad> Pixels;  // the source line, a pixel's channels as doubles (4th: 0)
    std::vector<double> Inv;   // the inverse map, padded to whole groups of four
    std::vector<double> W0, W1, W2;
    std::vector<int32_t> I0, I1, I2;
    std::vector<int32_t> Kind;
};

// True when this processor runs the vector routine.
bool VectorLineAvailable();

// As ResampleScanline for a contiguous source line (step 3): source holds m
// pixels, target gets n pixels, targetStep bytes apart. m and n at least 1
// and at most the work space's length. Only where VectorLineAvailable().
void ResampleLineVector(const uint8_t* source, int m, int n, const double* map, uint8_t* target,
                        ptrdiff_t targetStep, WarpLineWork& work);

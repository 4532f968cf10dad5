// The radial-basis node warp: the basis function, the linear solver that
// makes the mapping exact at the nodes, and the backward warp of a picture.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <string>

#include "images/raster_image.h"
#include "node/node_defs.h"

// Program-wide node warp parameters, set from the active node project: how the
// radii are chosen (0 fixed, 1 adaptive from the source, 2 from the
// destination), the fixed radius R in source pixels and the exponent mi. Both
// reals hold values of Real48 precision.
extern uint8_t NodeRadiusMode;
extern double NodeRadius;
extern double NodeMi;

// How a warp ended. Anything but Ok is a failure whose message has already
// been shown; a frame or animation routine stops there and shows nothing more.
enum class NodeWarpStatus : uint8_t {
    Ok,
    SingularMatrix,  // a row of the system matrix is entirely zero
    ZeroBasis,       // s = 0 with a negative or non-integral mi
    Overflow,        // a value beyond the Real48 range
    BadInput,        // pictures missing or node sets that do not fit
};

// Code of the error box used for a failed warp.
constexpr int kNodeWarpErrorCode = 19;

// The message shown for a failed warp ("" for Ok).
std::string NodeWarpMessage(NodeWarpStatus status, double mi);

// Basis value for distance d and radius r: s = d*d + r*r with d rounded to
// Real48 first, raised to mi, rounded to Real48. Ok, ZeroBasis or Overflow.
NodeWarpStatus TryPhi(double d, double r, double mi, double& value);
// The same with mi = NodeMi; throws NodeArithmeticError instead of failing.
double Phi(double d, double r);

class NodeArithmeticError : public std::exception {
public:
    explicit NodeArithmeticError(NodeWarpStatus status) : Status(status) {}
    const char* what() const noexcept override { return "node warp arithmetic error"; }
    NodeWarpStatus Status;
};

// Working storage of the solver: fixed size, indices from 0.
using NodeMatrix = std::array<std::array<double, kMaxNodes>, kMaxNodes>;
using NodeVector = std::array<double, kMaxNodes>;
using NodePivots = std::array<int32_t, kMaxNodes>;

// Crout's LU decomposition with implicit partial pivoting of the n x n matrix
// a, in place; every element is stored at Real48 precision. pivots records the
// row swapped into each position, parity is +1 or -1. A zero pivot becomes
// 1.0e-20. SingularMatrix for a row of zeros (a is then incomplete), Overflow
// when a value leaves the Real48 range, BadInput for n outside 0..100.
NodeWarpStatus LUDecompose(NodeMatrix& a, int n, NodePivots& pivots, double& parity);
// Solves with the factors of LUDecompose; b is replaced by the solution.
NodeWarpStatus LUBackSubstitute(const NodeMatrix& a, int n, const NodePivots& pivots, NodeVector& b);

// Warps source into output (created by the caller, any size) so that each
// source node i lands on target node i. Node positions are in source pixels,
// y = 0 at the top; N is the source set's count and the target set must have
// as many. radii[j] is the radius of node j when NodeRadiusMode is not 0,
// otherwise NodeRadius applies to every node. Runs between BeginProgress and
// EndProgress. On failure the progress display is ended, the rows not
// computed are black, one message is shown and the status says why.
NodeWarpStatus NodeWarp(const RasterImage& source, const TNodeDefsData& sourceNodes,
                        const TNodeDefsData& targetNodes, RasterImage& output,
                        const NodeRadii& radii);

// Output pixels of the last warp taken from the fast evaluation's positions;
// the others came from the plain evaluation (for tests and benchmarks).
int64_t LastNodeWarpFastPixels();

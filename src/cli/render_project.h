// The pieces of quorvix-render that do not depend on the kind of project: its
// options, how they replace the project's generation settings for one run,
// and the checks the morph settings dialog makes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/project_record.h"

struct RenderOptions {
    std::string ProjectFile;
    bool HasFrames = false;   // --frames A-B
    int32_t First = 0;
    int32_t Last = 0;
    bool HasFrame = false;    // --frame K
    int32_t Frame = 0;
    bool HasOutput = false;   // --output DIR
    std::string Output;
    bool HasPrefix = false;   // --prefix TEXT
    std::string Prefix;
    bool HasType = false;     // --type tga|bmp|png|avi
    OutputKind Type = OutputKind::Tga;
    bool HasSize = false;     // --size WxH
    int32_t Width = 0;
    int32_t Height = 0;
    bool Quiet = false;
    bool Help = false;
    int32_t Threads = 0;      // --threads N; 0: every core
};

constexpr int32_t kMaxRenderThreads = 256;

// Reads the command line. Returns "" when it is usable (or --help was
// given), otherwise what is wrong with it.
std::string ParseRenderOptions(int argc, const char* const* argv, RenderOptions& options);

// Replaces the settings the options name: --frames turns the animation on with
// its range, --frame turns it off with its frame, the others set the output
// folder, prefix, type and result size.
template <class Settings>
void ApplyRenderOptions(Settings& s, const RenderOptions& o)
{
    if (o.HasFrames) {
        s.DoAnimation = 1;
        s.FirstFrame = o.First;
        s.LastFrame = o.Last;
    }
    if (o.HasFrame) {
        s.DoAnimation = 0;
        s.CurrentFrame = o.Frame;
    }
    if (o.HasOutput)
        s.OutputPath.Set(o.Output);
    if (o.HasPrefix)
        s.OutputPrefix.Set(o.Prefix);
    if (o.HasType)
        s.OutputType = static_cast<uint8_t>(o.Type);
    if (o.HasSize) {
        s.ResultWidth = o.Width;
        s.ResultHeight = o.Height;
    }
}

// The checks the morph settings dialog makes when it is confirmed (with the
// bounds of its frame fields): the message of every check that fails, in the
// dialog's order; empty when the settings are usable.
std::vector<std::string> CheckMorphNumbers(int32_t total, int32_t first, int32_t last,
                                           int32_t current, int32_t width, int32_t height);

template <class Settings>
std::vector<std::string> CheckMorphSettings(const Settings& s)
{
    return CheckMorphNumbers(s.TotalFrames, s.FirstFrame, s.LastFrame, s.CurrentFrame,
                             s.ResultWidth, s.ResultHeight);
}

#include "cli/render_project.h"

#include <cctype>
#include <charconv>
#include <limits>


namespace {
constexpr size_t kMaxNameBytes = 255;

// A decimal number of at most int32 size, digits only.
bool ParseNumber(const std::string& text, int32_t& value)
{
    if (text.empty() || text.size() > 10)
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    int64_t v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    if (v > std::numeric_limits<int32_t>::max())
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

// "A<sep>B" with two numbers, sep one of the characters given.
bool ParsePair(const std::string& text, const char* seps, int32_t& a, int32_t& b)
{
    const size_t at = text.find_first_of(seps);
    return at != std::string::npos && ParseNumber(text.substr(0, at), a) &&
           ParseNumber(text.substr(at + 1), b);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string ParseRenderOptions(int argc, const char* const* argv, RenderOptions& o)
{
    bool options = true;
    bool haveProject = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inlineValue = false;
        if (options && arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            inlineValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (inlineValue)
                return true;
            if (i + 1 >= argc)
                return false;
            value = argv[++i];
            return true;
        };
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "--help" || arg == "-h")) {
            o.Help = true;
        } else if (options && (arg == "--quiet" || arg == "-q")) {
            o.Quiet = true;
        } else if (options && arg == "--frames") {
            if (!takeValue() || !ParsePair(value, "-", o.First, o.Last))
                return "--frames needs a range A-B of frame numbers";
            o.HasFrames = true;
        } else if (options && arg == "--frame") {
            if (!takeValue() || !ParseNumber(value, o.Frame))
                return "--frame needs a frame number";
            o.HasFrame = true;
        } else if (options && (arg == "--output" || arg == "--prefix")) {
            if (!takeValue())
                return arg + " needs a value";
            // The project keeps at most 255 bytes; cutting a folder name
            // would quietly write somewhere else.
            if (value.size() > kMaxNameBytes)
                return arg + " is longer than 255 characters";
            if (arg == "--output") {
                o.HasOutput = true;
                o.Output = value;
            } else {
                o.HasPrefix = true;
                o.Prefix = value;
            }
        } else if (options && arg == "--type") {
            if (!takeValue())
                return "--type needs tga, bmp, png or avi";
            const std::string t = Lower(value);
            if (t == "tga")
                o.Type = OutputKind::Tga;
            else if (t == "bmp")
                o.Type = OutputKind::Bmp;
            else if (t == "png")
                o.Type = OutputKind::Png;
            else if (t == "avi")
                o.Type = OutputKind::Avi;
            else
                return "--type needs tga, bmp, png or avi";
            o.HasType = true;
        } else if (options && arg == "--size") {
            if (!takeValue() || !ParsePair(value, "xX", o.Width, o.Height))
                return "--size needs WIDTHxHEIGHT";
            o.HasSize = true;
        } else if (options && arg == "--threads") {
            if (!takeValue() || !ParseNumber(value, o.Threads) || o.Threads < 1 ||
                o.Threads > kMaxRenderThreads)
                return "--threads needs a number of threads from 1 to " +
                       std::to_string(kMaxRenderThreads);
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (haveProject) {
            return "more than one project file";
        } else {
            o.ProjectFile = arg;
            haveProject = true;
        }
    }
    if (o.Help)
        return "";
    if (o.HasFrames && o.HasFrame)
        return "--frames and --frame exclude each other";
    if (!haveProject)
        return "no project file";
    return "";
}

std::vector<std::string> CheckMorphNumbers(int32_t total, int32_t first, int32_t last,
                                           int32_t current, int32_t width, int32_t height)
{
    constexpr int32_t kMaxFrame = 32768;
    constexpr int32_t kMinSize = 40;
    std::vector<std::string> messages;
    const bool inBounds = total >= 2 && total <= kMaxFrame && first >= 1 && first <= kMaxFrame &&
                          last >= 1 && last <= kMaxFrame && current >= 1 &&
                          current <= kMaxFrame;
    if (!inBounds || !(first <= last && last <= total && current <= total))
        messages.push_back("There is inconsistence in frame numbers.");
    if (width < kMinSize)
        messages.push_back("Width of image must be greater then " + std::to_string(kMinSize) + ".");
    if (height < kMinSize)
        messages.push_back("Height of image must be greater then " + std::to_string(kMinSize) +
                           ".");
    return messages;
}

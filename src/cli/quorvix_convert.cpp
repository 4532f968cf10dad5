// quorvix-convert INPUT OUTPUT: loads any picture the workstation reads and
// saves it as BMP, TGA or PNG, chosen by OUTPUT's extension.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_hooks.h"
#include "images/picture_file.h"
#include "images/raster_image.h"

namespace {
constexpr const char* kProgram = "quorvix-convert";

void PrintUsage(std::FILE* to)
{
    std::fputs("Usage: quorvix-convert [--quiet] INPUT OUTPUT\n"
               "Loads a BMP (.bmp, .dib, .rle), TGA (.tga), PCX (.pcx), PNG (.png) or JPEG\n"
               "(.jpg, .jpeg) picture and saves it as BMP, TGA or PNG, chosen by the\n"
               "extension of OUTPUT.\n"
               "  --quiet   no progress display\n"
               "  --help    this text\n"
               "Exit status: 0 converted, 1 failed, 2 bad usage.\n",
               to);
}

int Run(int argc, char** argv)
{
    std::vector<std::string> files;
    bool quiet = false;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "--help" || arg == "-h")) {
            PrintUsage(stdout);
            return 0;
        } else if (options && (arg == "--quiet" || arg == "-q")) {
            quiet = true;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            CliMessage(kProgram, "unknown option " + arg);
            PrintUsage(stderr);
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        PrintUsage(stderr);
        return 2;
    }
    InstallCliHooks(quiet);

    RasterImage image;
    LoadPicture(files[0], image);
    if (!image.Allocated) {
        const size_t dot = files[0].find_last_of("./");
        if (dot == std::string::npos || files[0][dot] != '.' || !IsPictureFileType(files[0].substr(dot)))
            CliMessage(kProgram, UnreadablePictureMessage(files[0]));
        return 1;
    }
    if (SavePicture(files[1], image)) {
        // PCX output fails without a message of its own.
        if (CliErrorCount() == 0)
            CliMessage(kProgram, "PCX pictures cannot be saved: " + files[1]);
        return 1;
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv) { return RunCliTool(kProgram, Run, argc, argv); }

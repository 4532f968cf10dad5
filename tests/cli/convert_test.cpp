#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace {
std::string Tool() { return BinDir() + "/quorvix-convert"; }
std::string Fixture(const std::string& name) { return FixturesDir() + "/pictures/" + name; }
std::string Q(const std::string& s) { return "'" + s + "'"; }

// Runs the tool; returns the exit status, and standard error in *err.
int Convert(const std::string& args, std::string* err, std::string* out = nullptr)
{
    TempDir capture;
    const std::string errFile = capture.File("stderr");
    const int status = RunCommand(Tool() + " " + args + " 2>" + Q(errFile), out);
    const auto bytes = ReadAll(errFile);
    if (err)
        err->assign(bytes.begin(), bytes.end());
    return status;
}

// Both files as binary PPM through an independent decoder.
std::string Ppm(const std::string& command)
{
    std::string out;
    EXPECT_EQ(RunCommand(command + " 2>/dev/null", &out), 0) << command;
    return out;
}
}  // namespace

TEST(ConvertTool, ConvertsEveryReadableTypeToBmpAndTga)
{
    TempDir dir;
    const std::string source = Ppm("convert " + Q(Fixture("src_37x31.ppm")) + " -depth 8 ppm:-");
    for (const char* in : {"bmp24_netpbm.bmp", "tga24_rle_bottom.tga", "tga32_rle_top.tga", "pcx24_rle.pcx",
                           "pcx24_plain.pcx", "bmp24_top_down.bmp"}) {
        std::string err;
        const std::string bmp = dir.File("out.bmp");
        const std::string tga = dir.File("out.tga");
        ASSERT_EQ(Convert(Q(Fixture(in)) + " " + Q(bmp), &err), 0) << in << err;
        EXPECT_EQ(err, "");
        ASSERT_EQ(Convert(Q(Fixture(in)) + " " + Q(tga), &err), 0) << in << err;
        // netpbm's run-length encoder is lossy: that fixture is compared with
        // netpbm's own reading of it.
        const std::string want = std::string(in) == "tga24_rle_bottom.tga"
                                     ? Ppm("tgatoppm " + Q(Fixture(in)))
                                     : source;
        EXPECT_EQ(Ppm("convert " + Q(bmp) + " -depth 8 ppm:-"), want) << in;
        EXPECT_EQ(Ppm("tgatoppm " + Q(tga)), want) << in;
    }
}

// PNG and JPEG in, PNG out: what comes out is what independent decoders read
// in the input (transparency over black, 16 bits rounded, JPEG upright).
TEST(ConvertTool, ReadsPngAndJpegAndWritesPng)
{
    TempDir dir;
    const std::string netpbm = "pngtopnm -mix -background=black ";
    const std::pair<const char*, std::string> cases[] = {
        {"png_rgba_16.png", netpbm + Q(Fixture("png_rgba_16.png")) + " | pnmdepth 255 | ppmtoppm"},
        {"png_palette_4.png", netpbm + Q(Fixture("png_palette_4.png")) + " | ppmtoppm"},
        {"png_grey_1_interlaced.png", netpbm + Q(Fixture("png_grey_1_interlaced.png")) + " | ppmtoppm"},
        {"jpeg_orient_6.jpg", "/usr/bin/convert " + Q(Fixture("jpeg_orient_6.jpg")) + " -auto-orient ppm:-"},
        {"jpeg_progressive.jpg", "/usr/bin/convert " + Q(Fixture("jpeg_progressive.jpg")) + " ppm:-"},
    };
    for (const auto& [in, reference] : cases) {
        std::string err;
        const std::string png = dir.File("out.PNG");
        const std::string tga = dir.File("out.tga");
        ASSERT_EQ(Convert(Q(Fixture(in)) + " " + Q(png), &err), 0) << in << err;
        ASSERT_EQ(Convert(Q(Fixture(in)) + " " + Q(tga), &err), 0) << in << err;
        const std::string want = Ppm(reference);
        EXPECT_EQ(Ppm("pngtopnm " + Q(png)), want) << in;
        EXPECT_EQ(Ppm("tgatoppm " + Q(tga)), want) << in;
    }
}

TEST(ConvertTool, FailuresPrintTheSystemTextAndExitOne)
{
    TempDir dir;
    std::string err;
    EXPECT_EQ(Convert(Q(dir.File("none.bmp")) + " " + Q(dir.File("o.bmp")), &err), 1);
    EXPECT_EQ(err, "Error: File was not found: " + dir.File("none.bmp") + "\n");
    EXPECT_EQ(Convert(Q(Fixture("refuse_bmp8.bmp")) + " " + Q(dir.File("o.bmp")), &err), 1);
    EXPECT_EQ(err, "2,4,16 and 256 colr PCX and BMP are not supported.\n");
    EXPECT_EQ(Convert(Q(Fixture("refuse_tga_type1.tga")) + " " + Q(dir.File("o.bmp")), &err), 1);
    EXPECT_EQ(err, "Error: Unsupported image format\n");
    EXPECT_EQ(Convert(Q(Fixture("bmp24_w5.bmp")) + " " + Q(dir.File("o.webp")), &err), 1);
    EXPECT_EQ(err, "Error: Save to this file type in not supported.\n");
    EXPECT_EQ(Convert(Q(Fixture("bmp24_w5.bmp")) + " " + Q(dir.File("o.jpg")), &err), 1);
    EXPECT_EQ(err, "Error: Save to this file type in not supported.\n");
    EXPECT_EQ(Convert(Q(Fixture("damaged_jpeg_cut.jpg")) + " " + Q(dir.File("o.png")), &err), 1);
    EXPECT_EQ(err, "Error: JPEG file ends too early: " + Fixture("damaged_jpeg_cut.jpg") + "\n");
    // A type that cannot be read says which can.
    ASSERT_EQ(RunCommand("cp " + Q(Fixture("bmp24_w5.bmp")) + " " + Q(dir.File("in.webp"))), 0);
    EXPECT_EQ(Convert(Q(dir.File("in.webp")) + " " + Q(dir.File("o.png")), &err), 1);
    EXPECT_EQ(err, "Error: This image is unsupported: " + dir.File("in.webp") +
                       "\nquorvix-convert: Pictures of this type cannot be read: " + dir.File("in.webp") +
                       "\nReadable types: BMP (.bmp, .dib, .rle), TGA (.tga), PCX (.pcx), PNG (.png), JPEG (.jpg, "
                       ".jpeg)\n");
    std::filesystem::remove(dir.File("in.webp"));
    EXPECT_EQ(Convert(Q(Fixture("bmp24_w5.bmp")) + " " + Q(dir.File("o.pcx")), &err), 1);
    EXPECT_NE(err.find("o.pcx"), std::string::npos) << err;
    EXPECT_EQ(Convert(Q(Fixture("bmp24_w5.bmp")) + " " + Q(dir.File("no/dir/o.tga")), &err), 1);
    EXPECT_EQ(err, "Error: Error creating file " + dir.File("no/dir/o.tga") + "\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(ConvertTool, WriteFailingPartWayLeavesNoFile)
{
    TempDir dir;
    // A 64 KiB file size limit (and SIGXFSZ ignored) makes the write fail
    // after its first blocks.
    const std::string big = dir.File("big.tga");
    ASSERT_EQ(RunCommand("convert -size 300x300 xc:'#336699' -depth 8 ppm:- | ppmtotga -rgb -norle > " + Q(big) +
                         " 2>/dev/null"),
              0);
    const std::string out = dir.File("out.bmp");
    std::string err;
    const int status = RunCommand("trap '' XFSZ; ulimit -f 64; " + Tool() + " " + Q(big) + " " + Q(out) +
                                  " 2>" + Q(dir.File("err")));
    EXPECT_EQ(status, 1);
    const auto e = ReadAll(dir.File("err"));
    EXPECT_EQ(std::string(e.begin(), e.end()), "Error: Error writing to file: " + out + "\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(Convert(Q(big) + " " + Q(out), &err), 0) << err;
    EXPECT_EQ(std::filesystem::file_size(out), 54u + 300 * 900);

    // The same for a PNG, of noise so that it stays larger than the limit.
    const std::string noise = dir.File("noise.tga");
    ASSERT_EQ(RunCommand("/usr/bin/convert -size 300x300 xc: +noise Random -depth 8 ppm:- | ppmtotga -rgb -norle > " +
                         Q(noise) + " 2>/dev/null"),
              0);
    const std::string png = dir.File("out.png");
    EXPECT_EQ(RunCommand("trap '' XFSZ; ulimit -f 64; " + Tool() + " " + Q(noise) + " " + Q(png) + " 2>" +
                         Q(dir.File("err"))),
              1);
    const auto pe = ReadAll(dir.File("err"));
    EXPECT_EQ(std::string(pe.begin(), pe.end()), "Error: Error writing to file: " + png + "\n");
    EXPECT_FALSE(std::filesystem::exists(png));
    EXPECT_EQ(Convert(Q(noise) + " " + Q(png), &err), 0) << err;
    EXPECT_GT(std::filesystem::file_size(png), 64u * 1024);
}

TEST(ConvertTool, UsageAndHelp)
{
    std::string err, out;
    EXPECT_EQ(Convert("--help", &err, &out), 0);
    EXPECT_NE(out.find("Usage: quorvix-convert"), std::string::npos);
    EXPECT_EQ(Convert("", &err), 2);
    EXPECT_NE(err.find("Usage"), std::string::npos);
    EXPECT_EQ(Convert("only-one.bmp", &err), 2);
    EXPECT_EQ(Convert("a.bmp b.bmp c.bmp", &err), 2);
    EXPECT_EQ(Convert("--bogus a.bmp b.bmp", &err), 2);
    EXPECT_NE(err.find("--bogus"), std::string::npos);
}

// quorvix-render PROJECT.prj [options]: generates the animation of a project
// file from its generation settings, as the workstation's "Generate
// animation" does, without a display. Options replace settings for this run
// only; the project file is never written.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <tbb/global_control.h>
#include <tbb/task_arena.h>

#include "cli/cli_hooks.h"
#include "cli/render_project.h"
#include "project/project_material.h"
#include "images/error_box.h"
#include "images/picture_file.h"
#include "images/progress.h"
#include "images/raster_image.h"
#include "images/result_view.h"
#include "mesh/mesh_defs.h"
#include "mesh/mesh_frame.h"
#include "node/node_defs.h"
#include "node/node_frame.h"
#include "project/project_file.h"

namespace {
constexpr const char* kProgram = "quorvix-render";
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::FILE* to)
{
    std::fputs(
        "Usage: quorvix-render PROJECT.prj [--frames A-B | --frame K] [--output DIR]\n"
        "                      [--prefix TEXT] [--type tga|bmp|png|avi] [--size WxH] [--quiet]\n"
        "                      [--threads N]\n"
        "Generates the animation of a mesh or node project file as its settings say.\n"
        "The options replace the project's settings for this run only:\n"
        "  --frames A-B   frames A to B of the sequence\n"
        "  --frame K      frame K alone\n"
        "  --output DIR   folder of the output files\n"
        "  --prefix TEXT  start of the output file names\n"
        "  --type T       tga, bmp or png (numbered pictures) or avi (one movie)\n"
        "  --size WxH     size of the generated pictures, each at least 40\n"
        "  --quiet        no progress display\n"
        "  --threads N    compute on at most N threads (default: one per core)\n"
        "  --help         this text\n"
        "Pictures and definition files the project names are looked for in the\n"
        "project's folder when they are not where the project says.\n"
        "Exit status: 0 rendered, 1 failed, 2 bad usage.\n",
        to);
}

// Keeps the last frame only, so memory does not grow with the frame count.
class RenderView : public ResultView {
public:
    void SetPicture(RasterImage&& picture) override
    {
        Last = std::move(picture);
        ++Frames;
    }
    void RefreshView() override {}
    bool Started = false;   // pictures and definitions are loaded
    int Frames = 0;
    RasterImage Last;
};

// "frame i of n  pp%" on one terminal line, redrawn in place.
class FrameProgress : public ProgressDisplay {
public:
    FrameProgress(const RenderView& view, int total) : View(view), Total(total) {}
    ~FrameProgress() override { Clear(); }
    // Makes room for a message on the line the progress is drawn on.
    void Clear()
    {
        if (Shown)
            std::fputs("\r\033[K", stderr);
        Shown = false;
    }
    void ProgressBegun() override { Draw(0); }
    void ProgressChanged(int percent) override { Draw(percent); }
    void ProgressEnded() override {}

private:
    void Draw(int percent)
    {
        const int frame = View.Frames < Total ? View.Frames + 1 : Total;
        if (View.Started)
            std::fprintf(stderr, "\r\033[Kframe %d of %d  %3d%%", frame, Total, percent);
        else
            std::fprintf(stderr, "\r\033[Kloading  %3d%%", percent);
        std::fflush(stderr);
        Shown = true;
    }
    const RenderView& View;
    int Total;
    bool Shown = false;
};

// What the tool says on a terminal once everything is written.
void ReportOutput(const std::vector<int32_t>& frames, const std::string& path,
                  const std::string& prefix, uint8_t type)
{
    const std::string base = OutputFileBase(path, prefix);
    const auto kind = static_cast<OutputKind>(type);
    if (kind == OutputKind::Avi) {
        std::printf("%zu frames written to the movie %s\n", frames.size(),
                    MovieFileName(base).c_str());
    } else if (frames.size() == 1) {
        std::printf("1 frame written to %s\n", FrameFileName(base, frames[0], kind).c_str());
    } else {
        std::printf("%zu frames written to %s .. %s\n", frames.size(),
                    FrameFileName(base, frames.front(), kind).c_str(),
                    FrameFileName(base, frames.back(), kind).c_str());
    }
}

bool RenderMesh(const MeshMorphSettings& s, const ProjectFiles& f, RenderView& view)
{
    RasterImage left, right;
    TMeshDefsData leftMesh(2, 2), rightMesh(2, 2);
    if (!LoadProjectPictures(f, left, right) || !LoadProjectMeshes(f, leftMesh, rightMesh))
        return false;
    view.Started = true;
    return !MeshAnimation(left, leftMesh, right, rightMesh, s, view);
}

bool RenderNode(const NodeMorphSettings& s, const ProjectFiles& f, RenderView& view)
{
    RasterImage left, right;
    TNodeDefsData leftNodes, rightNodes;
    if (!LoadProjectPictures(f, left, right) || !LoadProjectNodes(f, leftNodes, rightNodes))
        return false;
    ApplyNodeWarpParameters(s);
    view.Started = true;
    return !NodeAnimation(left, leftNodes, right, rightNodes, s, view);
}

// Applies the options to one kind of settings, checks and renders.
template <class Settings, class Render>
int RenderProject(const Settings& stored, const RenderOptions& o, const ProjectCommon& common,
                  Render render)
{
    Settings s = stored;
    ApplyRenderOptions(s, o);
    const std::vector<std::string> problems = CheckMorphSettings(s);
    if (!problems.empty()) {
        for (const std::string& p : problems)
            ShowErrorBox(1, p);
        // The options are to blame when the project's own values pass.
        return CheckMorphSettings(stored).empty() ? kExitUsage : kExitFailed;
    }
    ProjectFiles files;
    if (!LocateProjectFiles(common, o.ProjectFile, files))
        return kExitFailed;
    const std::vector<int32_t> frames = AnimationFrames(
        s.DoAnimation != 0, s.WarpSide != 0, s.FirstFrame, s.LastFrame, s.CurrentFrame);
    const bool terminal = !o.Quiet && ::isatty(STDERR_FILENO);
    RenderView view;
    bool ok = false;
    {
        FrameProgress progress(view, static_cast<int>(frames.size()));
        ProgressDisplay* previous = SetProgressDisplay(terminal ? &progress : nullptr);
        ErrorBoxHook printer = SetErrorBoxHook(nullptr);
        SetErrorBoxHook([&](const ErrorBoxMessage& m) {
            progress.Clear();
            printer(m);
        });
        ok = render(s, files, view);
        SetErrorBoxHook(printer);
        SetProgressDisplay(previous);
    }
    if (!ok)
        return kExitFailed;
    if (terminal)
        ReportOutput(frames, s.OutputPath.Get(), s.OutputPrefix.Get(), s.OutputType);
    return kExitOk;
}

int Run(int argc, char** argv)
{
    RenderOptions o;
    const std::string usage = ParseRenderOptions(argc, argv, o);
    if (!usage.empty()) {
        CliMessage(kProgram, usage);
        PrintUsage(stderr);
        return kExitUsage;
    }
    if (o.Help) {
        PrintUsage(stdout);
        return kExitOk;
    }
    InstallCliHooks(o.Quiet);

    ProjectRecord record;
    if (ReadProjectFile(o.ProjectFile, record))
        return kExitFailed;
    const auto render = [&] {
        if (record.Kind == ProjectKind::Mesh)
            return RenderProject(record.Mesh.Morph, o, record.Common(), RenderMesh);
        return RenderProject(record.Node.Morph, o, record.Common(), RenderNode);
    };
    if (o.Threads == 0)
        return render();
    // The limit holds for the whole process; the arena has exactly that many
    // slots, also where it exceeds the number of cores.
    tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                              static_cast<size_t>(o.Threads));
    tbb::task_arena arena(o.Threads);
    return arena.execute(render);
}
}  // namespace

int main(int argc, char** argv)
{
    static_assert(kExitFailed == 1);  // the status RunCliTool ends with
    return RunCliTool(kProgram, Run, argc, argv);
}

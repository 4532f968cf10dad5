#include "mesh/frame_run.h"

#include <atomic>
#include <memory>
#include <utility>

#include <tbb/task_group.h>

#include "images/avi_file.h"
#include "images/error_box.h"
#include "images/picture_file.h"
#include "images/safe_file.h"
#include "mesh/mesh_frame.h"

namespace {
std::atomic<bool> g_oneAfterTheOther{false};

// A frame being stored, with what its store would have shown.
struct Store {
    int32_t K = 0;
    RasterImage Frame;
    HeldMessages Messages;
    bool Failed = false;
};

// Waits for the store in flight however the run is left, so that no task
// outlives the frame it writes.
struct JoinOnExit {
    tbb::task_group& Group;
    ~JoinOnExit()
    {
        try {
            Group.wait();
        } catch (...) {
        }
    }
};

void Show(ResultView& view, RasterImage&& frame)
{
    view.SetPicture(std::move(frame));
    view.RefreshView();
}
}  // namespace

void SetFramesOneAfterTheOther(bool on) { g_oneAfterTheOther = on; }

bool StoreFrames(const std::vector<int32_t>& frames, OutputKind kind, const std::string& base,
                 const FrameMaker& makeFrame, ResultView& view)
{
    const bool movie = kind == OutputKind::Avi;
    const bool overlap = !g_oneAfterTheOther;
    std::unique_ptr<Store> pending;  // declared before the group: the group is joined first
    tbb::task_group writer;
    const JoinOnExit join{writer};

    // Waits for the store in flight and reports it as a plain run would
    // have right after it: its messages, the movie finished if it failed,
    // the frame to the view. True when it failed.
    auto endStore = [&] {
        writer.wait();  // an exception of the store comes out here, on this thread
        std::unique_ptr<Store> done = std::move(pending);
        done->Messages.Show();
        if (done->Failed && movie)
            AviFinish();
        Show(view, std::move(done->Frame));
        return done->Failed;
    };
    // Files that are complete reach the disk once, not one by one.
    auto end = [&](bool failed) {
        SyncFolderOf(movie ? MovieFileName(base) : FrameFileName(base, 1, kind));
        return failed;
    };

    for (const int32_t k : frames) {
        RasterImage frame;
        HeldMessages made;  // shown only once the store beside it is known to be good
        if (pending)
            made.Begin();
        bool failed = makeFrame(k, frame);
        made.End();
        if (pending && endStore())
            return end(true);  // a plain run would not have begun this frame
        made.Show();
        if (failed) {
            if (movie)
                AviFinish();
            if (frame.Allocated)
                Show(view, std::move(frame));
            return end(true);
        }
        pending = std::make_unique<Store>();
        pending->K = k;
        pending->Frame = std::move(frame);
        writer.run([p = pending.get(), kind, &base] {
            p->Messages.Begin();
            try {
                p->Failed =
                    kind == OutputKind::Avi ? AviWriteFrame(p->Frame)
                                            : SavePicture(FrameFileName(base, p->K, kind), p->Frame);
            } catch (...) {
                p->Messages.End();
                throw;
            }
            p->Messages.End();
        });
        if (!overlap && endStore())
            return end(true);
    }
    if (pending && endStore())
        return end(true);
    return end(movie && AviFinish());
}

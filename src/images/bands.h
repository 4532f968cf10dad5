// Lines of a picture split into bands over the oneTBB worker threads. A band
// may run on any thread and in any order, so what a line computes must
// depend on nothing but its inputs; then the bytes do not depend on the
// number of threads. Progress and messages stay with the thread that began
// the operation: workers only count, and the counts are reported from there.
#pragma once

#include <atomic>
#include <functional>
#include <limits>
#include <thread>

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

// Calls body(begin, end) for bands that together cover [0, count) once, at
// least grain lines each (but the last).
template <class Body>
void ForEachBand(int count, int grain, const Body& body)
{
    if (count <= 0)
        return;
    tbb::parallel_for(tbb::blocked_range<int>(0, count, grain > 0 ? grain : 1),
                      [&body](const tbb::blocked_range<int>& r) { body(r.begin(), r.end()); });
}

// Progress of an operation on lines done by bands. report(k) receives
// k = 1, 2, 3, ... in this order, each once, always on the thread that made
// this object: exactly the calls a loop over the lines one after the other
// would make after each of its lines, only bunched.
class LineProgress {
public:
    explicit LineProgress(std::function<void(int)> report)
        : Report(std::move(report)), Owner(std::this_thread::get_id()) {}
    LineProgress(const LineProgress&) = delete;
    LineProgress& operator=(const LineProgress&) = delete;

    // One more line done; from any thread. On the owner's thread the count
    // is reported, but never beyond cap.
    void LineDone(int cap = std::numeric_limits<int>::max())
    {
        const int done = Done.fetch_add(1, std::memory_order_relaxed) + 1;
        if (std::this_thread::get_id() == Owner)
            ReportUpTo(done < cap ? done : cap);
    }
    // After the bands, on the owner's thread: the counts not reported yet, up
    // to lines.
    void ReportUpTo(int lines)
    {
        // A report that lets pending events run may come back here (a repaint
        // whose scaling takes over a band); the outer loop goes on from there.
        if (Reporting)
            return;
        Reporting = true;
        while (Reported < lines)
            Report(++Reported);
        Reporting = false;
    }
    int LinesReported() const { return Reported; }

private:
    std::function<void(int)> Report;
    std::thread::id Owner;
    std::atomic<int> Done{0};
    int Reported = 0;
    bool Reporting = false;
};

#include "app/RowReading.h"

#include "app/ReportModel.h"

#include <QElapsedTimer>

#include <utility>

namespace {

// Short enough that a key typed meanwhile is answered at once.
constexpr qint64 kSliceMs = 8;
// How often a paused walk looks again.
constexpr int kPausedMs = 100;

} // namespace

TRowReading::TRowReading(TReportModel& model, std::function<void(int first, int last)> passed)
    : model_(model), passed_(std::move(passed))
{
    connect(&timer_, &QTimer::timeout, this, &TRowReading::slice);
}

void TRowReading::setPaused(std::function<bool()> paused)
{
    paused_ = std::move(paused);
}

void TRowReading::restart()
{
    next_ = 0;
    timer_.start(0);
}

void TRowReading::slice()
{
    if (paused_ && paused_()) {
        timer_.setInterval(kPausedMs);
        return;
    }
    timer_.setInterval(0);
    const int first = next_;
    const int count = model_.count();
    QElapsedTimer clock;
    clock.start();
    while (next_ < count && clock.elapsed() < kSliceMs) {
        // row() reads a row that was not read yet, once.
        static_cast<void>(model_.row(next_));
        ++next_;
    }
    if (next_ >= count)
        timer_.stop();
    if (next_ > first)
        passed_(first, next_ - 1);
}

#include "cli/Progress.h"

#include <chrono>
#include <unistd.h>

namespace cli {

namespace {

constexpr std::int64_t ShowAfterMs = 1000;
constexpr std::int64_t RedrawEveryMs = 100;

std::int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void writeAll(int fd, const QByteArray& bytes)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + at, std::size_t(bytes.size() - at));
        if (n <= 0)
            return; // a progress line is worth no error of its own
        at += n;
    }
}

} // namespace

Progress::Progress(const QString& label, std::size_t total)
    : Progress(label, total, STDERR_FILENO, ::isatty(STDERR_FILENO) == 1, steadyMs)
{
}

Progress::Progress(const QString& label, std::size_t total, int fd, bool terminal, Clock clock)
    : label_(label.toUtf8()), total_(total), fd_(fd), terminal_(terminal), clock_(std::move(clock)),
      start_(clock_())
{
}

Progress::~Progress()
{
    if (drawn_ >= 0)
        writeAll(fd_, "\r\033[K");
}

void Progress::update(std::size_t done)
{
    if (!terminal_)
        return;
    const std::int64_t now = clock_();
    if (now - start_ < ShowAfterMs || (drawn_ >= 0 && now - drawn_ < RedrawEveryMs))
        return;
    drawn_ = now;
    draw(done);
}

void Progress::draw(std::size_t done)
{
    writeAll(fd_, "\r\033[K" + label_ + "  " + QByteArray::number(qulonglong(done)) + '/' +
                      QByteArray::number(qulonglong(total_)));
}

} // namespace cli

#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace cli {

// "label  done/total" on standard error while a long run goes on: shown
// once the run has taken a second, only when the stream is a terminal (a
// script's log gets no carriage returns), redrawn at most ten times a second,
// and wiped when the run ends so the run's own lines start clean.
class Progress {
public:
    using Clock = std::function<std::int64_t()>; // milliseconds, steady

    Progress(const QString& label, std::size_t total);
    Progress(const QString& label, std::size_t total, int fd, bool terminal, Clock clock);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // `done` of the total items are finished.
    void update(std::size_t done);

private:
    void draw(std::size_t done);

    QByteArray label_;
    std::size_t total_;
    int fd_;
    bool terminal_;
    Clock clock_;
    std::int64_t start_;
    std::int64_t drawn_ = -1; // when the line was last drawn; -1 before the first time
};

} // namespace cli

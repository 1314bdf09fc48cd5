#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class TReportModel;

// Reads the tags of the rows no one has asked for yet, a few milliseconds at
// a time on the event loop, from the first row to the last. A folder of
// thousands of files is then read while the user looks at it, so that the
// filter's first key or a first sort finds the tags there, and the window
// still answers between two slices.
//
// A walk passes every row once. After each slice `passed` gets the rows it
// went over (read now or before): a row someone else read since the filter
// last looked at it is among them too.
class TRowReading : public QObject {
public:
    TRowReading(TReportModel& model, std::function<void(int first, int last)> passed);

    // Nothing is read while this says so (a batch writes the files, a
    // renaming renames them); the walk goes on once it no longer does.
    void setPaused(std::function<bool()> paused);
    // A walk from the first row: the rows are new or were moved.
    void restart();
    // A walk is under way.
    bool running() const { return timer_.isActive(); }

private:
    void slice();

    TReportModel& model_;
    std::function<void(int first, int last)> passed_;
    std::function<bool()> paused_;
    QTimer timer_;
    int next_ = 0; // the first row the walk has not passed
};

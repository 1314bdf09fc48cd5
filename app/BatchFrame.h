#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QTabWidget;

// What every batch operation of the main window shares: the log page while it
// runs, the progress bar over status panel 1, the three counters and the
// status texts. The operation visits the rows and acts on one file at a time;
// the frame counts and reports.
//
// While a run is on, the program takes no user input but repainting: no
// handler can rebuild the list under a running batch. Input returns with
// finish(), which also runs when the operation stopped on an error.
class TBatchFrame : public QObject {
public:
    struct Widgets {
        QTabWidget* pages = nullptr;
        QProgressBar* progress = nullptr;
        QLabel* operationPanel = nullptr; // status panel 0
        QLabel* totalsPanel = nullptr;    // status panel 2
        QPlainTextEdit* log = nullptr;
    };

    explicit TBatchFrame(const Widgets& widgets, QObject* parent = nullptr);
    ~TBatchFrame() override;

    // Log page active, progress 0..rows-1 shown, counters 0, running text.
    void begin(const QString& runningText, int rows);
    // One file acted on.
    void count(bool succeeded);
    // After a row: the totals (unless told not to), the progress, pending
    // events (here, in afterWrite and in stepTo at most every 40 ms).
    void afterRow(int row, bool showTotals = true);
    // After a file written once the rows were visited: the totals, then
    // pending events; the progress stays where the rows left it.
    void afterWrite();
    // The progress alone, then pending events.
    void stepTo(int row);
    // Completion text, progress hidden, the operation's own page again.
    void finish(const QString& completionText, int page);
    // A line of the log page. While a run is on, the lines wait for the next
    // repaint and go in together: laying out and scrolling the log once per
    // file costs more than writing the file.
    void appendLog(const QString& line);

    bool running() const { return running_; }
    int total() const { return total_; }
    int succeeded() const { return succeeded_; }
    int failed() const { return failed_; }
    void showTotals();

    static QString totalsText(int total, int succeeded, int failed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setInputBlocked(bool blocked);
    void processEvents();
    void flushLog();

    Widgets w_;
    bool running_ = false;
    int total_ = 0;
    int succeeded_ = 0;
    int failed_ = 0;
    QElapsedTimer sinceEvents_; // since the run last let events through
    QStringList pendingLog_;
};

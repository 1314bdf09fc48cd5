#pragma once

#include "operations/History.h"
#include "operations/Journal.h"
#include "operations/TagEditing.h"
#include "operations/TagText.h"
#include "platform/LegacyText.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace operations {

// What the window and the command line share for every command: the
// settings both read, one detector of legacy code pages, and the journal
// with its history, opened once. The journal's errors come back as one kind
// of message, a text the head shows as it shows any other problem.
class Core {
public:
    // The settings' values as read ("SysInfo"/"ShowId", "TextEncoding",
    // "LegacyCodePage"); a code page the platform does not know reads as GBK.
    struct Settings {
        int showId = 2;
        bool gbkText = false;
        QString legacyCodePage;
    };

    Core();
    explicit Core(const Settings& settings);
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;
    ~Core();

    void setSettings(const Settings& settings);
    // The number as set, and the priority it names (none outside 0..2). The
    // window shows the number and may set it for the next read.
    const int& showId() const { return showId_; }
    int& showId() { return showId_; }
    std::optional<Priority> priority() const { return priorityOf(showId_); }
    WriteEncoding encoding() const { return encoding_; }
    platform::LegacyCodePage codePage() const { return codePage_; }
    TextRules textRules() const { return {encoding_, codePage_, detector_.get()}; }
    platform::LegacyDetector& detector() const { return *detector_; }
    // A file's name as the list shows it: a name in legacy bytes read in its
    // code page.
    QString shownName(const QString& name) const;

    // What opening the journal found: its notices, the files whose
    // interrupted write was finished or left alone (native paths), and why it
    // could not be opened ("操作历史无法打开: ..."; empty when it was).
    struct Opening {
        std::vector<QString> notices;
        std::vector<std::string> recovered;
        std::vector<std::string> leftAlone;
        QString failure;
    };
    // Opens the journal (again), finishing the writes a crash interrupted.
    Opening openJournal();
    bool journalTried() const { return journalTried_; }
    // Null when it could not be opened (or has not been).
    Journal* journal() const { return journal_.get(); }
    History* history() const { return history_.get(); }

    // A step of renames, moves, trashing or a new folder, recorded once made
    // (nothing for none). Each gives the problem ("操作历史无法记录: ...") or
    // an empty text.
    QString record(StepKind kind, const std::vector<StepFile>& files);
    // What the last command wrote made durable, and the history trimmed.
    QString flush();

private:
    int showId_ = 2;
    WriteEncoding encoding_ = WriteEncoding::Unicode;
    platform::LegacyCodePage codePage_ = platform::LegacyCodePage::Gbk;
    std::unique_ptr<platform::LegacyDetector> detector_;
    std::unique_ptr<Journal> journal_;
    std::unique_ptr<History> history_;
    bool journalTried_ = false;
};

// The problem of a journal that cannot record, in words.
QString journalProblem(const std::exception& error);

} // namespace operations

#pragma once

#include "operations/Journal.h"
#include "operations/TagEditing.h"
#include "operations/TagText.h"
#include "platform/LegacyText.h"

#include <QJsonObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace cli {

struct Result;

// What every command of one run shares: the settings as the window reads
// them, one code-page detector, and the journal, opened when first needed.
class Context {
public:
    Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // "SysInfo"/"ShowId" of the settings; nullopt when it names no version.
    std::optional<operations::Priority> settingsPriority() const;
    int showId() const { return showId_; }
    operations::TextRules textRules();
    platform::LegacyDetector& detector() { return *detector_; }

    QJsonObject fileObject(const QString& path);
    // The file's name (its last component) as the window's list shows it:
    // a name that is not UTF-8 read in the legacy code page.
    QString shownName(const QString& path);
    platform::LegacyCodePage codePage() const { return codePage_; }

    // The window's journal; null when it cannot be opened (said in `result`
    // then). Writes interrupted by a crash are finished on opening.
    operations::Journal* journal(Result& result);
    // A step of renames or moves, recorded once they are made (nothing for
    // none); a journal that cannot take it is said in `result`.
    void recordMoves(operations::StepKind kind, const std::vector<operations::StepFile>& files,
                     Result& result);
    // The written bytes made durable and the history trimmed, as the window
    // does after each command.
    void flushJournal(Result& result);

private:
    int showId_ = 2;
    operations::WriteEncoding encoding_ = operations::WriteEncoding::Unicode;
    platform::LegacyCodePage codePage_ = platform::LegacyCodePage::Gbk;
    std::unique_ptr<platform::LegacyDetector> detector_;
    std::unique_ptr<operations::Journal> journal_;
    bool journalTried_ = false;
};

} // namespace cli

#pragma once

#include "operations/Core.h"

#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace cli {

struct Result;

// What every command of one run shares: the core the window has too, its
// settings read from the same file, and the journal opened when first needed.
class Context {
public:
    Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // "SysInfo"/"ShowId" of the settings; nullopt when it names no version.
    operations::Core& core() { return core_; }
    std::optional<operations::Priority> settingsPriority() const { return core_.priority(); }
    int showId() const { return core_.showId(); }
    operations::TextRules textRules() const { return core_.textRules(); }
    platform::LegacyDetector& detector() { return core_.detector(); }

    QJsonObject fileObject(const QString& path);
    // The file's name (its last component) as the window's list shows it:
    // a name that is not UTF-8 read in the legacy code page.
    QString shownName(const QString& path);
    platform::LegacyCodePage codePage() const { return core_.codePage(); }

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
    operations::Core core_;
};

} // namespace cli

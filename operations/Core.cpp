#include "operations/Core.h"

#include "platform/FileNameCodec.h"

using namespace Qt::StringLiterals;

namespace operations {

Core::Core() : detector_(std::make_unique<platform::LegacyDetector>()) {}

Core::Core(const Settings& settings) : Core()
{
    setSettings(settings);
}

Core::~Core() = default;

void Core::setSettings(const Settings& settings)
{
    showId_ = settings.showId;
    encoding_ = settings.gbkText ? WriteEncoding::Gbk : WriteEncoding::Unicode;
    codePage_ =
        platform::codePageFromName(settings.legacyCodePage).value_or(platform::LegacyCodePage::Gbk);
}

QString Core::shownName(const QString& name) const
{
    return platform::shownFileName(platform::encodeFileName(name), *detector_, codePage_);
}

Core::Opening Core::openJournal()
{
    Opening opening;
    history_.reset();
    journal_.reset();
    journalTried_ = true;
    try {
        auto journal = std::make_unique<Journal>(Journal::defaultFile());
        history_ = std::make_unique<History>(*journal);
        journal_ = std::move(journal);
        for (const std::string& notice : journal_->notices())
            opening.notices.push_back(QString::fromStdString(notice));
        opening.recovered = journal_->recovered();
        opening.leftAlone = journal_->leftAlone();
    } catch (const std::exception& e) {
        // The heads work on without it: every write then goes through a copy.
        history_.reset();
        journal_.reset();
        opening.failure = u"操作历史无法打开: "_s + QString::fromUtf8(e.what());
    }
    return opening;
}

QString Core::record(StepKind kind, const std::vector<StepFile>& files)
{
    if (!journal_ || files.empty())
        return {};
    try {
        journal_->record(kind, files);
    } catch (const JournalError& e) {
        return journalProblem(e);
    }
    return {};
}

QString Core::flush()
{
    if (!journal_)
        return {};
    try {
        journal_->flushWrites();
    } catch (const JournalError& e) {
        return journalProblem(e);
    }
    return {};
}

QString journalProblem(const std::exception& error)
{
    return u"操作历史无法记录: "_s + QString::fromUtf8(error.what());
}

} // namespace operations

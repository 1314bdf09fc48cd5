#include "cli/Context.h"

#include "cli/Output.h"
#include "platform/FileNameCodec.h"
#include "settings/IniFile.h"

using namespace Qt::StringLiterals;

namespace cli {

Context::Context() : detector_(std::make_unique<platform::LegacyDetector>())
{
    // The same keys and defaults as the window (TFormMain::readTextSettings).
    const TIniFile ini;
    showId_ = settings::readShowId(ini);
    encoding_ = settings::readTextEncoding(ini) == settings::TextEncoding::Gbk
                    ? operations::WriteEncoding::Gbk
                    : operations::WriteEncoding::Unicode;
    codePage_ = platform::codePageFromName(settings::readLegacyCodePage(ini))
                    .value_or(platform::LegacyCodePage::Gbk);
}

std::optional<operations::Priority> Context::settingsPriority() const
{
    return operations::priorityOf(showId_);
}

operations::TextRules Context::textRules()
{
    return {encoding_, codePage_, detector_.get()};
}

QJsonObject Context::fileObject(const QString& path)
{
    return cli::fileObject(path, *detector_, codePage_);
}

QString Context::shownName(const QString& path)
{
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    return platform::shownFileName(platform::encodeFileName(name), *detector_, codePage_);
}

operations::Journal* Context::journal(Result& result)
{
    if (journalTried_)
        return journal_.get();
    journalTried_ = true;
    try {
        journal_ = std::make_unique<operations::Journal>(operations::Journal::defaultFile());
        for (const std::string& notice : journal_->notices())
            result.warn(QString::fromStdString(notice));
        for (const std::string& path : journal_->recovered())
            result.errors.push_back(QByteArray::fromStdString(path) + ": 恢复了中断的写入");
        for (const std::string& path : journal_->leftAlone())
            result.errors.push_back(QByteArray::fromStdString(path) + ": 已被其他程序修改, 未恢复");
    } catch (const std::exception& e) {
        result.warn(u"操作历史无法打开: "_s + QString::fromUtf8(e.what()));
    }
    return journal_.get();
}

void Context::recordMoves(operations::StepKind kind, const std::vector<operations::StepFile>& files,
                          Result& result)
{
    if (files.empty())
        return;
    operations::Journal* const journal = this->journal(result);
    if (!journal)
        return;
    try {
        journal->record(kind, files);
    } catch (const operations::JournalError& e) {
        result.warn(u"操作历史无法记录: "_s + QString::fromUtf8(e.what()));
    }
}

void Context::flushJournal(Result& result)
{
    if (!journal_)
        return;
    try {
        journal_->flushWrites();
    } catch (const operations::JournalError& e) {
        result.warn(u"操作历史无法记录: "_s + QString::fromUtf8(e.what()));
    }
}

} // namespace cli

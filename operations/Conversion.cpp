#include "operations/Conversion.h"

#include "operations/EncodingRepair.h"
#include "operations/TagWrites.h"

using namespace Qt::StringLiterals;

namespace operations {

Conversion::Conversion(Journal* journal, const TextRules& rules, AfterFile afterFile)
    : rules_(rules), afterFile_(std::move(afterFile)),
      batch_(journal, StepKind::Conversion,
             [this](std::size_t index, const Outcome& written) { report(index, written); })
{
}

std::size_t Conversion::add(const QString& path, std::optional<platform::LegacyCodePage> codePage)
{
    PreparedConversion prepared = prepareConversion(v1_, v2_, path, codePage, rules_);
    Waiting file{{{path, true, {}}, prepared.converted}, false};
    if (!prepared.converted) {
        waiting_.push_back(std::move(file));
        return batch_.fail({});
    }
    if (!prepared.change) {
        file.result.file.succeeded = false;
        file.result.file.reason = u"编码转换失败: "_s + failureReason(path);
        waiting_.push_back(std::move(file));
        return batch_.fail({});
    }
    file.changing = true;
    waiting_.push_back(std::move(file));
    return batch_.add(std::move(*prepared.change));
}

std::size_t Conversion::fail(const QString& path, const QString& reason)
{
    waiting_.push_back({{{path, false, reason}, true}, false});
    return batch_.fail({});
}

void Conversion::finish()
{
    batch_.finish();
}

void Conversion::report(std::size_t index, const Outcome& written)
{
    Waiting file = std::move(waiting_.front());
    waiting_.pop_front();
    if (file.changing && !written.succeeded) {
        file.result.file.succeeded = false;
        file.result.file.reason = written.message;
    }
    afterFile_(index, file.result);
}

} // namespace operations

#include "operations/CopyCommand.h"

#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

using namespace Qt::StringLiterals;

namespace operations {

namespace {

StepKind kindOf(CopyDirection direction)
{
    return direction == CopyDirection::V1ToV2 ? StepKind::CopyV1ToV2 : StepKind::CopyV2ToV1;
}

} // namespace

CopyCommand::CopyCommand(CopyDirection direction, bool overwrite, const TextRules& rules)
    : direction_(direction),
      command_(kindOf(direction),
               [direction, overwrite, rules, noSource = this->noSource()](const QString& path) {
                   // Fresh objects for each file: nothing of one file reaches the next.
                   TID3v1 v1;
                   TID3v2 v2;
                   PreparedCopy copy = prepareCopy(v1, v2, direction, overwrite, path, rules);
                   TagMaking made;
                   made.change = std::move(copy.change);
                   if (!made.change)
                       made.reason = copy.now.message.isEmpty() ? noSource : copy.now.message;
                   return made;
               })
{
}

QString CopyCommand::noSource() const
{
    return direction_ == CopyDirection::V1ToV2 ? u"没有ID3v1标签"_s : u"没有ID3v2标签"_s;
}

} // namespace operations

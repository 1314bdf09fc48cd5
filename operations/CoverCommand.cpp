#include "operations/CoverCommand.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

TagMaking madeOf(std::optional<tags::TagChange> change, QString reason, bool removal)
{
    TagMaking made;
    if (change && !change->changes()) {
        made.due = false;
        made.reason = CoverCommand::nothingToDo(removal);
        return made;
    }
    made.change = std::move(change);
    made.reason = std::move(reason);
    return made;
}

} // namespace

CoverCommand::CoverCommand(MakeTagChange make) : command_(StepKind::Cover, std::move(make)) {}

CoverCommand CoverCommand::setting(const CoverImage& image, const TextRules& rules)
{
    return CoverCommand([image, rules](const QString& path) {
        QString reason;
        auto change = setCoverChange(path, image, &reason, rules);
        return madeOf(std::move(change), std::move(reason), false);
    });
}

CoverCommand CoverCommand::removing()
{
    return CoverCommand([](const QString& path) {
        QString reason;
        auto change = removeCoverChange(path, &reason);
        return madeOf(std::move(change), std::move(reason), true);
    });
}

QString CoverCommand::nothingToDo(bool removal)
{
    return removal ? u"没有封面"_s : u"已是这张封面"_s;
}

} // namespace operations

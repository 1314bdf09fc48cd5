#include "operations/RenamePlan.h"

#include "operations/Renaming.h"
#include "platform/FileNameCodec.h"

#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

// Names that are one name on this file system have one key.
QString keyOf(const QString& name, const platform::NameRules& rules)
{
    return rules.ignoresCase ? name.toCaseFolded() : name;
}

void markConflict(PlannedName& row, const QString& note)
{
    row.state = PlanState::Conflict;
    row.note = note;
}

PlannedName firstLook(const NameSource& row, const platform::NameRules& rules)
{
    PlannedName planned{row.name, {}, PlanState::Rename, {}};
    if (isEmptyName(row.stem)) {
        planned.state = PlanState::Empty;
        planned.note = u"新文件名为空"_s;
        return planned;
    }
    planned.newName = row.stem + u".MP3"_s;
    if (planned.newName == row.name) {
        planned.state = PlanState::Unchanged;
    } else if (const QString why = nameProblem(planned.newName, rules); !why.isEmpty()) {
        planned.state = PlanState::Invalid;
        planned.note = why;
    }
    return planned;
}

// "Song.mp3" and 2: "Song (2).mp3".
QString numberedName(const QString& name, int n)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    const qsizetype cut = dot > 0 ? dot : name.size();
    return name.left(cut) + u" ("_s + QString::number(n) + u')' + name.mid(cut);
}

// Marks the rows whose new names clash, as planRenames says.
void settleClashes(std::vector<PlannedName>& plan, const std::vector<QString>& folderEntries,
                   const platform::NameRules& rules, const NameShower& shown)
{
    const auto show = [&shown](const QString& name) {
        return shown ? shown(name) : name;
    };

    // How many entries of each name stay where they are, and which rows want
    // each name.
    QHash<QString, int> staying;
    QHash<QString, QString> holder; // an entry of each name, as the folder spells it
    staying.reserve(qsizetype(folderEntries.size()));
    for (const QString& entry : folderEntries) {
        const QString key = keyOf(entry, rules);
        ++staying[key];
        holder.insert(key, entry);
    }
    QHash<QString, std::vector<std::size_t>> wanting;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        if (plan[i].state != PlanState::Rename)
            continue;
        const auto it = staying.find(keyOf(plan[i].name, rules));
        if (it != staying.end() && *it > 0)
            --*it; // it leaves its name
        wanting[keyOf(plan[i].newName, rules)].push_back(i);
    }

    std::vector<std::size_t> stopped; // rows that keep their names after all
    for (const std::vector<std::size_t>& rivals : std::as_const(wanting)) {
        if (rivals.size() < 2)
            continue;
        for (const std::size_t i : rivals) {
            const std::size_t other = rivals[i == rivals[0] ? 1 : 0];
            markConflict(plan[i], u"与“%1”的新文件名相同"_s.arg(show(plan[other].name)));
            stopped.push_back(i);
        }
    }
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const QString key = keyOf(plan[i].newName, rules);
        if (plan[i].state == PlanState::Rename && staying.value(key) > 0) {
            markConflict(plan[i], u"文件夹中已有“%1”"_s.arg(show(holder.value(key))));
            stopped.push_back(i);
        }
    }
    // A row that keeps its name keeps it from the row that wanted it.
    while (!stopped.empty()) {
        const std::size_t i = stopped.back();
        stopped.pop_back();
        const auto it = wanting.constFind(keyOf(plan[i].name, rules));
        if (it == wanting.constEnd())
            continue;
        for (const std::size_t j : *it) {
            if (plan[j].state != PlanState::Rename)
                continue;
            markConflict(plan[j], u"“%1”不能改名,仍占着这个名字"_s.arg(show(plan[i].name)));
            stopped.push_back(j);
        }
    }
}

} // namespace

QString stateText(PlanState state)
{
    switch (state) {
    case PlanState::Rename:
        return u"重命名"_s;
    case PlanState::Unchanged:
        return u"不变"_s;
    case PlanState::Conflict:
        return u"冲突"_s;
    case PlanState::Empty:
        return u"空文件名"_s;
    case PlanState::Invalid:
        return u"无效"_s;
    }
    return {};
}

PlanCounts countPlan(const std::vector<PlannedName>& plan)
{
    PlanCounts counts;
    for (const PlannedName& row : plan) {
        switch (row.state) {
        case PlanState::Rename:
            ++counts.rename;
            break;
        case PlanState::Unchanged:
            ++counts.unchanged;
            break;
        case PlanState::Conflict:
            ++counts.conflict;
            break;
        case PlanState::Empty:
            ++counts.empty;
            break;
        case PlanState::Invalid:
            ++counts.invalid;
            break;
        }
    }
    return counts;
}

QString nameProblem(const QString& name, const platform::NameRules& rules)
{
    const std::size_t bytes = std::size_t(platform::encodeFileName(name).size());
    if (bytes > rules.maxBytes)
        return u"文件名过长(%1 字节,最多 %2 字节)"_s.arg(bytes).arg(rules.maxBytes);
    if (rules.maxUnits > 0 && std::size_t(name.size()) > rules.maxUnits)
        return u"文件名过长(%1 个字符,最多 %2 个)"_s.arg(name.size()).arg(rules.maxUnits);
    for (const QChar c : name) {
        if (rules.refusesControls && c.unicode() < 0x20)
            return u"含有文件系统不允许的控制字符 0x%1"_s.arg(int(c.unicode()), 2, 16, QChar(u'0'));
        if (rules.refused.contains(c) || c == u'/' || c == QChar(u'\0'))
            return u"含有文件系统不允许的字符“%1”"_s.arg(c);
    }
    return {};
}

std::vector<PlannedName> planRenames(const std::vector<NameSource>& rows,
                                     const std::vector<QString>& folderEntries,
                                     const platform::NameRules& rules, const NameShower& shown)
{
    std::vector<PlannedName> plan;
    plan.reserve(rows.size());
    for (const NameSource& row : rows)
        plan.push_back(firstLook(row, rules));
    settleClashes(plan, folderEntries, rules, shown);
    return plan;
}

std::vector<PlannedName> planNewNames(const std::vector<NameChange>& rows,
                                      const std::vector<QString>& folderEntries,
                                      const platform::NameRules& rules, const NameShower& shown)
{
    std::vector<PlannedName> plan;
    plan.reserve(rows.size());
    for (const NameChange& row : rows) {
        PlannedName planned{row.name, row.newName, PlanState::Rename, {}};
        if (row.newName == row.name)
            planned.state = PlanState::Unchanged;
        else if (const QString why = nameProblem(row.newName, rules); !why.isEmpty())
            planned = {row.name, row.newName, PlanState::Invalid, why};
        plan.push_back(std::move(planned));
    }
    settleClashes(plan, folderEntries, rules, shown);
    return plan;
}

std::vector<PlannedName> planMoves(const std::vector<QString>& names,
                                   const std::vector<QString>& targetEntries,
                                   const platform::NameRules& rules, ClashChoice choice)
{
    QSet<QString> taken;
    taken.reserve(qsizetype(targetEntries.size() + names.size()));
    for (const QString& entry : targetEntries)
        taken.insert(keyOf(entry, rules));
    std::vector<PlannedName> plan;
    plan.reserve(names.size());
    for (const QString& name : names) {
        PlannedName planned{name, name, PlanState::Rename, {}};
        if (taken.contains(keyOf(name, rules))) {
            if (choice == ClashChoice::Skip) {
                markConflict(planned, u"目标文件夹已有同名的项"_s);
                plan.push_back(std::move(planned));
                continue;
            }
            int n = 2;
            while (taken.contains(keyOf(numberedName(name, n), rules)))
                ++n;
            planned.newName = numberedName(name, n);
        }
        if (const QString why = nameProblem(planned.newName, rules); !why.isEmpty()) {
            planned.state = PlanState::Invalid;
            planned.note = why;
        } else {
            taken.insert(keyOf(planned.newName, rules));
        }
        plan.push_back(std::move(planned));
    }
    return plan;
}

} // namespace operations

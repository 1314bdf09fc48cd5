#include "operations/NameBatch.h"

#include "operations/MoveBatch.h"
#include "operations/Renaming.h"
#include "platform/FileNameCodec.h"
#include "platform/FolderNames.h"
#include "platform/NativePath.h"
#include "platform/SystemError.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <cerrno>
#include <map>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

QString folderOf(const QString& absolutePath)
{
    return absolutePath.left(absolutePath.lastIndexOf(u'/') + 1);
}

QString nameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// The jobs that can go on, by the folder of their file: a plan is made per
// folder, against that folder's names and file system.
std::map<QString, std::vector<std::size_t>> jobsByFolder(const std::vector<NameJob>& jobs)
{
    std::map<QString, std::vector<std::size_t>> byFolder;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!jobs[i].error)
            byFolder[folderOf(jobs[i].path)].push_back(i);
    }
    return byFolder;
}

// A folder's plan into its jobs: a row that cannot take its name fails.
void takePlan(std::vector<NameJob>& jobs, const std::vector<std::size_t>& members,
              const std::vector<PlannedName>& plan)
{
    for (std::size_t k = 0; k < members.size(); ++k) {
        NameJob& job = jobs[members[k]];
        job.plan = plan[k];
        if (job.plan.state != PlanState::Rename && job.plan.state != PlanState::Unchanged)
            job.error = job.plan.note.isEmpty() ? stateText(job.plan.state) : job.plan.note;
    }
}

// An unreadable folder hides no name that matters: no move replaces anything.
std::vector<QString> entriesOf(const QString& folder)
{
    return platform::FolderEntries(folder).value_or(std::vector<QString>{});
}

} // namespace

std::vector<NameJob> nameJobs(const std::vector<QString>& paths)
{
    std::vector<NameJob> jobs;
    jobs.reserve(paths.size());
    for (const QString& path : paths)
        jobs.push_back({path, {}, {}, {}, false});
    return jobs;
}

void planPatternNames(std::vector<NameJob>& jobs, const QString& pattern, Priority priority,
                      const TextRules& rules, const NameShower& shown,
                      const std::function<void()>& reading)
{
    TID3v1 v1;
    TID3v2 v2;
    for (const auto& [folder, members] : jobsByFolder(jobs)) {
        std::vector<NameSource> sources;
        for (const std::size_t i : members) {
            if (reading)
                reading();
            const auto tags = readShownTags(v1, v2, priority, jobs[i].path, rules);
            sources.push_back(
                {nameOf(jobs[i].path), substitutePattern(pattern, patternValues(tags))});
        }
        takePlan(jobs, members,
                 planRenames(sources, entriesOf(folder), platform::NameRulesOf(folder), shown));
    }
}

void planRepairedNames(std::vector<NameJob>& jobs, platform::LegacyDetector& detector,
                       platform::LegacyCodePage preferred, const NameShower& shown)
{
    for (const auto& [folder, members] : jobsByFolder(jobs)) {
        std::vector<NameChange> changes;
        for (const std::size_t i : members) {
            const QString name = nameOf(jobs[i].path);
            const QByteArray native = platform::encodeFileName(name);
            const auto repaired = platform::repairedFileName(native, detector, preferred);
            if (!repaired && !platform::isUtf8Name(native))
                jobs[i].error = u"无法确定编码"_s;
            changes.push_back({name, repaired.value_or(name)});
        }
        takePlan(jobs, members,
                 planNewNames(changes, entriesOf(folder), platform::NameRulesOf(folder), shown));
    }
}

std::vector<NameJob> jobsOfPlan(const QString& folder, const std::vector<PlannedName>& plan,
                                const std::function<bool(const QString& name)>& present)
{
    std::vector<NameJob> jobs;
    for (const PlannedName& planned : plan) {
        if (!present(planned.name))
            continue; // a row gone meanwhile is no file of this run
        NameJob job{folder + planned.name, planned, {}, {}, false};
        if (planned.state != PlanState::Rename && planned.state != PlanState::Unchanged)
            job.error = planned.note.isEmpty() ? stateText(planned.state) : planned.note;
        jobs.push_back(std::move(job));
    }
    return jobs;
}

std::vector<StepFile> moveJobs(std::vector<NameJob>& jobs,
                               const std::function<void(std::size_t)>& finished)
{
    std::vector<ItemMove> moves;
    std::vector<std::size_t> jobOf;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!jobs[i].error && jobs[i].plan.state == PlanState::Rename) {
            moves.push_back({jobs[i].path, folderOf(jobs[i].path) + jobs[i].plan.newName});
            jobOf.push_back(i);
        }
    }
    std::size_t made = 0;
    const auto results = moveAll(moves, [&](std::size_t, const MoveDone&) {
        if (finished)
            finished(++made);
    });
    std::vector<StepFile> step;
    for (std::size_t m = 0; m < moves.size(); ++m) {
        NameJob& job = jobs[jobOf[m]];
        const MoveDone& done = results[m];
        job.moved = done.moved;
        if (!done.moved) {
            job.error =
                done.error == EEXIST ? u"已有同名的文件"_s : platform::SystemErrorText(done.error);
            job.at = done.at;
        }
        if (done.moved || !done.at.isEmpty()) {
            StepFile file;
            file.from = platform::NativePath(moves[m].from);
            file.to = platform::NativePath(done.moved ? moves[m].to : done.at);
            step.push_back(std::move(file));
        }
    }
    return step;
}

void planGivenNames(std::vector<NameJob>& jobs, const std::vector<QString>& newNames,
                    const NameShower& shown)
{
    for (const auto& [folder, members] : jobsByFolder(jobs)) {
        std::vector<NameChange> changes;
        changes.reserve(members.size());
        for (const std::size_t i : members)
            changes.push_back({nameOf(jobs[i].path), newNames[i]});
        takePlan(jobs, members,
                 planNewNames(changes, entriesOf(folder), platform::NameRulesOf(folder), shown));
    }
}

} // namespace operations

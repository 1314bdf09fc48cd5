#include "operations/ToolCommand.h"

#include "operations/TagWrites.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QHash>

#include <array>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

constexpr std::array<std::pair<ToolKind, const char16_t*>, 7> kToolNames{{
    {ToolKind::Number, u"number"},
    {ToolKind::Case, u"case"},
    {ToolKind::Replace, u"replace"},
    {ToolKind::Format, u"format"},
    {ToolKind::Chinese, u"chinese"},
    {ToolKind::HalfWidth, u"halfwidth"},
    {ToolKind::StripAds, u"strip-ads"},
}};

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

QString nameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// "3/12" gives "3".
QString trackNumberOf(const QString& track)
{
    return track.section(u'/', 0, 0);
}

// The pattern's placeholders in one pass: a value that holds "%2" keeps it.
QString formatted(const QString& pattern, const ShownTags& tags)
{
    static constexpr std::array<Field, 9> kPlaceholders{
        Field::Title,   Field::Artist, Field::Album, Field::Year,       Field::Genre,
        Field::Comment, Field::Track,  Field::Disc,  Field::AlbumArtist};
    QString out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        const QChar next = i + 1 < pattern.size() ? pattern.at(i + 1) : QChar();
        if (c == u'%' && next >= u'1' && next <= u'9') {
            out += tags.value(kPlaceholders[std::size_t(next.unicode() - u'1')]);
            ++i;
        } else if (c == u'%' && next == u'n') {
            out += trackNumberOf(tags.track);
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

bool sameTexts(const ShownTags& a, const ShownTags& b)
{
    for (const Field field : kAllFields)
        if (a.value(field) != b.value(field))
            return false;
    return a.hasTag == b.hasTag;
}

// "歌.mp3" is "歌" and ".mp3"; a name without a dot is all stem.
std::pair<QString, QString> splitName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0)
        return {name, QString()};
    return {name.left(dot), name.mid(dot)};
}

std::vector<QString> pathsOf(const std::vector<ToolFile>& files)
{
    std::vector<QString> paths;
    paths.reserve(files.size());
    for (const ToolFile& file : files)
        paths.push_back(file.path);
    return paths;
}

} // namespace

QString toolName(ToolKind kind)
{
    for (const auto& [k, name] : kToolNames)
        if (k == kind)
            return QString::fromUtf16(name);
    return {};
}

std::optional<ToolKind> toolNamed(const QString& name)
{
    for (const auto& [kind, known] : kToolNames)
        if (name == QStringView(known))
            return kind;
    return std::nullopt;
}

QString editFieldName(const std::optional<Field>& field)
{
    if (!field)
        return u"文件名"_s;
    switch (*field) {
    case Field::Title:
        return u"标题"_s;
    case Field::Artist:
        return u"作者"_s;
    case Field::Album:
        return u"专辑"_s;
    case Field::Year:
        return u"年代"_s;
    case Field::Genre:
        return u"类型"_s;
    case Field::Comment:
        return u"备注"_s;
    case Field::Track:
        return u"音轨"_s;
    case Field::Disc:
        return u"碟号"_s;
    case Field::AlbumArtist:
        return u"专辑艺术家"_s;
    case Field::Composer:
        return u"作曲"_s;
    case Field::Lyrics:
        return u"歌词"_s;
    }
    return {};
}

TextTool::TextTool(ToolSettings settings) : settings_(std::move(settings))
{
    switch (settings_.kind) {
    case ToolKind::Number:
        // Numbers go to the track, and nowhere else.
        settings_.fields = {Field::Track};
        settings_.fileName = false;
        break;
    case ToolKind::Format:
        settings_.fileName = false;
        break;
    case ToolKind::Replace:
        replacer_ = std::make_unique<TextReplacer>(settings_.find, settings_.replacement,
                                                   settings_.regex, settings_.caseSensitive);
        if (const QString why = replacer_->error(); !why.isEmpty())
            error_ = u"正则表达式有误: "_s + why;
        if (error_.isEmpty() && settings_.find.isEmpty())
            error_ = u"请输入要查找的文字"_s;
        break;
    case ToolKind::Chinese:
        converter_ = std::make_unique<ChineseConverter>(settings_.direction);
        error_ = converter_->error();
        break;
    case ToolKind::StripAds:
        stripper_ = std::make_unique<AdStripper>(settings_.adPatterns);
        if (!stripper_->errors().isEmpty())
            error_ = u"正则表达式有误: "_s + stripper_->errors().join(u"; "_s);
        break;
    case ToolKind::Case:
    case ToolKind::HalfWidth:
        break;
    }
    if (error_.isEmpty() && settings_.fields.empty() && !settings_.fileName)
        error_ = u"请选择要处理的字段"_s;
}

void TextTool::setRun(const std::vector<QString>& paths)
{
    if (settings_.kind != ToolKind::Number)
        return;
    std::vector<QString> folders;
    folders.reserve(paths.size());
    for (const QString& path : paths)
        folders.push_back(folderOf(path));
    numbers_ = trackNumbers(folders, settings_.numbering);
}

QString TextTool::apply(const QString& text, std::size_t index, const std::optional<Field>& field,
                        const ShownTags& tags) const
{
    if (!error_.isEmpty())
        return text;
    switch (settings_.kind) {
    case ToolKind::Number:
        return field == Field::Track && index < numbers_.size() ? numbers_[index] : text;
    case ToolKind::Case:
        return changeCase(text, settings_.caseMode);
    case ToolKind::Replace:
        return replacer_->apply(text);
    case ToolKind::Format:
        return field ? formatted(settings_.pattern, tags) : text;
    case ToolKind::Chinese:
        return converter_->convert(text);
    case ToolKind::HalfWidth:
        return toHalfWidth(text);
    case ToolKind::StripAds:
        return stripper_->apply(text);
    }
    return text;
}

std::vector<ToolEdit> TextTool::editsOf(std::size_t index, const ShownTags& tags,
                                        const QString& fileName) const
{
    std::vector<ToolEdit> edits;
    if (!error_.isEmpty())
        return edits;
    for (const Field field : settings_.fields) {
        const QString& before = tags.value(field);
        QString after = apply(before, index, field, tags);
        if (after == before)
            continue;
        ToolEdit edit{index, field, before, std::move(after), {}};
        if (!acceptsValue(field, edit.after))
            edit.error = u"不是\"n\"或\"n/总数\"形式的数字"_s;
        edits.push_back(std::move(edit));
    }
    if (settings_.fileName) {
        const auto [stem, extension] = splitName(fileName);
        const QString after = apply(stem, index, std::nullopt, tags) + extension;
        if (after != fileName)
            edits.push_back({index, std::nullopt, fileName, after, {}});
    }
    return edits;
}

std::vector<ToolFile> readToolFiles(const std::vector<QString>& paths, Priority priority,
                                    const TextRules& rules)
{
    std::vector<ToolFile> files;
    files.reserve(paths.size());
    TID3v1 v1;
    TID3v2 v2;
    for (const QString& path : paths)
        files.push_back({path, readShownTags(v1, v2, priority, path, rules)});
    return files;
}

std::vector<ToolEdit> previewTool(TextTool& tool, const std::vector<ToolFile>& files,
                                  const NameShower& shown)
{
    tool.setRun(pathsOf(files));
    std::vector<ToolEdit> edits;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const QString name = shown ? shown(nameOf(files[i].path)) : nameOf(files[i].path);
        for (ToolEdit& edit : tool.editsOf(i, files[i].tags, name))
            edits.push_back(std::move(edit));
    }
    if (tool.settings().fileName) {
        // Name edits that the plan refuses say why, as the renaming's plan does.
        const std::vector<NameJob> jobs = toolNameJobs(edits, files, shown);
        std::size_t j = 0;
        for (ToolEdit& edit : edits) {
            if (edit.field)
                continue;
            if (jobs[j].error)
                edit.error = *jobs[j].error;
            ++j;
        }
    }
    return edits;
}

StepKind toolStepKind(const std::vector<NameJob>& jobs)
{
    for (const NameJob& job : jobs) {
        if (!job.error && job.plan.state == PlanState::Rename)
            return StepKind::ToolsRename;
    }
    return StepKind::Tools;
}

TagCommand toolTagCommand(std::shared_ptr<TextTool> tool, const std::vector<ToolFile>& files,
                          Priority priority, const TextRules& rules, StepKind kind)
{
    tool->setRun(pathsOf(files));
    auto seen = std::make_shared<QHash<QString, std::pair<std::size_t, ShownTags>>>();
    for (std::size_t i = 0; i < files.size(); ++i)
        seen->insert(files[i].path, {i, files[i].tags});
    return TagCommand(kind, [tool = std::shared_ptr<const TextTool>(tool), seen, priority,
                             rules](const QString& path) {
        TagMaking made;
        const auto it = seen->constFind(path);
        TID3v1 v1;
        TID3v2 v2;
        const ShownTags now = readShownTags(v1, v2, priority, path, rules);
        if (it == seen->cend() || !sameTexts(now, it->second)) {
            made.reason = u"文件已被其他程序修改"_s;
            return made;
        }
        FieldValues values;
        for (const ToolEdit& edit : tool->editsOf(it->first, now, nameOf(path)))
            if (edit.field && edit.error.isEmpty())
                values.value(*edit.field) = edit.after;
        if (!values.any()) {
            made.due = false;
            return made;
        }
        FieldChange change = changeFields(v1, v2, priority, path, values, rules);
        made.change = std::move(change.change);
        if (!made.change)
            made.reason = change.reason.isEmpty() ? failureReason(path) : change.reason;
        return made;
    });
}

std::vector<NameJob> toolNameJobs(const std::vector<ToolEdit>& edits,
                                  const std::vector<ToolFile>& files, const NameShower& shown)
{
    std::vector<QString> paths;
    std::vector<QString> newNames;
    for (const ToolEdit& edit : edits) {
        if (edit.field)
            continue;
        paths.push_back(files[edit.file].path);
        newNames.push_back(edit.after);
    }
    std::vector<NameJob> jobs = nameJobs(paths);
    planGivenNames(jobs, newNames, shown);
    return jobs;
}

} // namespace operations

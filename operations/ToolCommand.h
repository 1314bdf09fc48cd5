#pragma once

#include "operations/ChineseConverter.h"
#include "operations/NameBatch.h"
#include "operations/TagCommand.h"
#include "operations/TagEditing.h"
#include "operations/TextTools.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

// A text tool over many files as both heads run it: the preview of every
// text it changes, then the tags written as one step and the file names
// renamed by the plan's rules.
namespace operations {

enum class ToolKind { Number, Case, Replace, Format, Chinese, HalfWidth, StripAds };
// "number", "case", "replace", "format", "chinese", "halfwidth", "strip-ads".
QString toolName(ToolKind kind);
std::optional<ToolKind> toolNamed(const QString& name);

struct ToolSettings {
    ToolKind kind = ToolKind::Case;
    // The fields it changes: the track for numbering, the one field a format
    // sets; any of the texts for the others.
    std::vector<Field> fields;
    bool fileName = false; // the file name, without its extension
    Numbering numbering;
    CaseMode caseMode = CaseMode::Words;
    QString find, replacement;
    bool regex = false;
    bool caseSensitive = false;
    // "%1" title, "%2" artist, "%3" album, "%4" year, "%5" genre, "%6"
    // comment, "%7" track, "%8" disc, "%9" album artist, "%n" the track's
    // number without its total.
    QString pattern;
    QString direction = QStringLiteral("s2t"); // of the Chinese conversion
    QStringList adPatterns = AdStripper::presets();
};

// One text a tool changes: a row of the preview.
struct ToolEdit {
    std::size_t file = 0;       // its index among the files of the run
    std::optional<Field> field; // none: the file name
    QString before, after;
    QString error; // why it cannot be written; empty when it can
};

// The caption of an edit's field: "标题" ... or "文件名".
QString editFieldName(const std::optional<Field>& field);

// A tool made ready: its expressions compiled, its dictionaries loaded.
class TextTool {
public:
    explicit TextTool(ToolSettings settings);
    const ToolSettings& settings() const { return settings_; }
    // Empty when the tool can run; otherwise why not (a broken expression,
    // missing dictionaries, nothing chosen to act on).
    QString error() const { return error_; }

    // Numbering needs the folders of the whole run, in its order.
    void setRun(const std::vector<QString>& paths);
    // What the tool makes of one text of the file at `index`.
    QString apply(const QString& text, std::size_t index, const std::optional<Field>& field,
                  const ShownTags& tags) const;
    // The texts it changes in one file: its shown tags and its name.
    std::vector<ToolEdit> editsOf(std::size_t index, const ShownTags& tags,
                                  const QString& fileName) const;

private:
    ToolSettings settings_;
    QString error_;
    std::unique_ptr<TextReplacer> replacer_;
    std::unique_ptr<AdStripper> stripper_;
    std::unique_ptr<ChineseConverter> converter_;
    std::vector<QString> numbers_;
};

// A file of a run as the tool sees it: read once, so that a preview follows
// the dialog's every key without reading the files again.
struct ToolFile {
    QString path; // absolute
    ShownTags tags;
};
std::vector<ToolFile> readToolFiles(const std::vector<QString>& paths, Priority priority,
                                    const TextRules& rules);

// The preview of a run over files in the order given: every text that
// changes; new file names planned against their folders, an edit that cannot
// be made saying why (a name the file system refuses, two files wanting one).
std::vector<ToolEdit> previewTool(TextTool& tool, const std::vector<ToolFile>& files,
                                  const NameShower& shown = {});

// The tag command that writes the run's tag edits: each file's change made
// from the file as it is, which gives the preview's texts while the file is
// unchanged; one the preview read otherwise is refused. Its step is of
// `kind`: ToolsRename when names are to follow (operations/ToolsStep.h).
TagCommand toolTagCommand(std::shared_ptr<TextTool> tool, const std::vector<ToolFile>& files,
                          Priority priority, const TextRules& rules,
                          StepKind kind = StepKind::Tools);

// The kind of a run's step: ToolsRename when any of the jobs renames.
StepKind toolStepKind(const std::vector<NameJob>& jobs);

// The renaming jobs of the preview's file-name edits, planned again against
// the folders as they are now.
std::vector<NameJob> toolNameJobs(const std::vector<ToolEdit>& edits,
                                  const std::vector<ToolFile>& files, const NameShower& shown = {});

} // namespace operations

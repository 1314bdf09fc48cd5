#pragma once

#include "app/WindowLinks.h"

#include "operations/Core.h"
#include "operations/NameBatch.h"
#include "operations/RenamePlan.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QAction;
class QLineEdit;
class QMenu;
class QPushButton;
class QWidget;
class TBatchFrame;
class TRadioGroup;
class TReportList;
class TShellList;

// The renaming page: the name pattern, its presets and placeholders, and the
// renaming of the selected rows by it, planned whole (operations/RenamePlan)
// and shown before anything moves. Also the run of any renaming planned
// whole, which the repair of file names shares.
class TRenameController : public QObject {
public:
    struct Widgets {
        QLineEdit* pattern = nullptr;
        TRadioGroup* presets = nullptr;
        QPushButton* run = nullptr;
        QPushButton* addPlaceholder = nullptr;
        QMenu* placeholders = nullptr;
        // The menu's items for %1 .. %9.
        std::array<QAction*, 9> fields{};
        TShellList* folder = nullptr; // the folder the list shows
        TReportList* list = nullptr;
    };
    // What the controller needs of the window.
    struct Window : TWindowLinks {
        std::function<TBatchFrame&()> frame;
        std::function<void(int row, const QString& name)> setRowName;
        std::function<void(operations::StepKind kind,
                           const std::vector<operations::StepFile>& files)>
            recordStep;
        // The list stops (and starts again) reading files while names change.
        std::function<void(bool enabled)> setRefreshEnabled;
        std::function<void()> clearPage;
        // The captions changed: the name column fits them, the previews follow.
        std::function<void()> namesChanged;
    };

    TRenameController(const operations::Core& core, const Widgets& widgets, Window window);

    // "开始修改": the plan for the selected rows shown, and run if the user
    // says so.
    void renameSelected();
    // The renaming of the rows by the pattern, worked out against the folder;
    // with `readFiles` each file's tags as they are now, else the rows' cells.
    std::vector<operations::PlannedName> plan(const QString& folder, const std::vector<int>& rows,
                                              bool readFiles = false);
    // A renaming planned whole (operations/NameBatch) made in the batch frame,
    // each file logged in list order, its row given the new name. A step of
    // its own, or with `toolStep` part of a text tool's step, after its tags
    // (operations/ToolsStep.h; 0: the tags wrote nothing).
    using RowOfJob = std::function<int(const operations::NameJob& job)>;
    void runJobs(std::vector<operations::NameJob>& jobs, const QString& runningText,
                 const QString& failed, const RowOfJob& rowOf,
                 std::optional<std::int64_t> toolStep = std::nullopt);

    void presetChosen();
    void patternChanged();
    void showPlaceholders();
    void insertPlaceholder(const QString& placeholder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void runPlan(const QString& folder, const std::vector<operations::PlannedName>& plan);

    const operations::Core& core_;
    Widgets w_;
    Window window_;
    TID3v1 v1_;
    TID3v2 v2_;
    // Where the caret of the pattern was when it lost the focus (to the
    // button "属性(&V)", say), for the text it had then.
    QString patternText_;
    int patternCaret_ = -1;
};

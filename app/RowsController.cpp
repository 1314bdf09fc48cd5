#include "app/RowsController.h"

#include "app/PageController.h"
#include "app/ReportList.h"
#include "operations/FolderListing.h"
#include "operations/TagEditing.h"
#include "platform/FileNameCodec.h"
#include "platform/FileOps.h"
#include "shell/ShellControls.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QApplication>
#include <QHashFunctions>
#include <QLineEdit>
#include <QSet>
#include <QTimer>

#include <utility>
#include <vector>

class TRowsController::QuietSelection {
public:
    explicit QuietSelection(TRowsController& c) : c_(c) { ++c_.quiet_; }
    ~QuietSelection() { --c_.quiet_; }
    QuietSelection(const QuietSelection&) = delete;
    QuietSelection& operator=(const QuietSelection&) = delete;

private:
    TRowsController& c_;
};

TRowsController::TRowsController(const operations::Core& core, TPageController& page,
                                 const Widgets& widgets, Window window)
    : core_(core), page_(page), w_(widgets), window_(std::move(window)),
      tagV1_(std::make_unique<TID3v1>()), tagV2_(std::make_unique<TID3v2>())
{
    // The files may be written or renamed meanwhile, their rows not yet
    // told: read then, a row would show the tags of a file that is no more.
    w_.list->setReadingPaused(
        [this] { return !window_.refreshEnabled() || window_.changingFolder() || window_.busy(); });
    // A batch's writes are merged once it ends (its rows are rebuilt then).
    w_.files->setRefreshHeld([this] { return window_.busy(); });
}

TRowsController::~TRowsController()
{
    w_.list->setReadingPaused({});
    w_.files->setRefreshHeld({});
}

QString TRowsController::rowPath(int row) const
{
    return w_.files->Path() + rowName(row);
}

const QString& TRowsController::rowName(int row) const
{
    return w_.list->rows().name(row);
}

void TRowsController::nameRow(TReportRow& row, const QString& name) const
{
    row.name = name;
    const QByteArray bytes = platform::encodeFileName(name);
    row.legacyName = !platform::isUtf8Name(bytes);
    // The shown name shares the name's text unless the code page reads it.
    row.shown = row.legacyName ? core_.shownName(name) : name;
}

void TRowsController::setRowName(int row, const QString& name)
{
    w_.list->rows().renameRow(row, [&](TReportRow& r) { nameRow(r, name); });
}

void TRowsController::rebuild()
{
    if (!window_.refreshEnabled())
        return;
    const QuietSelection quiet(*this);
    w_.list->setRows({});
    const QString folder = w_.files->Path();
    shownFolder_ = folder;
    operations::tidyFolder(folder);
    std::vector<TReportRow> rows;
    {
        // Scoped: a folder's captions and names are freed before its rows
        // are laid out, which is when a big folder's memory peaks.
        QStringList captions;
        captions.reserve(w_.files->topLevelItemCount());
        for (int i = 0; i < w_.files->topLevelItemCount(); ++i)
            captions.append(w_.files->topLevelItem(i)->text(0));
        const std::vector<operations::ListedFile> files = operations::listedFiles(folder, captions);
        rows.reserve(files.size());
        for (const operations::ListedFile& file : files) {
            TReportRow& row = rows.emplace_back();
            nameRow(row, file.name);
            row.icon = std::uint8_t(file.index % 5 + 8);
        }
    }
    // Read when first needed: a folder's rows are far more than a screen.
    w_.list->rows().setReader([this, folder](TReportRow& row) { readRowTags(row, folder); });
    w_.list->setRows(std::move(rows));
    // Once per rebuild: sizing to the contents at every change of a caption
    // would cost the whole list each time.
    window_.rebuilt();
}

namespace {

// What a row keeps of the file's platform::FileStamp.
std::uint64_t stampOf(const QString& path)
{
    const QByteArray stamp = platform::FileStamp(path);
    return qHashBits(stamp.constData(), std::size_t(stamp.size()), 0);
}

} // namespace

// The row numbers its fields as the core does.
static_assert(int(operations::Field::Composer) == TReportRow::kFieldCount - 1);

void TRowsController::readRowTags(TReportRow& row, const QString& folder) const
{
    const QString path = folder + row.name;
    // Taken first: a write while the tags are read shows at the next look.
    row.stamp = stampOf(path);
    const auto p = core_.priority();
    const auto shown = p ? operations::readShownTags(*tagV1_, *tagV2_, *p, path, core_.textRules())
                         : operations::ShownTags{};
    row.hasTag = shown.hasTag;
    TReportRow::Fields fields;
    for (int f = 0; f < TReportRow::kFieldCount; ++f)
        fields[std::size_t(f)] = shown.value(operations::Field(f));
    row.setFields(fields);
}

void TRowsController::rereadRow(int row)
{
    w_.list->rows().rereadRow(row);
}

// Not under a running batch, a dialog of ours or a rebuild: `again` runs
// once that is over.
bool TRowsController::deferredWhileBusy(bool& pending, void (TRowsController::*again)())
{
    if (quiet_ == 0 && !window_.changingFolder() && !window_.busy() &&
        !QApplication::activeModalWidget())
        return false;
    if (!pending) {
        pending = true;
        QTimer::singleShot(500, window_.widget, [this, &pending, again] {
            pending = false;
            window_.guarded([this, again] { (this->*again)(); });
        });
    }
    return true;
}

void TRowsController::merged()
{
    if (!deferredWhileBusy(rebuildPending_, &TRowsController::merged))
        rebuildKeepingSelection();
}

void TRowsController::rewritten()
{
    if (!deferredWhileBusy(rereadPending_, &TRowsController::rewritten))
        refreshRewrittenRows();
}

// The command line, another tagger or this window wrote the file: its row
// shows the tags as they are now, and so does the page unless it holds the
// user's typing.
void TRowsController::refreshRewrittenRows()
{
    if (!window_.refreshEnabled())
        return;
    TReportList* list = w_.list;
    bool reread = false;
    bool pageFile = false;
    // The page may show thousands of files: looked up, not searched, per row.
    const QStringList shown = page_.files();
    const QSet<QString> pageFiles(shown.cbegin(), shown.cend());
    for (int i = 0; i < list->rowCount(); ++i) {
        // A row not read yet reads the file as it is when first needed.
        if (!list->rows().isRead(i))
            continue;
        const QString path = rowPath(i);
        if (list->row(i).stamp == stampOf(path))
            continue;
        rereadRow(i);
        reread = true;
        pageFile = pageFile || pageFiles.contains(path);
    }
    if (pageFile && !page_.page().isModified())
        page_.show(shown);
    if (reread)
        window_.schedulePreviews();
}

void TRowsController::rebuildKeepingSelection()
{
    TReportList* list = w_.list;
    QSet<QString> selected;
    for (const int row : list->selectedRows())
        selected.insert(rowName(row));
    const int current = list->currentRow();
    const QString currentCaption = current >= 0 ? rowName(current) : QString();
    const QString pageFile = w_.file->text();
    {
        // The page is left alone until the rows are back.
        const TPageController::Hold keep(page_);
        rebuild();
        const QuietSelection quiet(*this);
        std::vector<int> again;
        for (int i = 0; i < list->rowCount(); ++i) {
            if (rowName(i) == currentCaption)
                list->setCurrentRow(i);
            if (selected.contains(rowName(i)))
                again.push_back(i);
        }
        list->selectRows(again);
    }
    // A page emptied on purpose (after a renaming run) stays empty until the
    // user changes the selection.
    if (pageFile.isEmpty())
        return;
    const int first = list->firstSelectedRow();
    if (first >= 0 && rowPath(first) == pageFile) {
        // Still listed: typed edits stay; an unedited page shows the file anew.
        if (!page_.page().isModified() && window_.refreshEnabled())
            page_.reload(pageFile);
        return;
    }
    const QuietSelection quiet(*this);
    window_.selectionChanged();
}

void TRowsController::selectAll()
{
    w_.list->selectAll();
}

QString TRowsController::nextShownPath(int row) const
{
    // The first after the last is the first of the list.
    const int rows = w_.list->rowCount();
    for (int k = 1; k <= rows; ++k) {
        const int next = (row + k) % rows;
        if (!w_.list->isRowHidden(next, {}))
            return rowPath(next);
    }
    return {};
}

int TRowsController::findRow(const QString& path) const
{
    for (int i = 0; i < w_.list->rowCount(); ++i) {
        if (rowPath(i) == path)
            return i;
    }
    return -1;
}

void TRowsController::selectRowAfterSaved(const QString& path)
{
    const int before = w_.list->rowCount();
    int edited = findRow(path);
    // The row shown after the file's, known by its path: read again, the
    // rows are sorted again, and the file's new tags may sort it elsewhere.
    const QString nextPath = edited >= 0 ? nextShownPath(edited) : QString();
    if (edited < 0)
        edited = before;
    rebuild();
    w_.list->clearSelection();
    const QuietSelection quiet(*this);
    const int rows = w_.list->rowCount();
    if (rows == 0)
        return;
    int next = nextPath.isEmpty() ? -1 : findRow(nextPath);
    if (next < 0)
        next = edited == rows - 1 ? 0 : edited + 1;
    if (next < rows)
        w_.list->selectRows({next});
}

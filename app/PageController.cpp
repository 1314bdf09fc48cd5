// The property page of the main window: one file shown, edited and saved.

#include "app/PageController.h"

#include "app/Application.h"
#include "app/BatchFrame.h"
#include "app/ReportList.h"
#include "operations/PageSave.h"
#include "operations/SharedFields.h"
#include "operations/V1Target.h"
#include "platform/FileOps.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>

#include <exception>

using namespace Qt::StringLiterals;
using operations::Field;

namespace {

// What the priority is called in the tab's caption.
QString priorityName(int showId)
{
    static const std::array<QString, 3> names{u"ID3v1"_s, u"ID3v2"_s, u"ID3v2优先"_s};
    return showId >= 0 && showId < 3 ? names[std::size_t(showId)] : QString::number(showId);
}

// "保存修改吗?" with 是, 否 and 取消; Escape is 取消.
QMessageBox::StandardButton askSaveChanges(QWidget* parent)
{
    QMessageBox box(QMessageBox::Question, TApplication::title(), u"保存修改吗?"_s,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.button(QMessageBox::Yes)->setText(u"是"_s);
    box.button(QMessageBox::No)->setText(u"否"_s);
    box.button(QMessageBox::Cancel)->setText(u"取消"_s);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    return QMessageBox::StandardButton(box.exec());
}

// The batch frame's end, also when the run stops on an error.
class FrameEnd {
public:
    FrameEnd(TBatchFrame& frame, int page) : frame_(frame), page_(page) {}
    ~FrameEnd() { frame_.finish(u"修改属性完成"_s, page_); }
    FrameEnd(const FrameEnd&) = delete;
    FrameEnd& operator=(const FrameEnd&) = delete;

private:
    TBatchFrame& frame_;
    int page_;
};

} // namespace

TPageController::TPageController(operations::Core& core, const Widgets& widgets, Window window)
    : core_(core), w_(widgets), window_(std::move(window)), page_(widgets.fields)
{
    QWidget* const context = window_.widget;
    QObject::connect(w_.save, &QPushButton::clicked, context,
                     [this] { window_.guarded([this] { saveAndAdvance(); }); });
    // Enter in any field of the page saves, as a default button would.
    const TPropertyPage::Fields& f = w_.fields;
    for (QLineEdit* edit : {f.title, f.artist, f.album, f.year, f.comment, f.track, f.disc,
                            f.albumArtist, f.composer})
        QObject::connect(edit, &QLineEdit::returnPressed, w_.save, &QPushButton::click);
    QObject::connect(f.genre->lineEdit(), &QLineEdit::returnPressed, w_.save, &QPushButton::click);
    QObject::connect(w_.pages, &QTabWidget::currentChanged, context, [this](int index) {
        if (index == w_.pageIndex && sharedPending_)
            window_.guarded([this] { fillShared(); });
    });
}

QStringList TPageController::Files::paths() const
{
    QStringList all;
    all.reserve(names.size());
    for (const QString& name : names)
        all << folder + name;
    return all;
}

TPageController::Files TPageController::Files::of(const QStringList& paths)
{
    Files files;
    if (paths.isEmpty())
        return files;
    files.folder = paths.front().left(paths.front().lastIndexOf(u'/') + 1);
    files.names.reserve(paths.size());
    for (const QString& path : paths) {
        if (!path.startsWith(files.folder) || path.indexOf(u'/', files.folder.size()) >= 0)
            return {QString(), paths}; // not one folder's: kept whole
        files.names << path.mid(files.folder.size());
    }
    return files;
}

QString TPageController::file() const
{
    return files_.size() == 1 ? files_.path(0) : QString();
}

bool TPageController::pageShown() const
{
    return w_.pages->currentIndex() == w_.pageIndex;
}

TPageController::Files TPageController::selectedFiles()
{
    Files files;
    const std::vector<int> rows = w_.list->selectedRows();
    if (rows.empty())
        return files;
    const QString first = window_.rowPath(rows.front());
    files.folder = first.left(first.size() - window_.rowName(rows.front()).size());
    files.names.reserve(qsizetype(rows.size()));
    for (const int row : rows) {
        // The row is read with the page: its stamp is what tells a later
        // write to the file by another program. Several are read as the
        // page reads them.
        if (rows.size() == 1)
            static_cast<void>(w_.list->row(row));
        files.names << window_.rowName(row);
    }
    return files;
}

void TPageController::selectionChanged()
{
    if (held())
        return;
    const Files next = selectedFiles();
    if (!window_.quiet() && next != files_ && !leaveFor(next)) {
        reselectFiles();
        return;
    }
    if (next.isEmpty()) {
        clear();
        return;
    }
    if (!window_.refreshEnabled())
        return;
    // The same files again (the rows read anew): typed edits stay.
    if (next != files_ || !page_.isModified())
        showFiles(next);
    setActionsEnabled(true);
}

void TPageController::show(QStringList paths)
{
    showFiles(Files::of(paths));
}

void TPageController::showFiles(Files files)
{
    if (files.size() == 1)
        show(files.path(0));
    else
        showSeveral(std::move(files));
}

void TPageController::show(QString path)
{
    sharedPending_ = false;
    files_ = Files::of({path});
    seen_.clear();
    w_.file->setText(path);
    reload(path);
    showV1Target(path);
}

void TPageController::showSeveral(Files files)
{
    files_ = std::move(files);
    w_.file->setText(u"已选择 %1 个文件"_s.arg(files_.size()));
    window_.showCover(files_.path(0));
    seen_.clear();
    // Reading what thousands of files share takes seconds: a selection made
    // on another page (select all, then a batch) is read when the user
    // comes to this one.
    sharedPending_ = !pageShown();
    if (!sharedPending_)
        fillShared();
}

void TPageController::fillShared()
{
    sharedPending_ = false;
    for (const int row : w_.list->selectedRows())
        static_cast<void>(w_.list->row(row));
    const QStringList paths = files_.paths();
    const auto priority = core_.priority();
    operations::SharedFields shared = operations::readSharedFields(
        v1_, v2_, priority, {paths.begin(), paths.end()}, core_.textRules());
    TPropertyPage::Values values;
    for (const Field field : TPropertyPage::kFields)
        values.value(field) = shared.values[std::size_t(field)].value_or(TPropertyPage::keepText());
    page_.fill(values, !priority || operations::writesV2(*priority), true);
    page_.showLyrics(shared.withLyrics, std::size_t(paths.size()));
    seen_ = std::move(shared.seen);
    page_.markUnmodified();
    page_.setV1Target(priority && operations::writesV1(*priority), shared.commentWidth,
                      shared.codePage);
}

void TPageController::reload(const QString& path)
{
    // A page that cannot be filled from this file shows nothing of the file
    // shown before, so that a save writes only what is typed.
    if (!fillFromFile(path))
        page_.empty();
    page_.markUnmodified();
}

bool TPageController::fillFromFile(const QString& path)
{
    window_.showCover(path);
    const auto p = core_.priority();
    if (!p) {
        page_.showLyrics(QString());
        return false;
    }
    const auto shown = operations::readShownTags(v1_, v2_, *p, path, core_.textRules());
    // Whatever the priority shows: lyrics are ID3v2's only.
    page_.showLyrics(core_.textRules().forFile(v1_, v2_).shown(v2_.Lyrics));
    if (!shown.hasTag)
        return false;
    const auto& f = shown.fields;
    page_.fill({f[0], f[1], f[2], f[3], f[4], f[5], shown.track, shown.disc, shown.albumArtist,
                shown.composer},
               operations::writesV2(*p));
    return true;
}

// What the fit label measures against.
void TPageController::showV1Target(const QString& path)
{
    const auto target = operations::v1Target(v1_, v2_, core_.priority(), path, core_.textRules());
    page_.setV1Target(target.written, target.commentWidth, target.codePage);
}

void TPageController::clear()
{
    sharedPending_ = false;
    files_ = {};
    seen_.clear();
    w_.file->clear();
    page_.clear();
    setActionsEnabled(false);
}

void TPageController::setActionsEnabled(bool enabled)
{
    for (QPushButton* button : w_.actions)
        button->setEnabled(enabled);
}

void TPageController::setCaption()
{
    w_.pages->setTabText(w_.pageIndex, u"属性编辑("_s + priorityName(core_.showId()) + u')');
}

std::optional<operations::FieldValues> TPageController::changedValues()
{
    const TPropertyPage::Values now = page_.values();
    operations::FieldValues changed;
    for (const Field field : page_.changedFields()) {
        const QString& text = now.value(field);
        if (!operations::acceptsValue(field, text)) {
            w_.status->setText((field == Field::Track ? u"音轨"_s : u"碟号"_s) +
                               u"应为数字或“数字/总数”"_s);
            QLineEdit* edit = field == Field::Track ? w_.fields.track : w_.fields.disc;
            edit->setFocus();
            edit->selectAll();
            return std::nullopt;
        }
        changed.value(field) = text;
    }
    return changed;
}

bool TPageController::save()
{
    if (files_.size() > 1)
        return saveSeveral(false);
    const auto changed = changedValues();
    if (!changed)
        return false;
    const TPropertyPage::Values values = page_.values();
    operations::PropertyValues typed{values.title, values.artist,      values.album,  values.year,
                                     values.genre, page_.genreIndex(), values.comment};
    typed.track = changed->track;
    typed.disc = changed->disc;
    typed.albumArtist = changed->albumArtist;
    typed.composer = changed->composer;
    const QString path = file();
    const operations::SaveRun run = operations::runSave(
        core_.journal(),
        operations::prepareSave(v1_, v2_, core_.priority(), path, typed, core_.textRules()));
    // Files written through a copy are said to be beyond undo, as after a batch.
    for (const QString& problem : run.problems)
        window_.appendLog(problem);
    window_.afterStep();
    if (!run.file.succeeded) {
        window_.appendLog(window_.shownPath(path) + u"修改属性失败."_s);
        w_.status->setText(run.file.reason);
        return false;
    }
    window_.appendLog(window_.shownPath(path) + u"修改属性."_s);
    page_.markUnmodified();
    return true;
}

bool TPageController::saveSeveral(bool rebuild)
{
    const auto changed = changedValues();
    if (!changed)
        return false;
    if (!changed->any()) {
        w_.status->setText(u"没有修改"_s);
        return true;
    }
    const QStringList files = files_.paths();
    const operations::TagCommand command =
        operations::sharedSave(*changed, core_.priority(), core_.textRules(), seen_);
    const QPointer<QWidget> focused = QApplication::focusWidget();
    TBatchFrame& frame = window_.frame();
    int written = 0;
    {
        frame.begin(u"正在修改属性..."_s, int(files.size()));
        const FrameEnd end(frame, w_.pages->currentIndex());
        operations::TagRunner runner(
            command, core_.journal(),
            [&](std::size_t, const operations::TagPlan&, const operations::FileOutcome& outcome) {
                const QString shown = window_.shownPath(outcome.file);
                window_.appendLog(outcome.succeeded ? shown + u"修改属性."_s
                                                    : shown + u"修改属性失败: "_s + outcome.reason);
                written += outcome.succeeded ? 1 : 0;
                frame.count(outcome.succeeded);
                frame.afterWrite();
            });
        // A file that stops the run ends it there; those before it are still
        // written, and the step is ended.
        std::exception_ptr stoppedAt;
        try {
            for (qsizetype i = 0; i < files.size(); ++i) {
                runner.add(files[i]);
                frame.afterRow(int(i));
            }
        } catch (...) {
            stoppedAt = std::current_exception();
        }
        const auto ran = runner.finish();
        // Files written through copies, beyond undo: said after the files.
        for (const QString& problem : ran.problems)
            window_.appendLog(problem);
        if (ran.stopped)
            std::rethrow_exception(ran.stopped);
        if (stoppedAt)
            std::rethrow_exception(stoppedAt);
    }
    window_.afterStep();
    // What no file took stays typed, to try again; else the page shows
    // what the files hold now.
    if (written > 0)
        page_.markUnmodified();
    if (rebuild) {
        window_.rebuildKeepingSelection();
    } else {
        for (const QString& path : files) {
            if (const int row = window_.findRow(path); row >= 0)
                window_.rereadRow(row);
        }
    }
    if (focused)
        focused->setFocus();
    return written > 0;
}

void TPageController::saveAndAdvance()
{
    if (files_.size() > 1) {
        saveSeveral(true);
        return;
    }
    const QString path = file();
    // A failed write keeps the file selected and the typed values, to try again.
    if (!save())
        return;
    window_.advance(path);
    w_.fields.title->setFocus();
}

bool TPageController::leave(const QStringList& next)
{
    return leaveFor(Files::of(next));
}

bool TPageController::leaveFor(const Files& next)
{
    if (files_.isEmpty() || files_ == next || !page_.isModified())
        return true;
    if (files_.size() == 1 && !platform::FileExists(files_.path(0)))
        return true;
    switch (askSaveChanges(window_.widget)) {
    case QMessageBox::Yes:
        if (files_.size() > 1)
            return saveSeveral(false);
        if (!save())
            return false;
        if (const int row = window_.findRow(files_.path(0)); row >= 0)
            window_.rereadRow(row);
        return true;
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TPageController::reselectFiles()
{
    const Hold hold(*this);
    TReportList* list = w_.list;
    list->clearSelection();
    std::vector<int> rows;
    for (const QString& path : files_.paths()) {
        if (const int i = window_.findRow(path); i >= 0)
            rows.push_back(i);
    }
    if (!rows.empty()) {
        list->setCurrentRow(rows.front());
        list->selectRows(rows);
    }
}

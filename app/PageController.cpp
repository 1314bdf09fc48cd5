// The property page of the main window: one file shown, edited and saved.

#include "app/PageController.h"

#include "app/Application.h"
#include "app/ReportList.h"
#include "operations/PageSave.h"
#include "operations/V1Target.h"
#include "platform/FileOps.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>

using namespace Qt::StringLiterals;

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

} // namespace

TPageController::TPageController(operations::Core& core, const Widgets& widgets, Window window)
    : core_(core), w_(widgets), window_(std::move(window)), page_(widgets.fields)
{
    QWidget* const context = window_.widget;
    QObject::connect(w_.save, &QPushButton::clicked, context,
                     [this] { window_.guarded([this] { saveAndAdvance(); }); });
    // Enter in any field of the page saves, as a default button would.
    const TPropertyPage::Fields& f = w_.fields;
    for (QLineEdit* edit : {f.title, f.artist, f.album, f.year, f.comment})
        QObject::connect(edit, &QLineEdit::returnPressed, w_.save, &QPushButton::click);
    QObject::connect(f.genre->lineEdit(), &QLineEdit::returnPressed, w_.save, &QPushButton::click);
}

QString TPageController::file() const
{
    return w_.file->text();
}

void TPageController::show(const QString& path)
{
    w_.file->setText(path);
    reload(path);
    showV1Target(path);
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
    if (!p)
        return false;
    const auto shown = operations::readShownTags(v1_, v2_, *p, path, core_.textRules());
    if (!shown.hasTag)
        return false;
    const auto& f = shown.fields;
    page_.fill({f[0], f[1], f[2], f[3], f[4], f[5]});
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

bool TPageController::save()
{
    const TPropertyPage::Values values = page_.values();
    const operations::PropertyValues typed{values.title,  values.artist, values.album,
                                           values.year,   values.genre,  page_.genreIndex(),
                                           values.comment};
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

void TPageController::saveAndAdvance()
{
    const QString path = file();
    // A failed write keeps the file selected and the typed values, to try again.
    if (!save())
        return;
    window_.advance(path);
    w_.fields.title->setFocus();
}

bool TPageController::leave(const QString& nextFile)
{
    const QString path = file();
    if (path.isEmpty() || path == nextFile || !page_.isModified() || !platform::FileExists(path))
        return true;
    switch (askSaveChanges(window_.widget)) {
    case QMessageBox::Yes:
        if (!save())
            return false;
        if (const int row = window_.findRow(path); row >= 0)
            window_.rereadRow(row);
        return true;
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TPageController::reselectFile()
{
    const Hold hold(*this);
    TReportList* list = w_.list;
    list->clearSelection();
    if (const int i = window_.findRow(file()); i >= 0) {
        list->setCurrentRow(i);
        list->selectRows({i});
    }
}

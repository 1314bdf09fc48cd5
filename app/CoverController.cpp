// The front cover on the property page: shown for the file the page shows,
// and its menu (set, remove, save to a file). What a cover change does to a
// file lives in operations/CoverEditing.

#include "app/CoverController.h"

#include "operations/CoverEditing.h"

#include <QBuffer>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QTabWidget>

#include <map>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

QString imageFilter()
{
    return u"图片 (*.jpg *.jpeg *.png)"_s;
}

QString sizeInWords(std::uint64_t bytes)
{
    if (bytes < 1024)
        return u"%1 字节"_s.arg(bytes);
    if (bytes < 1024 * 1024)
        return u"%1 KB"_s.arg(double(bytes) / 1024, 0, 'f', 1);
    return u"%1 MB"_s.arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

struct DecodedCover {
    QImage image; // null when the bytes are no picture Qt can read
    QSize size;   // the picture's own
};

// Decoded straight to the box's size where the format can (JPEG), so that a
// large picture is never held whole; the others are decoded once and scaled.
DecodedCover decodeCover(const QByteArray& bytes, const QSize& box)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isValid() && !size.isEmpty())
        reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio).expandedTo({1, 1}));
    DecodedCover decoded{reader.read(), size};
    if (!decoded.image.isNull() && !size.isValid()) {
        decoded.size = decoded.image.size();
        decoded.image = decoded.image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return decoded;
}

// The picture fitted into the label's frame at the screen's own density; one
// that cannot be shown as its size in words.
void showPicture(QLabel* label, const tags::Picture& picture)
{
    const QString mime = QString::fromStdString(picture.mime);
    const QString size = sizeInWords(picture.tooLarge ? picture.frameSize : picture.data.size());
    const qreal ratio = label->devicePixelRatioF();
    DecodedCover decoded = picture.tooLarge ? DecodedCover{}
                                            : decodeCover(QByteArray::fromStdString(picture.data),
                                                          label->contentsRect().size() * ratio);
    if (decoded.image.isNull()) {
        label->setText(u"无法显示的图片\n"_s + size);
        label->setToolTip(mime + u'\n' + size);
        return;
    }
    QPixmap pixmap = QPixmap::fromImage(std::move(decoded.image));
    pixmap.setDevicePixelRatio(ratio);
    label->setPixmap(pixmap);
    label->setToolTip(u"%1 x %2 像素\n%3\n%4"_s.arg(decoded.size.width())
                          .arg(decoded.size.height())
                          .arg(mime, size));
}

QString defaultOpenDialog(QWidget* parent)
{
    return QFileDialog::getOpenFileName(parent, u"更换封面"_s, QString(), imageFilter());
}

QString defaultSaveDialog(QWidget* parent, const QString& proposedPath)
{
    return QFileDialog::getSaveFileName(parent, u"导出封面"_s, proposedPath, imageFilter());
}

} // namespace

TCoverController::TCoverController(const operations::Core& core, const Widgets& widgets,
                                   Window window)
    : core_(core), w_(widgets), window_(std::move(window))
{
    *window_.openDialog = defaultOpenDialog;
    *window_.saveDialog = defaultSaveDialog;
    QWidget* const context = window_.widget;
    const auto on = [this, context](QAction* action, void (TCoverController::*handler)()) {
        QObject::connect(action, &QAction::triggered, context, [this, handler] {
            window_.guarded([this, handler] { (this->*handler)(); });
        });
    };
    on(w_.set, &TCoverController::setCover);
    on(w_.remove, &TCoverController::removeCover);
    on(w_.save, &TCoverController::saveCover);
    QObject::connect(w_.cover, &QWidget::customContextMenuRequested, context,
                     [this](const QPoint& p) {
                         updateCoverMenu();
                         w_.menu->popup(w_.cover->mapToGlobal(p));
                     });
    // The page shows another file, or none: the cover shown is no longer its.
    QObject::connect(w_.file, &QLineEdit::textChanged, context, [this](const QString& file) {
        if (file != coverFile_)
            showCover({});
    });
}

void TCoverController::showCover(const QString& path)
{
    coverFile_ = path;
    w_.cover->clear();
    w_.cover->setToolTip({});
    const auto picture = path.isEmpty() ? std::nullopt : operations::readCover(path);
    coverState_ = !picture            ? CoverState::None
                  : picture->tooLarge ? CoverState::TooLarge
                                      : CoverState::Read;
    updateCoverMenu();
    if (picture)
        showPicture(w_.cover, *picture);
}

void TCoverController::updateCoverMenu()
{
    const bool shown = !coverFile_.isEmpty() && !window_.busy();
    w_.set->setEnabled(shown);
    w_.remove->setEnabled(shown && coverState_ != CoverState::None);
    // Bytes never read cannot be saved.
    w_.save->setEnabled(shown && coverState_ == CoverState::Read);
}

void TCoverController::setCover()
{
    if (coverFile_.isEmpty() || !window_.leavePage())
        return;
    const QString picturePath = (*window_.openDialog)(window_.widget);
    if (picturePath.isEmpty())
        return;
    QString error;
    const auto image = operations::readCoverFile(picturePath, &error);
    if (!image) {
        window_.appendLog(window_.shownPath(picturePath) + u"不能用作封面: "_s + error);
        w_.status->setText(error);
        return;
    }
    changeCovers(u"更换封面"_s, operations::CoverCommand::setting(*image, core_.textRules()));
}

void TCoverController::removeCover()
{
    if (coverFile_.isEmpty() || !window_.leavePage())
        return;
    // The log names what went: the picture shown may be a back cover or any other.
    changeCovers(u"删除封面"_s, operations::CoverCommand::removing(),
                 [](const tags::TagChange& change) {
                     return u"删除封面(%1)"_s.arg(operations::removedPictureName(change));
                 });
}

// The selected files' covers changed as one step of the history; each file
// logged with the verb, or what `logged` says of its change.
void TCoverController::changeCovers(const QString& verb, const operations::CoverCommand& covers,
                                    const CoverLogText& logged)
{
    std::map<int, QString> done; // by row, once its change is made
    TBatchController::CommandRun run;
    run.runningText = u"正在%1..."_s.arg(verb);
    run.completionText = verb + u"完成"_s;
    run.page = w_.pages->currentIndex(); // back where the user was
    run.command = &covers.command();
    run.made = [&](int row, const tags::TagChange& change) {
        done[row] = logged ? logged(change) : verb;
    };
    run.done = [&](int row, const operations::TagPlan& plan,
                   const operations::FileOutcome& outcome) -> std::optional<bool> {
        const QString shown = window_.shownPath(plan.file);
        if (!plan.due) {
            window_.appendLog(shown + outcome.reason + u"."_s); // nothing to change
            return std::nullopt;
        }
        window_.appendLog(
            shown + (outcome.succeeded ? done[row] + u"."_s : verb + u"失败: "_s + outcome.reason));
        done.erase(row);
        return outcome.succeeded;
    };
    // The page's edits were saved or given up before the run: it shows the
    // file, and its cover, as the run left them.
    run.closing = window_.afterRun;
    window_.runCommand(run);
}

void TCoverController::saveCover()
{
    const QString file = coverFile_;
    const auto picture = file.isEmpty() ? std::nullopt : operations::readCover(file);
    if (!picture || picture->tooLarge) {
        w_.status->setText(picture ? u"封面太大,无法导出"_s : u"没有封面"_s);
        return;
    }
    const QString mime = QString::fromStdString(picture->mime);
    const QString folder = file.left(file.lastIndexOf(u'/') + 1);
    const QString target =
        (*window_.saveDialog)(window_.widget, folder + operations::coverFileName(file, mime));
    if (target.isEmpty())
        return;
    const auto outcome =
        operations::exportCover(QByteArray::fromStdString(picture->data), file, target);
    if (!outcome.succeeded) {
        window_.appendLog(window_.shownPath(target) + u"导出封面失败: "_s + outcome.message);
        w_.status->setText(u"导出封面失败: "_s + outcome.message);
        return;
    }
    window_.appendLog(window_.shownPath(target) + u"导出封面."_s);
    w_.status->setText(u"封面已导出"_s);
}

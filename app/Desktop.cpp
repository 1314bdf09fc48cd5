// The main window among the desktop's programs: the folder or file it was
// started on, folders dropped onto it from a file manager, and its size,
// splitters and columns kept from one run to the next.

#include "app/main.h"

#include "app/ErrorReport.h"
#include "platform/NativePath.h"
#include "settings/IniFile.h"
#include "settings/WindowState.h"
#include "shell/ShellControls.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>

#include <stdexcept>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

bool isFolder(const QString& path)
{
    struct ::stat st {};
    return ::stat(platform::NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const QString& path)
{
    struct ::stat st {};
    return ::stat(platform::NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

TFormMain::Place TFormMain::placeOf(const QString& given)
{
    const QString path = platform::AbsolutePath(given);
    if (isFolder(path))
        return {path.endsWith(u'/') ? path : path + u'/', {}};
    if (isFile(path)) {
        const qsizetype slash = path.lastIndexOf(u'/');
        return {path.left(slash + 1), path};
    }
    throw std::runtime_error((u"找不到文件夹或文件: "_s + given).toStdString());
}

void TFormMain::selectFile(const QString& file)
{
    const int i = rows_->findRow(file);
    if (i < 0)
        return;
    const QModelIndex row = ui.ListViewMain->rows().index(i, 0);
    ui.ListViewMain->setCurrentIndex(row);
    ui.ListViewMain->scrollTo(row);
}

void TFormMain::openPlace(const QString& given)
{
    if (!leavePage())
        return;
    const Place place = placeOf(given);
    // The tree selects the folder and the list follows through the link.
    ui.ShellTree->setSelectedFolder(place.folder);
    if (!place.file.isEmpty())
        selectFile(place.file);
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event)
{
    // Only a folder or a file from another program: rows of the list have
    // the tree to be dropped on.
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!event->source() && urls.size() == 1 && !platform::LocalFileOf(urls[0]).isEmpty())
        event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (event->source() || urls.size() != 1)
        return;
    const QString path = platform::LocalFileOf(urls[0]);
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    runGuarded([&] { openPlace(path); });
}

// ---------------------------------------------------------------- window state

void TFormMain::showRestored()
{
    const settings::WindowState state = settings::readWindowState(TIniFile());
    const QScreen* screen =
        state.geometry ? QGuiApplication::screenAt(state.geometry->center()) : nullptr;
    if (screen)
        setGeometry(*state.geometry);
    if (state.maximized)
        showMaximized();
    else
        show();
    // A place on no screen (a monitor unplugged since) is not kept.
    if (!screen && !state.maximized) {
        if (const QScreen* primary = QGuiApplication::primaryScreen()) {
            const QRect frame = frameGeometry();
            move(primary->availableGeometry().center() -
                 QPoint(frame.width() / 2, frame.height() / 2));
        }
    }
    if (state.treeWidth) {
        const int rest = ui.SplitterVer->width() - ui.SplitterVer->handleWidth() - *state.treeWidth;
        ui.SplitterVer->setSizes({*state.treeWidth, std::max(rest, 1)});
    }
    if (state.pagesHeight) {
        const int rest =
            ui.SplitterHor->height() - ui.SplitterHor->handleWidth() - *state.pagesHeight;
        ui.SplitterHor->setSizes({std::max(rest, 1), *state.pagesHeight});
    }
    listControls_->restoreColumns(state);
}

void TFormMain::saveWindowState()
{
    settings::WindowState state;
    state.maximized = isMaximized();
    state.geometry = state.maximized ? normalGeometry() : geometry();
    state.treeWidth = ui.SplitterVer->sizes().value(0);
    state.pagesHeight = ui.SplitterHor->sizes().value(1);
    listControls_->saveColumns(state);
    TIniFile ini;
    settings::writeWindowState(ini, state);
}

void TFormMain::fitNameColumn()
{
    listControls_->fitNameColumn();
}

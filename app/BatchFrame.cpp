#include "app/BatchFrame.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {
constexpr int kLogPage = 3;
// A run lets pending events through (a repaint above all) at most this
// often: repainting the log page costs more than a file, and a run of
// thousands of files would spend most of its time drawing.
constexpr qint64 kEventsIntervalMs = 40;

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}
} // namespace

TBatchFrame::TBatchFrame(const Widgets& widgets, QObject* parent) : QObject(parent), w_(widgets) {}

TBatchFrame::~TBatchFrame()
{
    setInputBlocked(false);
}

QString TBatchFrame::totalsText(int total, int succeeded, int failed)
{
    return u"共修改:%1  成功:%2  失败:%3"_s.arg(total).arg(succeeded).arg(failed);
}

void TBatchFrame::begin(const QString& runningText, int rows)
{
    running_ = true;
    setInputBlocked(true);
    w_.pages->setCurrentIndex(kLogPage);
    w_.progress->setRange(0, rows - 1);
    w_.progress->setValue(0);
    w_.progress->show();
    total_ = succeeded_ = failed_ = 0;
    w_.operationPanel->setText(runningText);
    sinceEvents_.invalidate(); // the first row shows the log page at once
}

void TBatchFrame::count(bool succeeded)
{
    ++total_;
    ++(succeeded ? succeeded_ : failed_);
}

void TBatchFrame::showTotals()
{
    w_.totalsPanel->setText(totalsText(total_, succeeded_, failed_));
}

void TBatchFrame::afterRow(int row, bool showTotals)
{
    if (showTotals)
        this->showTotals();
    stepTo(row);
}

void TBatchFrame::afterWrite()
{
    showTotals();
    processEvents();
}

void TBatchFrame::stepTo(int row)
{
    w_.progress->setValue(row);
    processEvents();
}

void TBatchFrame::processEvents()
{
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventsIntervalMs)
        return;
    flushLog();
    QCoreApplication::processEvents();
    sinceEvents_.start();
}

void TBatchFrame::appendLog(const QString& line)
{
    if (running_)
        pendingLog_ << line;
    else
        w_.log->appendPlainText(line);
}

void TBatchFrame::flushLog()
{
    if (pendingLog_.isEmpty())
        return;
    w_.log->appendPlainText(pendingLog_.join(u'\n'));
    pendingLog_.clear();
}

void TBatchFrame::finish(const QString& completionText, int page)
{
    flushLog();
    w_.operationPanel->setText(completionText);
    w_.progress->hide();
    w_.pages->setCurrentIndex(page);
    running_ = false;
    setInputBlocked(false);
}

void TBatchFrame::setInputBlocked(bool blocked)
{
    if (!QCoreApplication::instance())
        return;
    if (blocked)
        QCoreApplication::instance()->installEventFilter(this);
    else
        QCoreApplication::instance()->removeEventFilter(this);
}

bool TBatchFrame::eventFilter(QObject* watched, QEvent* event)
{
    // Only the main window is closed to input: a message box that the run
    // shows (an error of the operating system) must still take its click.
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (running_ && widget && widget->window() == w_.pages->window() &&
        isUserInput(event->type())) {
        if (event->type() == QEvent::Close)
            event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

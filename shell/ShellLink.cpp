#include "shell/ShellLink.h"

#include "shell/ShellStrings.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

TShellLink::TShellLink(QObject* owner) : QObject(owner) {}

QString TShellLink::Version() const
{
    return u"TShellLink"_s + ShellStrings::VersionSuffix();
}

void TShellLink::AddControl(QObject* control)
{
    controls_.removeIf([](const QPointer<QObject>& c) { return c.isNull(); });
    if (control && !controls_.contains(control))
        controls_.append(control);
}

void TShellLink::RemoveControl(QObject* control)
{
    controls_.removeIf(
        [control](const QPointer<QObject>& c) { return c.isNull() || c == control; });
}

void TShellLink::sendToOthers(QObject* sender, QEvent& event)
{
    // A receiver may join or leave controls while it handles the event.
    const QList<QPointer<QObject>> controls = controls_;
    for (const QPointer<QObject>& control : controls) {
        if (control && control != sender) {
            event.setAccepted(true);
            QCoreApplication::sendEvent(control, &event);
        }
    }
}

void TShellLink::NotifyFolderChange(QObject* sender, const platform::ItemIdList& absolute)
{
    if (!enabled_)
        return;
    {
        struct Reenable {
            bool& flag;
            ~Reenable() { flag = true; }
        } reenable{enabled_};
        enabled_ = false;
        TShellLinkFolderEvent event(absolute);
        sendToOthers(sender, event);
    }
    if (OnChange)
        OnChange(this);
}

void TShellLink::NotifySelectAll(QObject* sender)
{
    if (!enabled_)
        return;
    QEvent event(SelectAll);
    sendToOthers(sender, event);
}

void TShellLink::NotifyRefresh(QObject* sender)
{
    if (!enabled_)
        return;
    QEvent event(Refresh);
    sendToOthers(sender, event);
}

void TShellLink::NotifyRefreshSelection(QObject* sender)
{
    if (!enabled_)
        return;
    QEvent event(RefreshSelection);
    sendToOthers(sender, event);
}

#pragma once

// Helpers of the shell controls' tests: files in the test's own home, the
// controls' questions answered, and a recorder of what a TShellLink sends.

#include "platform/ShellItem.h"
#include "shell/ShellBrowser.h"
#include "shell/ShellControlSupport.h"
#include "shell/ShellLink.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <functional>

namespace shelltest {

// A path in the test program's temporary home.
inline QString home(const QString& relative)
{
    return QDir::home().filePath(relative);
}

inline void makeFile(const QString& path, qint64 size = 0)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(QByteArray(size, 'x')), size);
}

inline void makeDirs(const QString& path)
{
    QVERIFY2(QDir().mkpath(path), qPrintable(path));
}

inline QStringList captions(const QTreeWidget& list)
{
    QStringList texts;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        texts.append(list.topLevelItem(i)->text(0));
    return texts;
}

inline QStringList childTexts(const QTreeWidgetItem* node)
{
    QStringList texts;
    for (int i = 0; node && i < node->childCount(); ++i)
        texts.append(node->child(i)->text(0));
    return texts;
}

inline QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EShellBrowserError& e) {
        return e.message();
    }
    return {};
}

// Picks the action of that object name when the shell menu would be shown.
inline void pickInMenu(const QString& name)
{
    TShellBrowser::ui().execMenu = [name](QMenu& menu, const QPoint&) -> QAction* {
        for (QAction* action : menu.findChildren<QAction*>()) {
            if (action->objectName() == name)
                return action;
        }
        return nullptr;
    };
}

// The questions of the verbs and the controls' message boxes, answered by the
// test; restored afterwards.
class Answers {
public:
    Answers() : browser_(TShellBrowser::ui()), controls_(ShellControls::ui())
    {
        TShellBrowser::ui().confirmDelete = [this](const QStringList& paths) {
            asked.append(paths);
            return confirm;
        };
        TShellBrowser::ui().execMenu = [](QMenu&, const QPoint&) {
            return nullptr;
        };
        ShellControls::ui().errorBox = [this](QWidget*, const QString& text) {
            errors.append(text);
        };
    }
    ~Answers()
    {
        TShellBrowser::ui() = browser_;
        ShellControls::ui() = controls_;
    }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;

    bool confirm = true;
    QStringList asked;
    QStringList errors;

private:
    TShellBrowser::Ui browser_;
    ShellControls::Ui controls_;
};

// Joined to a link like a control: records the folders it is told of.
class LinkRecorder : public QObject {
public:
    explicit LinkRecorder(TShellLink& link) { link.AddControl(this); }
    QStringList folders; // file-system paths; "" for a virtual folder
    QList<int> messages;

protected:
    void customEvent(QEvent* event) override
    {
        messages.append(int(event->type()));
        if (event->type() == TShellLink::FolderChanged)
            folders.append(platform::SHGetPathFromIDListA(
                static_cast<TShellLinkFolderEvent*>(event)->idList()));
    }
};

// What a control reported through OnOperation.
struct Operation {
    TShellOperations code = 0;
    QStringList files;
    QString destination;
};

inline TOnOperation recordInto(QList<Operation>& operations)
{
    return [&operations](QObject*, TShellOperations code, const QStringList& files,
                         const QString& destination) {
        operations.append({code, files, destination});
    };
}

} // namespace shelltest

#pragma once

#include <QString>
#include <QStringList>

// The texts that the shell components show or raise, in one place. The error
// messages are fixed English texts; menus and questions are Chinese.
namespace ShellStrings {

// Errors of the namespace browser and the shell controls.
QString CannotFindFolder(); // "Cannot Find Folder: " + the text
QString CouldNotGetFolder();
QString CannotFindObject(const QString& object, const QString& folder);
QString CannotFindPath(); // "Cannot find path: " + the text

// Errors of the directory monitor.
QString NotifyFilterWhileRunning();
QString DirMonNotStarted();
QString CreateMutexFailed();
QString CreateThreadFailed();

// Read by every component's Version: class name + this.
QString VersionSuffix();

// Captions of the shell context menu's verbs ("open", "cut", ...); empty for
// any other verb.
QString VerbCaption(const QString& verb);

// The questions of the verbs.
QString DeleteTitle();
QString ConfirmDelete(const QStringList& paths);
QString ReplaceTitle();
QString ConfirmReplace(const QString& target);
QString ReplaceButton();
QString SkipButton();
QString CancelButton();

} // namespace ShellStrings

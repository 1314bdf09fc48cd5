#include "shell/ShellStrings.h"

#include "platform/FileNameCodec.h"

#include <QFileInfo>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace ShellStrings {

namespace {

// A question names the item as the user knows it: a name that is not UTF-8
// (GBK from a Windows archive) in the code page it reads in.
QString shownName(const QString& path)
{
    platform::LegacyDetector detector;
    return platform::shownFileName(platform::encodeFileName(QFileInfo(path).fileName()), detector);
}

} // namespace

QString CannotFindFolder()
{
    return u"Cannot Find Folder: "_s;
}

QString CouldNotGetFolder()
{
    return u"ShellBrowser.SetFolderIDList: Desktop.BindToObject: Could not get Folder"_s;
}

QString CannotFindObject(const QString& object, const QString& folder)
{
    return u"Error! Cannot find Object \""_s + object + u"\" in Folder \""_s + folder + u'"';
}

QString CannotFindPath()
{
    return u"Cannot find path: "_s;
}

QString NotifyFilterWhileRunning()
{
    return u"Unable to change NotifyFilter when DirMon is running"_s;
}
QString DirMonNotStarted()
{
    return u"DirMon not started"_s;
}
QString CreateMutexFailed()
{
    return u"CreateMutex failed"_s;
}
QString CreateThreadFailed()
{
    return u"CreateThread failed"_s;
}

QString VersionSuffix()
{
    return u" V2.3"_s;
}

QString VerbCaption(const QString& verb)
{
    if (verb == u"open"_s)
        return u"打开(&O)"_s;
    if (verb == u"cut"_s)
        return u"剪切(&T)"_s;
    if (verb == u"copy"_s)
        return u"复制(&C)"_s;
    if (verb == u"paste"_s)
        return u"粘贴(&P)"_s;
    if (verb == u"delete"_s)
        return u"删除(&D)"_s;
    if (verb == u"rename"_s)
        return u"重命名(&M)"_s;
    return {};
}

QString DeleteTitle()
{
    return u"删除"_s;
}

QString ConfirmDelete(const QStringList& paths)
{
    if (paths.size() == 1)
        return u"确实要把“%1”移到回收站吗?"_s.arg(shownName(paths.first()));
    return u"确实要把这 %1 项移到回收站吗?"_s.arg(paths.size());
}

QString ReplaceTitle()
{
    return u"替换或跳过"_s;
}

QString ConfirmReplace(const QString& target)
{
    return u"目标文件夹中已有名为“%1”的项目。\n要替换它吗?原有的项目将移到回收站。"_s.arg(
        shownName(target));
}

QString ReplaceButton()
{
    return u"替换(&R)"_s;
}
QString SkipButton()
{
    return u"跳过(&S)"_s;
}
QString CancelButton()
{
    return u"取消"_s;
}

} // namespace ShellStrings

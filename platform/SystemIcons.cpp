#include "platform/SystemIcons.h"

#include <QHash>
#include <QStringList>

namespace platform {

namespace {

struct IconList {
    QStringList keys;
    QHash<QString, int> indices;

    IconList()
    {
        // The namespace's own icons come first, so their indices are the same in every run.
        for (const char16_t* key :
             {SystemIcon::Desktop, SystemIcon::Computer, SystemIcon::Home, SystemIcon::HardDisk,
              SystemIcon::Removable, SystemIcon::Folder, SystemIcon::FolderOpen, SystemIcon::File})
            add(QString::fromUtf16(key));
    }
    int add(const QString& key)
    {
        const int index = int(keys.size());
        keys.append(key);
        indices.insert(key, index);
        return index;
    }
};

IconList& iconList()
{
    static IconList list;
    return list;
}

} // namespace

int SystemIconIndex(const QString& key)
{
    IconList& list = iconList();
    const auto it = list.indices.constFind(key);
    return it != list.indices.constEnd() ? *it : list.add(key);
}

QString SystemIconKey(int index)
{
    const IconList& list = iconList();
    return index >= 0 && index < list.keys.size() ? list.keys[index] : QString();
}

int SystemIconCount()
{
    return int(iconList().keys.size());
}

} // namespace platform

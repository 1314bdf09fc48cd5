#include "player/InputPlugins.h"

#include "player/InModule.h"

#include <QDir>
#include <QLibrary>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace player {

namespace {

// Indices 0..1024 of a plug-in's extension list are read, no further.
constexpr int kMaxListChars = 1025;

void appendJoined(QString& target, const QString& piece, QChar separator)
{
    if (!target.isEmpty())
        target += separator;
    target += piece;
}

class FilterBuilder {
public:
    // One plug-in's extension list. A pair cut short (by the end of the run
    // or by the bound) gives no filter entry; what came before it stays.
    void addList(const char* list);
    QString result() const
    {
        return u"All supported types|"_s + patterns_ + u'|' + filter_ + QChar(u'\0');
    }

private:
    void addExtensions(const QString& extensions);
    void addDescription(const QString& description);

    QString patterns_; // every pattern, joined by ";"
    QString filter_;   // description|patterns, joined by "|"
    QString held_;     // the patterns waiting for their description
};

void FilterBuilder::addList(const char* list)
{
    QByteArray current;
    bool description = false;
    for (int i = 0; i < kMaxListChars; ++i) {
        const char c = list[i];
        if (c != '\0') {
            current += c;
            continue;
        }
        if (current.isEmpty())
            return;
        const QString text = QString::fromLocal8Bit(current);
        if (description)
            addDescription(text);
        else
            addExtensions(text);
        description = !description;
        current.clear();
    }
}

void FilterBuilder::addExtensions(const QString& extensions)
{
    const QString list =
        extensions.compare(u"ACK"_s, Qt::CaseInsensitive) == 0 ? u"MP1;MP2;MP3"_s : extensions;
    QStringList patterns = list.split(u';');
    for (QString& pattern : patterns)
        pattern.prepend(u"*."_s);
    held_ = patterns.join(u';');
    appendJoined(patterns_, held_, u';');
}

void FilterBuilder::addDescription(const QString& description)
{
    const QString text = description.compare(u"DOH"_s, Qt::CaseInsensitive) == 0
                             ? u"MPEG Audio Files (*.MP1;*.MP2;*.MP3)"_s
                             : description;
    appendJoined(filter_, text + u'|' + held_, u'|');
}

void addPlugin(FilterBuilder& builder, const QString& path)
{
    QLibrary library(path);
    if (!library.load())
        return;
    struct Unload {
        QLibrary& library;
        ~Unload() { library.unload(); }
    } unload{library};
    try {
        const auto get = reinterpret_cast<WinampGetInModule2>(library.resolve(kInModuleExport));
        if (!get)
            return;
        const In_ModuleHead* module = get();
        if (module && module->FileExtensions)
            builder.addList(module->FileExtensions);
    } catch (...) {
        // A plug-in that fails while being read keeps what it added.
    }
}

} // namespace

QString inputPluginFilter(const QString& playerPath)
{
    FilterBuilder builder;
    if (QDir::isRelativePath(playerPath))
        return builder.result();
    const QDir folder(playerPath.left(playerPath.lastIndexOf(u'/') + 1) + u"Plugins/"_s);
    const QStringList names =
        folder.entryList({u"in_*.dll"_s}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names)
        addPlugin(builder, folder.filePath(name));
    return builder.result();
}

} // namespace player

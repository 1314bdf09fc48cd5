// A window with the folder tree and the shell file list joined by a link, as
// the main window joins them, for browsing this machine's folders by hand.
//
//   ShellControlsDemo [folder]                 browse, starting at the folder
//   ShellControlsDemo [folder] --screenshot P  also save P-1.png (the folder)
//                                              and P-2.png (a temporary folder
//                                              after a file appeared in it), then quit

#include "shell/ShellControls.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

class DemoWindow : public QMainWindow {
public:
    explicit DemoWindow(const QString& folder)
    {
        setWindowTitle(u"Shell controls"_s);
        auto* splitter = new QSplitter(this);
        setCentralWidget(splitter);
        link = new TShellLink(this);
        tree = new TShellTree(splitter);
        list = new TShellList(splitter);
        status = new QLabel(statusBar());
        statusBar()->addWidget(status, 1);
        splitter->setSizes({260, 640});

        tree->setLoading(true);
        list->setLoading(true);
        tree->setShellLink(link);
        tree->setRootedAt(SF_DESKTOP);
        tree->setSelectedFolder(folder);
        tree->setFileSystemOnly(true);
        tree->setIndentation(19);
        list->setShellLink(link);
        list->setPath(folder);
        list->setFileSystemOnly(true);
        list->setColumnWidth(0, 260);
        tree->setLoading(false);
        list->setLoading(false);

        link->OnChange = [this](QObject*) {
            ++changes;
            showStatus();
        };
        list->OnPopulated = [this](QObject*) {
            showStatus();
        };
        // Merges of changes on disk add and remove rows without a full read.
        connect(list->model(), &QAbstractItemModel::rowsInserted, this, [this] { showStatus(); });
        connect(list->model(), &QAbstractItemModel::rowsRemoved, this, [this] { showStatus(); });
        list->OnOperation = [this](QObject*, TShellOperations code, const QStringList& files,
                                   const QString& destination) {
            status->setText(
                u"操作 0x%1: %2 -> %3"_s.arg(code, 0, 16).arg(files.join(u", "_s), destination));
        };
        showStatus();
        resize(900, 600);
    }

    void showStatus()
    {
        status->setText(u"%1    %2 项    OnChange: %3"_s.arg(list->Path())
                            .arg(list->topLevelItemCount())
                            .arg(changes));
    }

    TShellLink* link;
    TShellTree* tree;
    TShellList* list;
    QLabel* status;
    int changes = 0;
};

bool save(QWidget& window, const QString& path)
{
    const bool ok = window.grab().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "saved" : "could not save", qPrintable(path));
    return ok;
}

void makeFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray(size, '\0'));
}

// The scripted walk of --screenshot: the folder, then a folder of our own that
// changes on disk while it is shown.
void runScript(DemoWindow& window, const QString& prefix)
{
    auto temp = std::make_shared<QTemporaryDir>();
    QTimer::singleShot(1000, &window, [&window, prefix, temp] {
        save(window, prefix + u"-1.png"_s);
        const QDir dir(temp->path());
        dir.mkpath(u"唱片"_s);
        makeFile(dir.filePath(u"01 晨曲.mp3"_s), 3'500'000);
        makeFile(dir.filePath(u"02 夜曲.mp3"_s), 4'200'000);
        makeFile(dir.filePath(u"封面.jpg"_s), 80'000);
        window.list->setPath(temp->path());
        QTimer::singleShot(300, &window, [temp] {
            makeFile(QDir(temp->path()).filePath(u"03 新歌.mp3"_s), 2'000'000);
        });
        QTimer::singleShot(1500, &window, [&window, prefix, temp] {
            save(window, prefix + u"-2.png"_s);
            QCoreApplication::exit(window.list->topLevelItemCount() == 5 ? 0 : 1);
        });
    });
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(u"folder"_s, u"The folder shown first."_s);
    const QCommandLineOption screenshot(u"screenshot"_s, u"Save screenshots and quit."_s,
                                        u"prefix"_s);
    parser.addOption(screenshot);
    parser.process(app);
    const QString folder = parser.positionalArguments().value(0, QDir::homePath() + u'/');

    DemoWindow window(folder);
    window.show();
    if (parser.isSet(screenshot))
        runScript(window, parser.value(screenshot));
    return app.exec();
}

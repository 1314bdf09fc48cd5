// The main window's batches over n selected rows, as a user runs them: the
// renaming by a pattern and the batch tag change, on real files, with the
// window shown. Each must cost O(n): the time per row (the items/s column)
// should stay flat from 300 to 3,000 to 10,000 rows.
#include "app/main.h"
#include "platform/ProfileFile.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "widgets/RadioGroup.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A folder of n small MP3 files with an ID3v1 tag, and the window showing it.
class Folder {
public:
    explicit Folder(int files)
    {
        const QByteArray audio = testsupport::silentMpegFrames();
        for (int i = 0; i < files; ++i) {
            const QByteArray title = QByteArray("Song ") + QByteArray::number(i);
            testsupport::writeBytes(dir_.filePath(u"%1.mp3"_s.arg(i, 5, 10, QChar(u'0'))),
                                    audio + testsupport::id3v1Trailer(title, "Band"));
        }
        platform::WritePrivateProfileStringA(u"SysInfo"_s, u"path"_s, dir_.path() + u'/',
                                             u"mp3tdex.ini"_s);
        window_ = std::make_unique<TFormMain>();
        window_->show();
        QCoreApplication::processEvents();
    }

    TFormMain& window() { return *window_; }
    int rows() const { return window_->ui.ListViewMain->topLevelItemCount(); }

private:
    QTemporaryDir dir_;
    std::unique_ptr<TFormMain> window_;
};

void renameRows(benchmark::State& state)
{
    Folder folder(int(state.range(0)));
    TFormMain& w = folder.window();
    bool second = false;
    for (auto _ : state) {
        // Every run renames every file: the patterns take turns.
        w.ui.EditNameFormat->setText(second ? u"%2 - %1"_s : u"%1 - %2"_s);
        second = !second;
        w.ui.ListViewMain->selectAll();
        w.ui.BtnFileName->click();
    }
    state.SetItemsProcessed(state.iterations() * folder.rows());
}
BENCHMARK(renameRows)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

void changeTitles(benchmark::State& state)
{
    Folder folder(int(state.range(0)));
    TFormMain& w = folder.window();
    w.ui.CheckBoxTitle->setChecked(true);
    w.ui.RadioGrpMTitle->setItemIndex(1); // from the edit
    bool second = false;
    for (auto _ : state) {
        w.ui.EditMTitle->setText(second ? u"甲"_s : u"乙"_s);
        second = !second;
        w.ui.ListViewMain->selectAll();
        w.ui.BtnChgMProp->click();
    }
    state.SetItemsProcessed(state.iterations() * folder.rows());
}
BENCHMARK(changeTitles)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    testsupport::TestEnvironment environment;
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

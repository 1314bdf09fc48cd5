#pragma once

// Helpers for the tests that drive the main window as a user would: a folder
// of generated MP3 files, the settings file, the four forms, and answers to
// the modal dialogs and message boxes the window shows.

#include <QMenu>

#include "app/Forms.h"
#include "app/main.h"
#include "platform/ProfileFile.h"
#include "shell/ShellControls.h"
#include "shell/ShellLink.h"
#include "tests/support/ItemPoint.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TemporaryFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace apptest {

using namespace Qt::StringLiterals;

// The settings file of the test's own configuration folder.
inline QString settingsPath()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + u"/mp3tdex.ini"_s;
}

inline void writeSetting(const QString& section, const QString& key, const QString& value)
{
    platform::WritePrivateProfileStringA(section, key, value, u"mp3tdex.ini"_s);
}

inline QString readSetting(const QString& section, const QString& key)
{
    return platform::GetPrivateProfileStringA(section, key, u"<none>"_s, u"mp3tdex.ini"_s);
}

// Answers the next modal dialog (a message box, an input box, the copy
// options) as soon as it is shown, from the event loop: `answer` gets the
// dialog and closes it. Keeps what the dialogs said for the test to check.
class ModalAnswers : public QObject {
public:
    using Answer = std::function<void(QWidget* dialog)>;

    // Answers every dialog that comes while this lives, in order; a dialog
    // beyond the given answers is closed (Escape).
    explicit ModalAnswers(QList<Answer> answers = {}) : answers_(std::move(answers))
    {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, &ModalAnswers::poll);
        timer_.start();
    }

    // The texts of the message boxes that were answered, in order.
    const QStringList& messages() const { return messages_; }
    int answered() const { return answered_; }

    static Answer accept()
    {
        return [](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->accept();
            else if (auto* dialog = qobject_cast<QDialog*>(w))
                dialog->accept();
        };
    }
    static Answer click(const QString& buttonName)
    {
        return [buttonName](QWidget* w) {
            if (auto* b = w->findChild<QPushButton*>(buttonName))
                b->click();
        };
    }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == last_)
            return;
        last_ = modal;
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            messages_ << box->text();
        ++answered_;
        const Answer answer = answers_.isEmpty() ? Answer() : answers_.takeFirst();
        QTimer::singleShot(0, modal, [modal, answer] {
            if (answer)
                answer(modal);
            else
                QTest::keyClick(modal, Qt::Key_Escape);
        });
    }

    QTimer timer_;
    QList<Answer> answers_;
    QStringList messages_;
    QPointer<QWidget> last_;
    int answered_ = 0;
};

// "开始修改" on the renaming page, with "执行" in the plan it shows.
inline void runRenaming(TFormMain& w)
{
    // A plan with nothing to run is closed (Escape), so a test expecting a
    // run fails rather than waits.
    ModalAnswers plan({[](QWidget* dialog) {
        auto* run = dialog->findChild<QPushButton*>(u"BtnPlanRun"_s);
        if (run && run->isEnabled())
            run->click();
        else
            QTest::keyClick(dialog, Qt::Key_Escape);
    }});
    w.ui.BtnFileName->click();
}

// A folder of MP3 files for one test.
class MusicFolder {
public:
    MusicFolder() { QDir(dir_.path()).mkpath(u"music"_s); }
    QString path() const { return dir_.filePath(u"music"_s) + u'/'; }
    QString file(const QString& name) const { return path() + name; }
    QString add(const QString& name, const QByteArray& bytes) const
    {
        testsupport::writeBytes(file(name), bytes);
        return file(name);
    }
    // A file with an ID3v2.3 tag of the given texts (code-page bytes).
    QString addV2(const QString& name, const QByteArray& title, const QByteArray& artist = {},
                  const QByteArray& album = {}) const
    {
        using namespace testsupport;
        const QByteArray frames = frame23("TIT2", textData(0, title)) +
                                  frame23("TPE1", textData(0, artist)) +
                                  frame23("TALB", textData(0, album));
        return add(name, id3v2Tag(3, frames, 32) + silentMpegFrames());
    }
    QString addV1(const QString& name, const QByteArray& title, const QByteArray& artist = {},
                  int track = 0, int genre = 255) const
    {
        using namespace testsupport;
        return add(name,
                   silentMpegFrames() + id3v1Trailer(title, artist, {}, {}, {}, track, genre));
    }
    QString subfolder(const QString& name) const
    {
        QDir(path()).mkpath(name);
        return path() + name;
    }

private:
    testsupport::TemporaryFolder dir_;
};

// The program's forms, started on a folder (the settings' "path").
class Program {
public:
    // `startPath` is the program's argument (a folder or an MP3 file).
    explicit Program(const QString& folder = {}, QList<ModalAnswers::Answer> answers = {},
                     const QString& startPath = {})
    {
        if (!folder.isEmpty())
            writeSetting(u"SysInfo"_s, u"path"_s, folder);
        ModalAnswers startup(std::move(answers));
        forms_ = std::make_unique<TProgramForms>(startPath);
        startupMessages_ = startup.messages();
        main().show();
        QVERIFY(QTest::qWaitForWindowExposed(&main()));
    }

    TFormMain& main() const { return forms_->main(); }
    TProgramForms& forms() const { return *forms_; }
    const QStringList& startupMessages() const { return startupMessages_; }

    template <class T> T* find(const QString& name) const
    {
        T* w = main().findChild<T*>(name);
        if (!w)
            qWarning("no component %s", qPrintable(name));
        return w;
    }
    TReportList* list() const { return main().ui.ListViewMain; }
    int rows() const { return list()->model()->rowCount(); }
    // The cell of row i in column c, as the list shows it.
    QModelIndex cell(int i, int c = 0) const { return list()->model()->index(i, c); }
    QString text(int i, int c) const { return cell(i, c).data().toString(); }
    QStringList captions() const
    {
        QStringList out;
        for (int i = 0; i < rows(); ++i)
            out << text(i, 0);
        return out;
    }
    QStringList cells(int i) const
    {
        QStringList out;
        for (int c = 1; c <= 5; ++c)
            out << text(i, c);
        return out;
    }
    // The selected rows in list order, and the captions of them.
    QList<int> selected() const
    {
        QList<int> out;
        for (int i = 0; i < rows(); ++i) {
            if (list()->selectionModel()->isSelected(cell(i)))
                out << i;
        }
        return out;
    }
    QStringList selectedCaptions() const
    {
        QStringList out;
        for (const int i : selected())
            out << text(i, 0);
        return out;
    }
    void select(std::initializer_list<int> indices) const
    {
        list()->clearSelection();
        for (const int i : indices)
            list()->selectionModel()->select(cell(i), QItemSelectionModel::Select |
                                                          QItemSelectionModel::Rows);
    }
    // Where the user aims at row i.
    QPoint pointOnRow(int i) const
    {
        return testsupport::pointOn(*list(), list()->visualRect(cell(i)));
    }
    // A click on a row, as the user selects it.
    void clickRow(int i) const
    {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, pointOnRow(i));
    }
    QString log() const { return main().ui.MemoLog->toPlainText(); }
    QString status(int panel) const
    {
        return find<QLabel>(u"StatusBarPanel"_s + QString::number(panel))->text();
    }
    // Shows the folder in the shell list, as the tree would.
    void showFolder(const QString& folder) const
    {
        main().ui.ShellList->setPath(folder);
        main().RebuildList();
    }

private:
    std::unique_ptr<TProgramForms> forms_;
    QStringList startupMessages_;
};

} // namespace apptest

#pragma once

#include "app/WindowLinks.h"

#include "app/PropertyPage.h"
#include "operations/Core.h"
#include "operations/TagEditing.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class TBatchFrame;
class TReportList;

// The property page: the file it shows, its fields filled from that file,
// the fit label, its tab's caption, and its one save ("修改(&M)", or Enter
// in a field), which the page turns into one command of
// operations/PageSave and whose outcome it shows. Before the page shows
// another file (or none) it asks about unsaved edits.
//
// With several rows selected it shows what their files share (the others
// "<保留>"), and its save sets the fields the user changed in each of them as
// one step, run in the batch frame (operations/SharedFields).
class TPageController {
public:
    struct Widgets {
        TPropertyPage::Fields fields;
        QLineEdit* file = nullptr; // the file the page shows
        QPushButton* save = nullptr;
        QTabWidget* pages = nullptr;
        int pageIndex = 0; // the property page's tab
        TReportList* list = nullptr;
        QLabel* status = nullptr;
        // The buttons that act on the file or the selection; disabled with
        // the page.
        std::vector<QPushButton*> actions;
    };
    // What the controller needs of the window.
    struct Window : TWindowLinks {
        std::function<int(const QString& path)> findRow; // -1 when not listed
        std::function<void(int row)> rereadRow;
        std::function<void(const QString& path)> showCover;
        // After a step was written: the Edit menu, the journal made durable.
        std::function<void()> afterStep;
        // After the save button wrote the file: the list read again, the row
        // after the file's selected.
        std::function<void(const QString& path)> advance;
        std::function<QString(int row)> rowPath;
        std::function<QString(int row)> rowName; // shared with the row
        // A selection change the program makes itself: it never asks.
        std::function<bool()> quiet;
        // False while the window starts or a renaming run holds the list.
        std::function<bool()> refreshEnabled;
        std::function<TBatchFrame&()> frame;
        // After the save button wrote several files: the rows read again,
        // the selection kept.
        std::function<void()> rebuildKeepingSelection;
    };

    TPageController(operations::Core& core, const Widgets& widgets, Window window);
    TPageController(const TPageController&) = delete;
    TPageController& operator=(const TPageController&) = delete;

    TPropertyPage& page() { return page_; }
    const TPropertyPage& page() const { return page_; }
    // The one file the page shows; empty for none or several.
    QString file() const;
    // Every file the page shows, in list order.
    QStringList files() const { return files_.paths(); }

    // Selection changes that leave the page alone while a scope holds.
    class Hold {
    public:
        explicit Hold(TPageController& c) : c_(c) { ++c_.held_; }
        ~Hold() { --c_.held_; }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        TPageController& c_;
    };
    bool held() const { return held_ > 0; }

    // The list's selection changed: the page shows its files, after asking
    // about unsaved edits (unless the program made the change); the same
    // files again keep the edits.
    void selectionChanged();
    // Shows the file: its tags, or an empty page when they cannot be shown,
    // so that a save writes only what is typed; no unsaved edits.
    void show(QString path); // by value: it may be one of files()
    // Shows one file, or what several share.
    void show(QStringList paths);
    // The file shown read again into the page.
    void reload(const QString& path);
    // No file: the page empty and disabled, the action buttons too.
    void clear();
    void setActionsEnabled(bool enabled);
    // The tab's caption names the priority.
    void setCaption();

    // Writes the page into the file shown and logs the outcome; a failure
    // keeps the page as typed. With several files: see saveSeveral.
    bool save();
    // "修改(&M)": saved, then the next row; several files stay selected.
    void saveAndAdvance();
    // Asks "保存修改吗?" before the page shows other files (or none):
    // false when the user chose to stay, or the save failed.
    bool leave(const QStringList& next = {});
    // Back to the rows of the files the page shows, as if the user had not moved.
    void reselectFiles();

private:
    // The files the page shows: their folder once and their names, which
    // share the list rows' strings, so that a selection of every row of a
    // large folder costs a pointer a file rather than a path.
    struct Files {
        QString folder; // with its last '/'; empty when they differ
        QStringList names;
        bool operator==(const Files&) const = default;
        qsizetype size() const { return names.size(); }
        bool isEmpty() const { return names.isEmpty(); }
        QString path(qsizetype i) const { return folder + names[i]; }
        QStringList paths() const;
        static Files of(const QStringList& paths);
    };
    Files selectedFiles();
    bool leaveFor(const Files& next);
    bool fillFromFile(const QString& path);
    void showV1Target(const QString& path);
    void showFiles(Files files);
    void showSeveral(Files files);
    // What the several files shown share, read into the page.
    void fillShared();
    bool pageShown() const;
    // The fields the user changed; nullopt, said in the status bar, when a
    // number field holds what it cannot take.
    std::optional<operations::FieldValues> changedValues();
    // Sets the changed fields in every file shown as one step and logs each
    // file; then the rows are read again, all of them (`rebuild`) or the
    // files'. False when no file took the change.
    bool saveSeveral(bool rebuild);

    operations::Core& core_;
    Widgets w_;
    Window window_;
    TPropertyPage page_;
    TID3v1 v1_;
    TID3v2 v2_;
    Files files_;
    // Several files: the digest of each one's tags as the page read them.
    std::map<QString, QByteArray> seen_;
    // Several files are shown but not yet read: the page is not in view.
    bool sharedPending_ = false;
    int held_ = 0;
};

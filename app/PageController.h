#pragma once

#include "app/WindowLinks.h"

#include "app/PropertyPage.h"
#include "operations/Core.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QString>

#include <array>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class TReportList;

// The property page: the file it shows, its fields filled from that file,
// the fit label, its tab's caption, and its one save ("修改(&M)", or Enter
// in a field), which the page turns into one command of
// operations/PageSave and whose outcome it shows. Before the page shows
// another file (or none) it asks about unsaved edits.
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
    };

    TPageController(operations::Core& core, const Widgets& widgets, Window window);
    TPageController(const TPageController&) = delete;
    TPageController& operator=(const TPageController&) = delete;

    TPropertyPage& page() { return page_; }
    const TPropertyPage& page() const { return page_; }
    QString file() const;

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

    // Shows the file: its tags, or an empty page when they cannot be shown,
    // so that a save writes only what is typed; no unsaved edits.
    void show(const QString& path);
    // The file shown read again into the page.
    void reload(const QString& path);
    // No file: the page empty and disabled, the action buttons too.
    void clear();
    void setActionsEnabled(bool enabled);
    // The tab's caption names the priority.
    void setCaption();

    // Writes the page into the file shown and logs the outcome; a failure
    // keeps the page as typed.
    bool save();
    // "修改(&M)": saved, then the next row.
    void saveAndAdvance();
    // Asks "保存修改吗?" before the page shows another file (or none):
    // false when the user chose to stay, or the save failed.
    bool leave(const QString& nextFile = QString());
    // Back to the row of the file the page shows, as if the user had not moved.
    void reselectFile();

private:
    bool fillFromFile(const QString& path);
    void showV1Target(const QString& path);

    operations::Core& core_;
    Widgets w_;
    Window window_;
    TPropertyPage page_;
    TID3v1 v1_;
    TID3v2 v2_;
    int held_ = 0;
};

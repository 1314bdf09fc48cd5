#pragma once

#include "app/WindowLinks.h"

#include "operations/Core.h"
#include "platform/LegacyText.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QString>

#include <functional>
#include <map>
#include <optional>

class QAction;
class QTabWidget;
class QWidget;
class TBatchFrame;
class TRenameController;
class TReportList;
class TShellList;

// The list menu's encoding tools: the inspector of the selected files' legacy
// texts with their conversion to Unicode (operations/Conversion, as the
// command line converts), and the repair of file names that are not UTF-8
// (planned by operations/NameBatch, run as the renaming page runs its plans).
class TEncodingController {
public:
    struct Widgets {
        QAction* inspect = nullptr;
        QAction* fixNames = nullptr;
        TShellList* folder = nullptr; // the folder the list shows
        TReportList* list = nullptr;
        QTabWidget* pages = nullptr;
    };
    // What the controller needs of the window.
    struct Window : TWindowLinks {
        std::function<TBatchFrame&()> frame;
        // After the conversion: the list read again, the Edit menu, the
        // journal made durable.
        std::function<void()> afterConversion;
        // The captions changed: the name column fits them.
        std::function<void()> namesChanged;
    };

    TEncodingController(const operations::Core& core, TRenameController& renaming,
                        const Widgets& widgets, Window window);
    TEncodingController(const TEncodingController&) = delete;
    TEncodingController& operator=(const TEncodingController&) = delete;

    // "编码检查": the inspector of the selected files, and the conversion it
    // asks for in the batch frame.
    void inspectSelected();
    // Renames the selected files whose names are not UTF-8 to the UTF-8 form
    // of the names they show, never replacing another file.
    void fixSelectedNames();

private:
    void convert(const std::map<QString, std::optional<platform::LegacyCodePage>>& chosen);

    const operations::Core& core_;
    TRenameController& renaming_;
    Widgets w_;
    Window window_;
    TID3v1 v1_;
    TID3v2 v2_;
};

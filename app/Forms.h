#pragma once

#include <QString>

#include <memory>

class TAboutBox;
class TFormID3;
class TFormMain;
class TFormOption;

// The program's four forms, created in this order and alive until the end:
// the main window (its creation runs the start-up), the options dialog (its
// creation reads the settings once), the About box, the copy-options dialog.
class TProgramForms {
public:
    // The main window starts on `startPath` (a folder, or an MP3 file in
    // its folder) when one is given, else on the folder of the settings.
    explicit TProgramForms(const QString& startPath = {});
    ~TProgramForms();
    TProgramForms(const TProgramForms&) = delete;
    TProgramForms& operator=(const TProgramForms&) = delete;

    TFormMain& main() const { return *main_; }
    TFormOption& option() const { return *option_; }
    TAboutBox& about() const { return *about_; }

    // Shows the main window where it was left, or in the middle of the
    // screen.
    void showMain();

private:
    std::unique_ptr<TFormMain> main_;
    std::unique_ptr<TFormOption> option_;
    std::unique_ptr<TAboutBox> about_;
    std::unique_ptr<TFormID3> id3_;
};

#include "app/Forms.h"

#include "about/About.h"
#include "app/ErrorReport.h"
#include "app/ID3Copy.h"
#include "app/Option.h"
#include "app/main.h"

TProgramForms::TProgramForms(const QString& startPath)
    : main_(std::make_unique<TFormMain>(startPath)), option_(std::make_unique<TFormOption>())
{
    option_->OnException = [this](const std::exception& e) {
        ShowException(e, option_.get());
    };
    try {
        option_->FormCreate();
    } catch (const std::exception& e) {
        ShowException(e, main_.get());
    }
    about_ = std::make_unique<TAboutBox>();
    id3_ = std::make_unique<TFormID3>();
    id3_->FormCreate();
    main_->FormOption = option_.get();
    main_->AboutBox = about_.get();
}

TProgramForms::~TProgramForms() = default;

void TProgramForms::showMain()
{
    main_->showRestored();
}

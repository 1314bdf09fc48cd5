#pragma once

#include "operations/ToolCommand.h"

#include <QDialog>
#include <QStringList>

#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTreeWidget;

// "批量处理" (objectName "FormTools"): a text tool chosen in ComboTool with its
// parameters beside it, the fields it acts on, and ListViewToolPreview with
// every text it would change (文件名, 字段, 原值, 新值, and why one cannot be
// written), following each change of the parameters. BtnToolRun "执行" closes
// it accepted, to run what the preview shows; BtnToolCancel "取消" closes it
// having written nothing.
class TFormTools : public QDialog {
    Q_OBJECT

public:
    // The files in the list's order, their tags read once; `adPatterns` the
    // advertisement list the user keeps.
    TFormTools(std::vector<operations::ToolFile> files, operations::NameShower shown,
               const QStringList& adPatterns, QWidget* parent = nullptr);
    ~TFormTools() override;

    // The tool as the dialog stands, previewed over its files.
    std::shared_ptr<operations::TextTool> tool() const { return tool_; }
    const std::vector<operations::ToolEdit>& edits() const { return edits_; }
    const std::vector<operations::ToolFile>& files() const { return files_; }
    // The advertisement list as edited, and whether the user changed it.
    QStringList adPatterns() const;
    bool adPatternsChanged() const;

    QComboBox* ComboTool;
    QStackedWidget* PanelToolParams;
    QSpinBox* SpinToolStart;
    QComboBox* ComboToolTotal;
    QSpinBox* SpinToolWidth;
    QCheckBox* CheckToolRestart;
    QComboBox* ComboToolCase;
    QLineEdit* EditToolFind;
    QLineEdit* EditToolReplace;
    QCheckBox* CheckToolRegex;
    QCheckBox* CheckToolCaseSensitive;
    QLineEdit* EditToolPattern;
    QComboBox* ComboToolTarget;
    QComboBox* ComboToolChinese;
    QPlainTextEdit* MemoToolAds;
    QPushButton* BtnToolAdsReset;
    QCheckBox* CheckToolTitle;
    QCheckBox* CheckToolArtist;
    QCheckBox* CheckToolAlbum;
    QCheckBox* CheckToolAlbumArtist;
    QCheckBox* CheckToolComment;
    QCheckBox* CheckToolFileName;
    QTreeWidget* ListViewToolPreview;
    QLabel* LabelToolSummary;
    QPushButton* BtnToolRun;
    QPushButton* BtnToolCancel;

private:
    QWidget* makeParams();
    QWidget* makeFields();
    operations::ToolSettings settingsShown() const;
    void updatePreview();
    void showEdits();

    std::vector<operations::ToolFile> files_;
    operations::NameShower shown_;
    QStringList storedAds_;
    std::shared_ptr<operations::TextTool> tool_;
    std::vector<operations::ToolEdit> edits_;
};

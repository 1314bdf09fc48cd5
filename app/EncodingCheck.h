#pragma once

#include "operations/EncodingRepair.h"
#include "platform/LegacyText.h"

#include <QDialog>
#include <QString>

#include <map>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QPushButton;
class QTreeWidget;

// The legacy texts of one file (ID3v2 frames that declare ISO-8859-1 and the
// ID3v1 fields), each with the code page detected for its tag.
struct TEncodingFile {
    QString path;
    QString name;
    std::vector<operations::LegacyTextOfFile> texts;
};

// "编码检查" (objectName "FormEncoding"): one row per legacy text of the
// selected files, shown as the file's code page reads it. ComboCodec sets the
// interpretation of the chosen rows' files ("自动" is the detected one);
// BtnConvert "转换为Unicode" closes the dialog asking for the conversion,
// BtnClose "关闭" closes it.
class TFormEncoding : public QDialog {
    Q_OBJECT

public:
    explicit TFormEncoding(QWidget* parent = nullptr);

    void setFiles(std::vector<TEncodingFile> files);
    // After exec: whether the user asked for the conversion, and the code
    // page each listed file is to be read in (none: as detected).
    bool convertRequested() const { return convert_; }
    std::map<QString, std::optional<platform::LegacyCodePage>> interpretations() const;

    QTreeWidget* ListViewEncoding;
    QComboBox* ComboCodec;
    QPushButton* BtnConvert;
    QPushButton* BtnClose;

private:
    void ComboCodecChange();
    void showRows();
    platform::LegacyCodePage interpretationOf(const TEncodingFile& file,
                                              const operations::LegacyTextOfFile& text) const;

    std::vector<TEncodingFile> files_;
    std::map<QString, platform::LegacyCodePage> chosen_; // overrides by path
    bool convert_ = false;
};

#include "app/EncodingCheck.h"

#include "widgets/Toolkit.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <set>

using namespace Qt::StringLiterals;
using platform::LegacyCodePage;

namespace {

enum Column { FileColumn, FieldColumn, DetectedColumn, UsedColumn, TextColumn };
constexpr int kFileRole = Qt::UserRole + 1;
constexpr int kTextRole = Qt::UserRole + 2;

// The combo's items after "自动", in this order.
constexpr LegacyCodePage kCodecs[] = {LegacyCodePage::Gbk, LegacyCodePage::Big5,
                                      LegacyCodePage::Cp1252};

} // namespace

TFormEncoding::TFormEncoding(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"FormEncoding"_s);
    setWindowTitle(u"编码检查"_s);
    setFont(widgets::songTiFont(9));
    resize(640, 400);

    ListViewEncoding = new QTreeWidget(this);
    ListViewEncoding->setObjectName(u"ListViewEncoding"_s);
    ListViewEncoding->setRootIsDecorated(false);
    ListViewEncoding->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListViewEncoding->setHeaderLabels(
        {u"文件名"_s, u"字段"_s, u"检测编码"_s, u"采用编码"_s, u"文本"_s});
    ListViewEncoding->header()->setStretchLastSection(true);

    ComboCodec = new QComboBox(this);
    ComboCodec->setObjectName(u"ComboCodec"_s);
    ComboCodec->addItem(u"自动"_s);
    for (const LegacyCodePage codec : kCodecs)
        ComboCodec->addItem(platform::codePageName(codec));
    BtnConvert = new QPushButton(u"转换为Unicode"_s, this);
    BtnConvert->setObjectName(u"BtnConvert"_s);
    BtnClose = new QPushButton(u"关闭"_s, this);
    BtnClose->setObjectName(u"BtnClose"_s);

    auto* buttons = new QHBoxLayout;
    auto* label = new QLabel(u"按编码读取所选行:"_s, this);
    label->setBuddy(ComboCodec);
    buttons->addWidget(label);
    buttons->addWidget(ComboCodec);
    buttons->addStretch();
    buttons->addWidget(BtnConvert);
    buttons->addWidget(BtnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListViewEncoding);
    layout->addLayout(buttons);

    connect(ComboCodec, &QComboBox::activated, this, [this] { ComboCodecChange(); });
    connect(BtnConvert, &QPushButton::clicked, this, [this] {
        convert_ = true;
        accept();
    });
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormEncoding::setFiles(std::vector<TEncodingFile> files)
{
    files_ = std::move(files);
    chosen_.clear();
    ListViewEncoding->clear();
    QList<QTreeWidgetItem*> rows;
    for (std::size_t f = 0; f < files_.size(); ++f) {
        for (std::size_t t = 0; t < files_[f].texts.size(); ++t) {
            auto* row = new QTreeWidgetItem;
            row->setText(FileColumn, files_[f].name);
            row->setText(FieldColumn, files_[f].texts[t].field);
            row->setText(DetectedColumn, platform::codePageName(files_[f].texts[t].codePage));
            row->setData(FileColumn, kFileRole, qulonglong(f));
            row->setData(FileColumn, kTextRole, qulonglong(t));
            rows.append(row);
        }
    }
    ListViewEncoding->addTopLevelItems(rows);
    showRows();
    for (int c = FileColumn; c < TextColumn; ++c)
        ListViewEncoding->resizeColumnToContents(c);
    BtnConvert->setEnabled(!rows.isEmpty());
}

LegacyCodePage TFormEncoding::interpretationOf(const TEncodingFile& file,
                                               const operations::LegacyTextOfFile& text) const
{
    const auto it = chosen_.find(file.path);
    return it == chosen_.end() ? text.codePage : it->second;
}

std::map<QString, std::optional<LegacyCodePage>> TFormEncoding::interpretations() const
{
    std::map<QString, std::optional<LegacyCodePage>> out;
    for (const TEncodingFile& file : files_) {
        if (file.texts.empty())
            continue;
        const auto it = chosen_.find(file.path);
        out[file.path] = it == chosen_.end() ? std::nullopt : std::optional(it->second);
    }
    return out;
}

// The texts as the interpretation now in force reads them.
void TFormEncoding::showRows()
{
    for (int i = 0; i < ListViewEncoding->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = ListViewEncoding->topLevelItem(i);
        const TEncodingFile& file = files_[row->data(FileColumn, kFileRole).toULongLong()];
        const auto& text = file.texts[row->data(FileColumn, kTextRole).toULongLong()];
        const LegacyCodePage used = interpretationOf(file, text);
        row->setText(UsedColumn, platform::codePageName(used));
        row->setText(TextColumn, platform::decodeLegacy(text.bytes, used));
    }
}

// The interpretation is the file's: a chosen row sets it for every text of
// its file. Without a chosen row it applies to every file listed.
void TFormEncoding::ComboCodecChange()
{
    // Item 0 is "自动": the detected code pages again.
    const int item = ComboCodec->currentIndex();
    std::set<std::size_t> files;
    for (const QTreeWidgetItem* row : ListViewEncoding->selectedItems())
        files.insert(row->data(FileColumn, kFileRole).toULongLong());
    if (files.empty()) {
        for (std::size_t f = 0; f < files_.size(); ++f)
            files.insert(f);
    }
    for (const std::size_t f : files) {
        if (item > 0)
            chosen_[files_[f].path] = kCodecs[std::size_t(item - 1)];
        else
            chosen_.erase(files_[f].path);
    }
    showRows();
}

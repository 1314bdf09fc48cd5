#include "app/FramesDialog.h"

#include "app/FrameEditDialog.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/ID3v2FrameList.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

enum Column { TagColumn, IdColumn, NameColumn, TextColumn, SizeColumn };

// The bytes of a frame we cannot show, as the cell has room for.
constexpr qsizetype kHexShown = 16;

QString oneLine(QString text)
{
    text.replace(u"\r\n"_s, u" / "_s);
    text.replace(u'\n', u" / "_s);
    text.replace(u'\r', u" / "_s);
    return text;
}

QString described(const QString& description, const QString& text)
{
    return description.isEmpty() ? oneLine(text) : description + u": "_s + oneLine(text);
}

QString rowText(const operations::TagRow& row)
{
    if (row.shown)
        return described(row.description, row.text);
    const QByteArray hex = row.data.left(kHexShown).toHex(' ');
    return u"(无法显示) "_s + QString::fromLatin1(hex) +
           (row.data.size() > kHexShown ? u" …"_s : QString());
}

operations::FrameContent contentOf(const operations::TagRow& row)
{
    return {row.id, row.description, row.language, row.text};
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false); // Enter in the list edits the frame
    return b;
}

} // namespace

TFramesDialog::TFramesDialog(QWidget* parent, QString path, operations::TextRules rules, Save save)
    : QDialog(parent), path_(std::move(path)), rules_(std::move(rules)), save_(std::move(save))
{
    setObjectName(u"FormFrames"_s);
    setWindowTitle(u"全部帧"_s);
    setModal(true);
    list_ = new QTreeWidget(this);
    list_->setObjectName(u"ListViewFrames"_s);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels({u"标签"_s, u"ID"_s, u"名称"_s, u"内容"_s, u"大小"_s});
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(TextColumn, QHeaderView::Stretch);
    add_ = button(this, u"BtnFrameAdd"_s, u"添加(&A)..."_s);
    edit_ = button(this, u"BtnFrameEdit"_s, u"编辑(&E)..."_s);
    delete_ = button(this, u"BtnFrameDelete"_s, u"删除(&D)"_s);
    apeRemove_ = button(this, u"BtnApeRemove"_s, u"删除 APEv2 标签"_s);
    saveButton_ = button(this, u"BtnFramesSave"_s, u"保存(&S)"_s);
    auto* close = button(this, u"BtnFramesClose"_s, u"关闭(&C)"_s);
    status_ = new QLabel(this);
    status_->setObjectName(u"LabelFramesStatus"_s);
    status_->setWordWrap(true);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {add_, edit_, delete_, apeRemove_})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(saveButton_);
    buttons->addWidget(close);
    auto* top = new QHBoxLayout;
    top->addWidget(list_, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(status_);
    resize(760, 420);

    connect(add_, &QPushButton::clicked, this, &TFramesDialog::addFrame);
    connect(edit_, &QPushButton::clicked, this, &TFramesDialog::editFrame);
    connect(delete_, &QPushButton::clicked, this, &TFramesDialog::deleteFrames);
    connect(apeRemove_, &QPushButton::clicked, this, &TFramesDialog::removeApe);
    connect(saveButton_, &QPushButton::clicked, this, &TFramesDialog::saveFrames);
    connect(close, &QPushButton::clicked, this, &TFramesDialog::reject);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &TFramesDialog::editFrame);
    list_->installEventFilter(this);
}

// Enter in the list edits the chosen frame, Delete removes the chosen ones.
bool TFramesDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                editFrame();
                return true;
            }
            if (key->key() == Qt::Key_Delete) {
                deleteFrames();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TFramesDialog::load()
{
    TID3v1 v1;
    TID3v2 v2;
    const auto seen = operations::tagsSeen(path_);
    auto rows = seen ? operations::readTagRows(v1, v2, path_, rules_) : std::nullopt;
    if (!rows) {
        say(u"无法读取文件"_s);
        for (QPushButton* b : {add_, edit_, delete_, apeRemove_, saveButton_})
            b->setEnabled(false);
        return false;
    }
    seen_ = *seen;
    rows_ = std::move(*rows);
    hasApe_ = seen_.ape.has_value();
    removeApe_ = false;
    build();
    return true;
}

void TFramesDialog::build()
{
    entries_.clear();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].tag == u"ID3v2"_s)
            entries_.push_back({i, std::nullopt, false});
    }
    fill();
}

// The list as the edits leave it; the choice kept where the rows stay.
void TFramesDialog::fill()
{
    list_->clear();
    const auto addItem = [this](const QStringList& cells, int entry, bool changed) {
        auto* item = new QTreeWidgetItem(list_, cells);
        item->setData(TagColumn, Qt::UserRole, entry);
        item->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        if (changed) {
            QFont font = item->font(TextColumn);
            font.setBold(true);
            item->setFont(TextColumn, font);
        }
        if (entry < 0)
            item->setForeground(TagColumn, palette().placeholderText());
    };
    for (std::size_t e = 0; e < entries_.size(); ++e) {
        const Entry& entry = entries_[e];
        if (entry.removed)
            continue;
        if (entry.edit) {
            const auto& c = *entry.edit;
            addItem({u"ID3v2"_s, c.id, QString::fromStdString(tags::frameName(c.id.toStdString())),
                     described(c.description, c.value), QString()},
                    int(e), true);
            continue;
        }
        const operations::TagRow& row = rows_[*entry.read];
        addItem({row.tag, row.id, row.name, rowText(row), QString::number(row.size)}, int(e),
                false);
    }
    for (const operations::TagRow& row : rows_) {
        if (row.tag == u"ID3v2"_s || (removeApe_ && row.tag == u"APEv2"_s))
            continue;
        addItem({row.tag, row.id, row.name, rowText(row), QString::number(row.size)}, -1, false);
    }
    for (int c = 0; c < list_->columnCount(); ++c) {
        if (c != TextColumn)
            list_->resizeColumnToContents(c);
    }
    apeRemove_->setEnabled(hasApe_ && !removeApe_);
    if (list_->topLevelItemCount() > 0 && !list_->currentItem())
        list_->setCurrentItem(list_->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
}

bool TFramesDialog::editable(const Entry& entry) const
{
    if (entry.edit)
        return true;
    const operations::TagRow& row = rows_[*entry.read];
    if (!row.shown)
        return false;
    const QChar kind = row.id.front();
    return kind == u'T' || kind == u'W' || operations::carriesLanguage(row.id);
}

std::vector<int> TFramesDialog::chosenEntries() const
{
    std::vector<int> chosen;
    QList<QTreeWidgetItem*> items = list_->selectedItems();
    if (items.isEmpty() && list_->currentItem())
        items << list_->currentItem();
    for (const QTreeWidgetItem* item : items)
        chosen.push_back(item->data(TagColumn, Qt::UserRole).toInt());
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

void TFramesDialog::addFrame()
{
    TFrameEditDialog editor(this, std::nullopt);
    if (editor.exec() != QDialog::Accepted)
        return;
    entries_.push_back({std::nullopt, editor.content(), false});
    fill();
    // The new frame is the last of the ID3v2 rows.
    const auto shown =
        std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.removed; });
    list_->setCurrentItem(list_->topLevelItem(int(shown) - 1));
    say(u"已添加 %1, 保存后写入文件"_s.arg(editor.content().id));
}

void TFramesDialog::editFrame()
{
    QTreeWidgetItem* item = list_->currentItem();
    const int index = item ? item->data(TagColumn, Qt::UserRole).toInt() : -1;
    if (!item || index < 0) {
        say(item ? u"ID3v1 和 APEv2 的内容在这里只读"_s : u"请先选择一帧"_s);
        return;
    }
    Entry& entry = entries_[std::size_t(index)];
    if (!editable(entry)) {
        say(u"这一帧无法在这里编辑, 只能删除; 保存时原样保留"_s);
        return;
    }
    TFrameEditDialog editor(this, entry.edit ? *entry.edit : contentOf(rows_[*entry.read]));
    if (editor.exec() != QDialog::Accepted)
        return;
    entry.edit = editor.content();
    const int row = list_->indexOfTopLevelItem(item);
    fill();
    list_->setCurrentItem(list_->topLevelItem(row));
    say(u"已修改 %1, 保存后写入文件"_s.arg(entry.edit->id));
}

void TFramesDialog::deleteFrames()
{
    const std::vector<int> chosen = chosenEntries();
    int removed = 0;
    // From the last, so that the indexes of those still to go hold.
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
        if (*it < 0)
            continue;
        Entry& entry = entries_[std::size_t(*it)];
        if (entry.read)
            entry.removed = true;
        else
            entries_.erase(entries_.begin() + *it);
        ++removed;
    }
    const bool readOnly = std::find(chosen.begin(), chosen.end(), -1) != chosen.end();
    if (removed == 0) {
        say(readOnly ? u"ID3v1 和 APEv2 的内容在这里只读"_s : u"请先选择要删除的帧"_s);
        return;
    }
    fill();
    say(u"已删除 %1 帧, 保存后写入文件"_s.arg(removed) +
        (readOnly ? u" (ID3v1 和 APEv2 的内容未删除)"_s : QString()));
}

void TFramesDialog::removeApe()
{
    removeApe_ = true;
    fill();
    say(u"APEv2 标签将在保存时删除"_s);
}

operations::FrameChanges TFramesDialog::changes() const
{
    operations::FrameChanges changes;
    for (const Entry& entry : entries_) {
        if (!entry.read) {
            changes.added.push_back(*entry.edit);
            continue;
        }
        const std::size_t index = rows_[*entry.read].index;
        if (entry.removed)
            changes.removed.push_back(index);
        else if (entry.edit)
            changes.replaced.emplace_back(index, *entry.edit);
    }
    changes.removeApe = removeApe_;
    return changes;
}

bool TFramesDialog::saveFrames()
{
    const operations::FrameChanges made = changes();
    if (!made.any()) {
        say(u"没有修改"_s);
        return true;
    }
    const operations::FramesSaved saved = save_(made, seen_);
    if (!saved.succeeded) {
        say(u"保存失败: "_s + saved.message);
        return false;
    }
    load();
    say(u"已保存: "_s + saved.message);
    return true;
}

void TFramesDialog::reject()
{
    if (isModified()) {
        const auto answer = QMessageBox::question(
            this, u"全部帧"_s, u"帧已修改, 是否保存?"_s,
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && !saveFrames()))
            return;
    }
    QDialog::reject();
}

void TFramesDialog::say(const QString& text)
{
    status_->setText(text);
}

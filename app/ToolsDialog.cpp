#include "app/ToolsDialog.h"

#include "widgets/Toolkit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using operations::Field;
using operations::ToolKind;

namespace {

enum Column { FileColumn, FieldColumn, BeforeColumn, AfterColumn, NoteColumn };

template <typename W> W* named(W* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

QComboBox* comboOf(QWidget* parent, const QString& name,
                   const std::vector<std::pair<QString, QVariant>>& items)
{
    auto* combo = named(new QComboBox(parent), name);
    for (const auto& [text, data] : items)
        combo->addItem(text, data);
    return combo;
}

QWidget* pageOf(QWidget* parent, const std::vector<std::pair<QString, QWidget*>>& rows)
{
    auto* page = new QWidget(parent);
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    // Texts to type grow with the dialog; choices keep their size.
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->setFormAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (const auto& [label, widget] : rows) {
        if (label.isEmpty())
            form->addRow(widget);
        else
            form->addRow(label, widget);
    }
    return page;
}

} // namespace

TFormTools::TFormTools(std::vector<operations::ToolFile> files, operations::NameShower shown,
                       const QStringList& adPatterns, QWidget* parent)
    : QDialog(parent), files_(std::move(files)), shown_(std::move(shown)), storedAds_(adPatterns)
{
    setObjectName(u"FormTools"_s);
    setWindowTitle(u"批量处理"_s);
    setFont(widgets::songTiFont(9));
    resize(720, 520);

    ComboTool = comboOf(this, u"ComboTool"_s,
                        {{u"编号"_s, {}},
                         {u"大小写"_s, {}},
                         {u"替换"_s, {}},
                         {u"格式化"_s, {}},
                         {u"简繁转换"_s, {}},
                         {u"全角转半角"_s, {}},
                         {u"去除广告"_s, {}}});
    ComboTool->setCurrentIndex(int(ToolKind::Case));
    auto* top = new QHBoxLayout;
    auto* toolLabel = new QLabel(u"工具(&T):"_s, this);
    toolLabel->setBuddy(ComboTool);
    top->addWidget(toolLabel);
    top->addWidget(ComboTool);
    top->addStretch();
    auto* params = named(new QGroupBox(u"参数"_s, this), u"GroupToolParams"_s);
    auto* paramsLayout = new QVBoxLayout(params);
    paramsLayout->addWidget(makeParams());

    ListViewToolPreview = named(new QTreeWidget(this), u"ListViewToolPreview"_s);
    ListViewToolPreview->setRootIsDecorated(false);
    ListViewToolPreview->setUniformRowHeights(true);
    ListViewToolPreview->setHeaderLabels({u"文件名"_s, u"字段"_s, u"原值"_s, u"新值"_s, u"说明"_s});
    ListViewToolPreview->header()->setStretchLastSection(true);
    ListViewToolPreview->setColumnWidth(FileColumn, 160);
    ListViewToolPreview->setColumnWidth(FieldColumn, 70);
    ListViewToolPreview->setColumnWidth(BeforeColumn, 150);
    ListViewToolPreview->setColumnWidth(AfterColumn, 150);

    LabelToolSummary = named(new QLabel(this), u"LabelToolSummary"_s);
    BtnToolRun = named(new QPushButton(u"执行"_s, this), u"BtnToolRun"_s);
    BtnToolCancel = named(new QPushButton(u"取消"_s, this), u"BtnToolCancel"_s);
    BtnToolRun->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(LabelToolSummary, 1);
    buttons->addWidget(BtnToolRun);
    buttons->addWidget(BtnToolCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(params);
    layout->addWidget(makeFields());
    layout->addWidget(ListViewToolPreview, 1);
    layout->addLayout(buttons);

    connect(ComboTool, &QComboBox::currentIndexChanged, this, [this](int index) {
        PanelToolParams->setCurrentIndex(index);
        updatePreview();
    });
    connect(BtnToolRun, &QPushButton::clicked, this, &QDialog::accept);
    connect(BtnToolCancel, &QPushButton::clicked, this, &QDialog::reject);
    PanelToolParams->setCurrentIndex(ComboTool->currentIndex());
    updatePreview();
}

TFormTools::~TFormTools() = default;

QWidget* TFormTools::makeParams()
{
    PanelToolParams = named(new QStackedWidget(this), u"PanelToolParams"_s);
    const auto changed = [this] {
        updatePreview();
    };

    SpinToolStart = named(new QSpinBox(this), u"SpinToolStart"_s);
    SpinToolStart->setRange(0, 9999);
    SpinToolStart->setValue(1);
    ComboToolTotal =
        comboOf(this, u"ComboToolTotal"_s,
                {{u"无"_s, int(operations::Numbering::Total::None)},
                 {u"所选文件数"_s, int(operations::Numbering::Total::Selected)},
                 {u"每个文件夹的文件数"_s, int(operations::Numbering::Total::Folder)}});
    SpinToolWidth = named(new QSpinBox(this), u"SpinToolWidth"_s);
    SpinToolWidth->setRange(0, 4);
    CheckToolRestart = named(new QCheckBox(u"每个文件夹重新编号"_s, this), u"CheckToolRestart"_s);
    PanelToolParams->addWidget(pageOf(PanelToolParams, {{u"起始号:"_s, SpinToolStart},
                                                        {u"总数:"_s, ComboToolTotal},
                                                        {u"补零位数:"_s, SpinToolWidth},
                                                        {{}, CheckToolRestart}}));

    ComboToolCase = comboOf(this, u"ComboToolCase"_s,
                            {{u"首字母大写"_s, int(operations::CaseMode::Words)},
                             {u"全部大写"_s, int(operations::CaseMode::Upper)},
                             {u"全部小写"_s, int(operations::CaseMode::Lower)},
                             {u"句首大写"_s, int(operations::CaseMode::Sentence)}});
    PanelToolParams->addWidget(pageOf(PanelToolParams, {{u"方式:"_s, ComboToolCase}}));

    EditToolFind = named(new QLineEdit(this), u"EditToolFind"_s);
    EditToolReplace = named(new QLineEdit(this), u"EditToolReplace"_s);
    CheckToolRegex = named(new QCheckBox(u"正则表达式"_s, this), u"CheckToolRegex"_s);
    CheckToolCaseSensitive =
        named(new QCheckBox(u"区分大小写"_s, this), u"CheckToolCaseSensitive"_s);
    auto* options = new QWidget(this);
    auto* optionRow = new QHBoxLayout(options);
    optionRow->setContentsMargins(0, 0, 0, 0);
    optionRow->addWidget(CheckToolRegex);
    optionRow->addWidget(CheckToolCaseSensitive);
    optionRow->addStretch();
    PanelToolParams->addWidget(
        pageOf(PanelToolParams,
               {{u"查找:"_s, EditToolFind}, {u"替换为:"_s, EditToolReplace}, {{}, options}}));

    EditToolPattern = named(new QLineEdit(u"%2"_s, this), u"EditToolPattern"_s);
    EditToolPattern->setToolTip(u"%1 标题 %2 作者 %3 专辑 %4 年代 %5 类型 %6 备注 %7 音轨 %8 碟号 "
                                u"%9 专辑艺术家 %n 音轨号"_s);
    ComboToolTarget = comboOf(this, u"ComboToolTarget"_s,
                              {{u"专辑艺术家"_s, int(Field::AlbumArtist)},
                               {u"标题"_s, int(Field::Title)},
                               {u"作者"_s, int(Field::Artist)},
                               {u"专辑"_s, int(Field::Album)},
                               {u"备注"_s, int(Field::Comment)},
                               {u"作曲"_s, int(Field::Composer)}});
    PanelToolParams->addWidget(pageOf(
        PanelToolParams, {{u"设置字段:"_s, ComboToolTarget}, {u"格式:"_s, EditToolPattern}}));

    ComboToolChinese = comboOf(this, u"ComboToolChinese"_s,
                               {{u"简体 → 繁体"_s, u"s2t"_s},
                                {u"简体 → 台湾正体"_s, u"s2tw"_s},
                                {u"简体 → 香港繁体"_s, u"s2hk"_s},
                                {u"繁体 → 简体"_s, u"t2s"_s},
                                {u"台湾正体 → 简体"_s, u"tw2s"_s},
                                {u"香港繁体 → 简体"_s, u"hk2s"_s}});
    PanelToolParams->addWidget(pageOf(PanelToolParams, {{u"转换:"_s, ComboToolChinese}}));

    PanelToolParams->addWidget(
        pageOf(PanelToolParams,
               {{{},
                 new QLabel(u"全角字母、数字、空格和标点转为半角; 中文里的，：；！？（）不变."_s,
                            this)}}));

    MemoToolAds = named(new QPlainTextEdit(storedAds_.join(u'\n'), this), u"MemoToolAds"_s);
    MemoToolAds->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoToolAds->setMaximumHeight(90);
    BtnToolAdsReset = named(new QPushButton(u"恢复默认"_s, this), u"BtnToolAdsReset"_s);
    PanelToolParams->addWidget(pageOf(
        PanelToolParams, {{u"广告 (每行一个正则表达式):"_s, MemoToolAds}, {{}, BtnToolAdsReset}}));

    for (QSpinBox* spin : {SpinToolStart, SpinToolWidth})
        connect(spin, &QSpinBox::valueChanged, this, changed);
    for (QComboBox* combo : {ComboToolTotal, ComboToolCase, ComboToolTarget, ComboToolChinese})
        connect(combo, &QComboBox::currentIndexChanged, this, changed);
    for (QLineEdit* edit : {EditToolFind, EditToolReplace, EditToolPattern})
        connect(edit, &QLineEdit::textChanged, this, changed);
    for (QCheckBox* check : {CheckToolRestart, CheckToolRegex, CheckToolCaseSensitive})
        connect(check, &QCheckBox::toggled, this, changed);
    connect(MemoToolAds, &QPlainTextEdit::textChanged, this, changed);
    connect(BtnToolAdsReset, &QPushButton::clicked, this,
            [this] { MemoToolAds->setPlainText(operations::AdStripper::presets().join(u'\n')); });
    return PanelToolParams;
}

QWidget* TFormTools::makeFields()
{
    auto* box = named(new QGroupBox(u"字段"_s, this), u"GroupToolFields"_s);
    auto* row = new QHBoxLayout(box);
    const auto check = [&](const QString& name, const QString& caption, bool on) {
        auto* c = named(new QCheckBox(caption, box), name);
        c->setChecked(on);
        row->addWidget(c);
        connect(c, &QCheckBox::toggled, this, [this] { updatePreview(); });
        return c;
    };
    CheckToolTitle = check(u"CheckToolTitle"_s, u"标题"_s, true);
    CheckToolArtist = check(u"CheckToolArtist"_s, u"作者"_s, true);
    CheckToolAlbum = check(u"CheckToolAlbum"_s, u"专辑"_s, true);
    CheckToolAlbumArtist = check(u"CheckToolAlbumArtist"_s, u"专辑艺术家"_s, false);
    CheckToolComment = check(u"CheckToolComment"_s, u"备注"_s, false);
    CheckToolFileName = check(u"CheckToolFileName"_s, u"文件名"_s, false);
    row->addStretch();
    return box;
}

QStringList TFormTools::adPatterns() const
{
    QStringList patterns;
    for (const QString& line : MemoToolAds->toPlainText().split(u'\n'))
        if (!line.trimmed().isEmpty())
            patterns << line;
    return patterns;
}

bool TFormTools::adPatternsChanged() const
{
    return adPatterns() != storedAds_;
}

operations::ToolSettings TFormTools::settingsShown() const
{
    operations::ToolSettings s;
    s.kind = ToolKind(ComboTool->currentIndex());
    const std::pair<QCheckBox*, Field> checks[] = {{CheckToolTitle, Field::Title},
                                                   {CheckToolArtist, Field::Artist},
                                                   {CheckToolAlbum, Field::Album},
                                                   {CheckToolAlbumArtist, Field::AlbumArtist},
                                                   {CheckToolComment, Field::Comment}};
    for (const auto& [box, field] : checks)
        if (box->isChecked())
            s.fields.push_back(field);
    s.fileName = CheckToolFileName->isChecked();
    s.numbering.start = SpinToolStart->value();
    s.numbering.total = operations::Numbering::Total(ComboToolTotal->currentData().toInt());
    s.numbering.width = SpinToolWidth->value();
    s.numbering.restartPerFolder = CheckToolRestart->isChecked();
    s.caseMode = operations::CaseMode(ComboToolCase->currentData().toInt());
    s.find = EditToolFind->text();
    s.replacement = EditToolReplace->text();
    s.regex = CheckToolRegex->isChecked();
    s.caseSensitive = CheckToolCaseSensitive->isChecked();
    if (s.kind == ToolKind::Format)
        s.fields = {Field(ComboToolTarget->currentData().toInt())};
    s.pattern = EditToolPattern->text();
    s.direction = ComboToolChinese->currentData().toString();
    s.adPatterns = adPatterns();
    return s;
}

void TFormTools::updatePreview()
{
    const ToolKind kind = ToolKind(ComboTool->currentIndex());
    // The field boxes apply to the tools that change the texts as they are.
    const bool fieldsApply = kind != ToolKind::Number && kind != ToolKind::Format;
    for (QCheckBox* box : {CheckToolTitle, CheckToolArtist, CheckToolAlbum, CheckToolAlbumArtist,
                           CheckToolComment, CheckToolFileName})
        box->setEnabled(fieldsApply);
    tool_ = std::make_shared<operations::TextTool>(settingsShown());
    edits_ = operations::previewTool(*tool_, files_, shown_);
    showEdits();
}

void TFormTools::showEdits()
{
    ListViewToolPreview->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(edits_.size()));
    int refused = 0;
    for (const operations::ToolEdit& edit : edits_) {
        const QString& path = files_[edit.file].path;
        const QString name = path.mid(path.lastIndexOf(u'/') + 1);
        auto* row = new QTreeWidgetItem({shown_ ? shown_(name) : name,
                                         operations::editFieldName(edit.field), edit.before,
                                         edit.after, edit.error});
        if (!edit.error.isEmpty()) {
            ++refused;
            for (int c = FileColumn; c <= NoteColumn; ++c)
                row->setForeground(c, Qt::red);
        }
        rows.append(row);
    }
    ListViewToolPreview->addTopLevelItems(rows);
    const int writable = int(edits_.size()) - refused;
    if (!tool_->error().isEmpty())
        LabelToolSummary->setText(tool_->error());
    else if (refused > 0)
        LabelToolSummary->setText(u"%1 处修改, %2 处无法修改"_s.arg(writable).arg(refused));
    else
        LabelToolSummary->setText(u"%1 处修改"_s.arg(writable));
    BtnToolRun->setEnabled(tool_->error().isEmpty() && writable > 0);
}

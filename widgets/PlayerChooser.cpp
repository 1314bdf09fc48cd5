#include "widgets/PlayerChooser.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace widgets {

namespace {

constexpr int kProgramRole = Qt::UserRole + 1;

class PlayerDialog : public QDialog {
public:
    PlayerDialog(QWidget* parent, const std::vector<PlayerChoice>& players) : QDialog(parent)
    {
        setObjectName(u"FormPlayerChoice"_s);
        setWindowTitle(u"选择媒体播放器"_s);
        auto* label =
            new QLabel(players.empty() ? u"没有找到正在运行的媒体播放器。请选择媒体播放器程序:"_s
                                       : u"请选择试听用的媒体播放器,或选择其他播放器程序:"_s,
                       this);
        list_ = new QListWidget(this);
        list_->setObjectName(u"ListPlayers"_s);
        for (const PlayerChoice& player : players) {
            auto* item = new QListWidgetItem(player.name + u" ("_s + player.program + u')', list_);
            item->setData(kProgramRole, player.program);
        }
        auto* buttons = new QDialogButtonBox(this);
        QPushButton* browseButton = buttons->addButton(u"浏览..."_s, QDialogButtonBox::ActionRole);
        browseButton->setObjectName(u"BtnPlayerBrowse"_s);
        ok_ = buttons->addButton(u"确定"_s, QDialogButtonBox::AcceptRole);
        ok_->setObjectName(u"BtnPlayerOk"_s);
        buttons->addButton(u"取消"_s, QDialogButtonBox::RejectRole)
            ->setObjectName(u"BtnPlayerCancel"_s);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(label);
        layout->addWidget(list_);
        layout->addWidget(buttons);

        ok_->setEnabled(false);
        connect(list_, &QListWidget::currentItemChanged, this,
                [this](QListWidgetItem* item) { ok_->setEnabled(item != nullptr); });
        connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(browseButton, &QPushButton::clicked, this, [this] { browse(); });
        if (!players.empty())
            list_->setCurrentRow(0);
    }

    QString chosen() const { return chosen_; }

    void accept() override
    {
        if (const QListWidgetItem* item = list_->currentItem())
            chosen_ = item->data(kProgramRole).toString();
        QDialog::accept();
    }

private:
    void browse()
    {
        const QString program =
            executableChooser(u"媒体播放器程序的位置"_s, u"媒体播放器程序"_s)(this);
        if (program.isEmpty())
            return;
        chosen_ = program;
        QDialog::accept();
    }

    QListWidget* list_;
    QPushButton* ok_;
    QString chosen_;
};

} // namespace

FileChooser playerChooser(PlayerFinder find)
{
    return [find = std::move(find)](QWidget* parent) {
        PlayerDialog dialog(parent, find ? find() : std::vector<PlayerChoice>{});
        return dialog.exec() == QDialog::Accepted ? dialog.chosen() : QString();
    };
}

} // namespace widgets

// The question for the listen button's player: the players found on the bus
// offered, the first chosen by OK, none chosen by Cancel.

#include "widgets/PlayerChooser.h"

#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Runs the chooser, answering its dialog with `answer` once it is shown.
QString choose(const widgets::PlayerFinder& find, const std::function<void(QWidget*)>& answer)
{
    QTimer::singleShot(0, [answer] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        answer(dialog);
    });
    return widgets::playerChooser(find)(nullptr);
}

void click(QWidget* dialog, const QString& name)
{
    dialog->findChild<QPushButton*>(name)->click();
}

} // namespace

class PlayerChooserTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void offersThePlayersFound()
    {
        const widgets::PlayerFinder find = [] {
            return std::vector<widgets::PlayerChoice>{{u"mpv"_s, u"/usr/bin/mpv"_s},
                                                      {u"VLC"_s, u"/usr/bin/vlc"_s}};
        };
        QStringList shown;
        const QString chosen = choose(find, [&](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), u"选择媒体播放器"_s);
            auto* list = dialog->findChild<QListWidget*>(u"ListPlayers"_s);
            for (int i = 0; i < list->count(); ++i)
                shown << list->item(i)->text();
            list->setCurrentRow(1);
            click(dialog, u"BtnPlayerOk"_s);
        });
        QCOMPARE(shown, QStringList({u"mpv (/usr/bin/mpv)"_s, u"VLC (/usr/bin/vlc)"_s}));
        QCOMPARE(chosen, u"/usr/bin/vlc"_s);
        QCOMPARE(choose(find, [](QWidget* dialog) { click(dialog, u"BtnPlayerCancel"_s); }),
                 QString());
    }

    void withoutPlayersNothingToConfirm()
    {
        const QString chosen = choose({}, [](QWidget* dialog) {
            QVERIFY(!dialog->findChild<QPushButton*>(u"BtnPlayerOk"_s)->isEnabled());
            click(dialog, u"BtnPlayerCancel"_s);
        });
        QCOMPARE(chosen, QString());
    }
};

MP3T_TEST_MAIN(PlayerChooserTest)
#include "PlayerChooserTest.moc"

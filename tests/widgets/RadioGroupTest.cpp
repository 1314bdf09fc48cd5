#include "widgets/RadioGroup.h"

#include "tests/support/TestEnvironment.h"

#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QStringList kThree{u"只显示ID3v1"_s, u"只显示ID3v2"_s, u"优先显示ID3v2"_s};

int checkedCount(const TRadioGroup& group)
{
    int n = 0;
    for (int i = 0; i < group.count(); ++i)
        n += group.button(i)->isChecked() ? 1 : 0;
    return n;
}

} // namespace

class RadioGroupTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void itemsAreButtonsInOrder();
    void setItemIndex_data();
    void setItemIndex();
    void userClickRaisesOnce();
    void keyboardMovesTheChoice();
    void itemsChangeKeepsTheChoice();
    void itemsMayChangeInsideOnClick();
    void columnsAreFilledOneAfterTheOther();

private:
    std::unique_ptr<TRadioGroup> group_;
    int clicks_ = 0;
};

void RadioGroupTest::init()
{
    group_ = std::make_unique<TRadioGroup>(u"显示优先级"_s);
    group_->setGeometry(0, 0, 345, 49);
    group_->setColumns(3);
    group_->setItems(kThree);
    clicks_ = 0;
    group_->OnClick = [this](QObject* sender) {
        QCOMPARE(sender, group_.get());
        ++clicks_;
    };
}

void RadioGroupTest::cleanup()
{
    group_.reset();
}

void RadioGroupTest::itemsAreButtonsInOrder()
{
    QCOMPARE(group_->items(), kThree);
    QCOMPARE(group_->count(), 3);
    QCOMPARE(group_->itemIndex(), -1);
    QCOMPARE(checkedCount(*group_), 0);
    const QList<QRadioButton*> children =
        group_->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
    QCOMPARE(children.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(children.at(i), group_->button(i));
        QCOMPARE(children.at(i)->text(), kThree.at(i));
    }
    QCOMPARE(group_->button(3), nullptr);
    QCOMPARE(group_->button(-1), nullptr);
}

void RadioGroupTest::setItemIndex_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("events");
    QTest::newRow("the same item") << 1 << 1 << 1 << 0;
    QTest::newRow("another item") << 0 << 2 << 2 << 1;
    QTest::newRow("from none") << -1 << 0 << 0 << 1;
    QTest::newRow("none") << 1 << -1 << -1 << 0;
    QTest::newRow("below -1") << 1 << -3 << -1 << 0;
    QTest::newRow("past the end") << 0 << 5 << 2 << 1;
    QTest::newRow("past the end, already last") << 2 << 5 << 2 << 0;
}

void RadioGroupTest::setItemIndex()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, expected);
    QFETCH(int, events);
    group_->setItemIndex(from);
    clicks_ = 0;
    group_->setItemIndex(to);
    QCOMPARE(group_->itemIndex(), expected);
    QCOMPARE(clicks_, events);
    QCOMPARE(checkedCount(*group_), expected < 0 ? 0 : 1);
    if (expected >= 0)
        QVERIFY(group_->button(expected)->isChecked());
}

void RadioGroupTest::userClickRaisesOnce()
{
    group_->show();
    QVERIFY(QTest::qWaitForWindowExposed(group_.get()));
    QTest::mouseClick(group_->button(1), Qt::LeftButton);
    QCOMPARE(group_->itemIndex(), 1);
    QCOMPARE(clicks_, 1);
    QTest::mouseClick(group_->button(1), Qt::LeftButton);
    QCOMPARE(group_->itemIndex(), 1);
    QCOMPARE(clicks_, 1);
    QTest::mouseClick(group_->button(0), Qt::LeftButton);
    QCOMPARE(group_->itemIndex(), 0);
    QCOMPARE(clicks_, 2);
    QCOMPARE(checkedCount(*group_), 1);
}

void RadioGroupTest::keyboardMovesTheChoice()
{
    group_->show();
    QVERIFY(QTest::qWaitForWindowActive(group_.get()));
    group_->setItemIndex(0);
    group_->button(0)->setFocus();
    clicks_ = 0;
    QTest::keyClick(group_->button(0), Qt::Key_Right);
    QCOMPARE(group_->itemIndex(), 1);
    QCOMPARE(clicks_, 1);
}

void RadioGroupTest::itemsChangeKeepsTheChoice()
{
    group_->setItemIndex(2);
    clicks_ = 0;
    group_->setItems({u"a"_s, u"b"_s, u"c"_s, u"d"_s});
    QCOMPARE(group_->itemIndex(), 2);
    QVERIFY(group_->button(2)->isChecked());
    group_->setItems({u"a"_s, u"b"_s});
    QCOMPARE(group_->itemIndex(), 1);
    QVERIFY(group_->button(1)->isChecked());
    group_->addItem(u"c"_s);
    QCOMPARE(group_->items(), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    QCOMPARE(group_->itemIndex(), 1);
    group_->clearItems();
    QCOMPARE(group_->count(), 0);
    QCOMPARE(group_->itemIndex(), -1);
    group_->setItemIndex(0);
    QCOMPARE(group_->itemIndex(), -1);
    QCOMPARE(clicks_, 0);
}

// The buttons that go may be the ones whose signal is running.
void RadioGroupTest::itemsMayChangeInsideOnClick()
{
    group_->show();
    QVERIFY(QTest::qWaitForWindowExposed(group_.get()));
    group_->OnClick = [this](QObject*) {
        group_->setItems({u"x"_s});
    };
    QTest::mouseClick(group_->button(2), Qt::LeftButton);
    QCOMPARE(group_->items(), QStringList{u"x"_s});
    QCOMPARE(group_->itemIndex(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(group_->findChildren<QRadioButton*>().size(), 1);
}

void RadioGroupTest::columnsAreFilledOneAfterTheOther()
{
    const QRect box = group_->rect();
    for (int i = 0; i < 3; ++i) {
        const QRect r = group_->button(i)->geometry();
        QVERIFY2(box.contains(r), qPrintable(QString::number(i)));
        QCOMPARE(r.top(), group_->button(0)->geometry().top());
        if (i > 0)
            QVERIFY(r.left() >= group_->button(i - 1)->geometry().right());
    }

    group_->setItems({u"a"_s, u"b"_s, u"c"_s, u"d"_s});
    group_->setColumns(2);
    group_->setGeometry(0, 0, 185, 169);
    group_->show(); // a hidden widget gets its resize only when shown
    const auto at = [this](int i) {
        return group_->button(i)->geometry();
    };
    QCOMPARE(at(1).left(), at(0).left());
    QVERIFY(at(1).top() >= at(0).bottom());
    QCOMPARE(at(2).top(), at(0).top());
    QVERIFY(at(2).left() >= at(0).right());
    QCOMPARE(at(3).left(), at(2).left());
}

MP3T_TEST_MAIN(RadioGroupTest)
#include "RadioGroupTest.moc"

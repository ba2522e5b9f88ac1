// The history shown in Qt: back and forward menus, action tips, clicks routed to the history.
#include <QAction>
#include <QMenu>
#include <QtTest>

#include "app/Actions.h"
#include "app/ZmRecentMenus.h"
#include "tests/support/UiWait.h"

namespace {

QStringList Texts(const QMenu& menu) {
  QStringList out;
  for (const QAction* a : menu.actions()) out << a->text();
  return out;
}

void AddFolder(TZmRecentControl& control, const std::string& folder) {
  auto item = std::make_unique<TZmRecentItem>();
  item->Folder = folder;
  control.Add(item);
}

}  // namespace

class ZmRecentMenusTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TZmRecentControl> Fresh_;
  TZmRecentControl& History() { return *Fresh_; }
  QMenu Back_, Forward_;
  QAction BackAct_{"戻る(&B)"}, ForwardAct_{"進む(&F)"};

 private slots:
  // Every test starts with an empty history.
  void init() {
    Fresh_ = std::make_unique<TZmRecentControl>();
    BackAct_.setToolTip("戻る");
    BackAct_.setStatusTip("前に戻ります。");
    ForwardAct_.setToolTip("進む");
    ForwardAct_.setStatusTip("次に進みます。");
    Fresh_->OnMenuItemCaptionSetEvent = [](const TZmRecentItem& item, std::string& caption) {
      caption = item.Folder;
    };
  }

  void EmptyHistoryShowsNone() {
    TZmRecentMenus menus(History(), &Back_, &Forward_, &BackAct_, &ForwardAct_);
    QCOMPARE(History().BaseHintBack, std::string("戻る|前に戻ります。"));
    QCOMPARE(History().BaseHintForward, std::string("進む|次に進みます。"));
    QCOMPARE(Texts(Back_), QStringList{"なし"});
    QCOMPARE(Texts(Forward_), QStringList{"なし"});
    QVERIFY(!Back_.actions().first()->isEnabled());
    QCOMPARE(BackAct_.toolTip(), QStringLiteral("戻る"));
    QCOMPARE(BackAct_.statusTip(), QStringLiteral("前に戻ります。"));
  }

  void MenusAndTipsFollowTheHistory() {
    TZmRecentMenus menus(History(), &Back_, &Forward_, &BackAct_, &ForwardAct_);
    AddFolder(History(), "A&B");
    AddFolder(History(), "C");
    AddFolder(History(), "D");
    QCOMPARE(Texts(Back_), (QStringList{"C", "A&&B"}));  // "&" shown, not an accelerator
    QVERIFY(Forward_.actions().isEmpty());
    QCOMPARE(BackAct_.toolTip(), QStringLiteral("C に戻る"));
    QCOMPARE(BackAct_.statusTip(), QStringLiteral("前に戻ります。"));
    QCOMPARE(ForwardAct_.toolTip(), QStringLiteral("進む"));

    // Clicking the deeper back item jumps two steps; the owner hears of it once.
    QList<QPair<QString, QString>> clicks;
    History().OnMenuItemClick = [&](TZmRecentItem* pre, TZmRecentItem* now) {
      clicks << qMakePair(QString::fromStdString(pre->Folder), QString::fromStdString(now->Folder));
    };
    Back_.actions().at(1)->trigger();
    QCOMPARE(History().ItemIndex(), 0);
    QCOMPARE(clicks, (QList<QPair<QString, QString>>{{"D", "A&B"}}));
    QVERIFY(Back_.actions().isEmpty());
    QCOMPARE(Texts(Forward_), (QStringList{"C", "D"}));
    QCOMPARE(ForwardAct_.toolTip(), QStringLiteral("C に進む"));
    QCOMPARE(ForwardAct_.statusTip(), QStringLiteral("次に進みます。"));
    QCOMPARE(BackAct_.toolTip(), QStringLiteral("戻る"));

    // The replaced items go away once the click is over; the menus hold only the new ones.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Forward_.actions().at(0)->trigger();
    QCOMPARE(History().NowItem()->Folder, std::string("C"));
    QCOMPARE(Texts(Back_), QStringList{"A&&B"});
  }

  void MissingPartsAreSkipped() {
    TZmRecentMenus menus(History(), nullptr, &Forward_, nullptr, &ForwardAct_);
    AddFolder(History(), "A");
    AddFolder(History(), "B");
    History().HistoryMenuItemClick(0);
    QCOMPARE(Texts(Forward_), QStringList{"B"});
    QCOMPARE(ForwardAct_.toolTip(), QStringLiteral("B に進む"));
  }

  void HintsWithoutABarGoToBothTips() {
    QAction plain;
    SetActionHint(plain, "just text");
    QCOMPARE(plain.toolTip(), QStringLiteral("just text"));
    QCOMPARE(plain.statusTip(), QStringLiteral("just text"));
    SetActionHint(plain, "a|b|c");
    QCOMPARE(plain.toolTip(), QStringLiteral("a"));
    QCOMPARE(plain.statusTip(), QStringLiteral("b|c"));
  }

  void UnbindingStopsUpdates() {
    {
      TZmRecentMenus menus(History(), &Back_, &Forward_, &BackAct_, &ForwardAct_);
    }
    QVERIFY(!History().OnMenusUpdated);
    AddFolder(History(), "A");  // must not reach the destroyed binding
    QCOMPARE(History().Count(), 1);
  }
};

QTEST_MAIN(ZmRecentMenusTest)
#include "ZmRecentMenus_test.moc"

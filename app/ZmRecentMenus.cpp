#include "app/ZmRecentMenus.h"

#include "app/Actions.h"

#include <QAction>
#include <QMenu>

namespace {

const char* const kNoHistory = "なし";

// Menu captions are folder names: an "&" in them is text, not an accelerator.
QString MenuText(const std::string& caption) {
  return QString::fromStdString(caption).replace(QLatin1Char('&'), QLatin1String("&&"));
}

}  // namespace

TZmRecentMenus::TZmRecentMenus(TZmRecentControl& control, QMenu* backMenu, QMenu* forwardMenu,
                               QAction* backAction, QAction* forwardAction, QObject* parent)
    : QObject(parent),
      Control_(control),
      BackMenu_(backMenu),
      ForwardMenu_(forwardMenu),
      BackAction_(backAction),
      ForwardAction_(forwardAction) {
  if (backAction) Control_.BaseHintBack = HintOf(*backAction).toStdString();
  if (forwardAction) Control_.BaseHintForward = HintOf(*forwardAction).toStdString();
  Control_.OnMenusUpdated = [this] { Rebuild(); };
  Rebuild();
}

TZmRecentMenus::~TZmRecentMenus() { Control_.OnMenusUpdated = nullptr; }

QString TZmRecentMenus::HintOf(const QAction& action) {
  if (action.statusTip().isEmpty()) return action.toolTip();
  return action.toolTip() + QLatin1Char('|') + action.statusTip();
}

void TZmRecentMenus::Rebuild() {
  Fill(BackMenu_, Control_.BackMenu());
  Fill(ForwardMenu_, Control_.ForwardMenu());
  // Only the hints change with the history; a missing menu simply has no items to name.
  if (BackAction_) SetActionHint(*BackAction_, QString::fromStdString(Control_.HintBack()));
  if (ForwardAction_) SetActionHint(*ForwardAction_, QString::fromStdString(Control_.HintForward()));
}

void TZmRecentMenus::Fill(QMenu* menu, const std::vector<TZmRecentMenuItem>& items) {
  if (menu == nullptr) return;
  // Rebuilding happens inside the click of one of these very items, so the old ones are
  // detached now and destroyed once that click has been delivered.
  for (QAction* old : menu->actions()) {
    menu->removeAction(old);
    if (old->parent() == menu) old->deleteLater();
  }
  if (Control_.Count() == 0) {
    QAction* none = menu->addAction(QString::fromUtf8(kNoHistory));
    none->setEnabled(false);
    return;
  }
  for (const TZmRecentMenuItem& item : items) {
    QAction* action = new QAction(MenuText(item.Caption), menu);
    action->setData(item.Tag);
    const int32_t tag = item.Tag;
    connect(action, &QAction::triggered, this, [this, tag] { Control_.HistoryMenuItemClick(tag); });
    menu->addAction(action);
  }
}

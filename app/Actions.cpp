#include "app/Actions.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QWidget>

void SetActionHint(QAction& action, const QString& hint) {
  const qsizetype bar = hint.indexOf(QLatin1Char('|'));
  action.setToolTip(bar < 0 ? hint : hint.left(bar));
  action.setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

bool ExecuteAction(QAction* action) {
  if (!action || !action->isEnabled()) return false;
  action->trigger();
  return true;
}

void AddMenuActions(QWidget* menu, std::initializer_list<QAction*> actions) {
  for (QAction* a : actions) {
    if (a) menu->addAction(a);
    else if (auto* m = qobject_cast<QMenu*>(menu)) m->addSeparator();
  }
}

void SetActionIcons(const QWidget& styled, std::initializer_list<TActionIcon> icons) {
  for (const TActionIcon& i : icons) {
    const QIcon icon = QIcon::fromTheme(QString::fromLatin1(i.Theme));
    i.Action->setIcon(icon.isNull() ? styled.style()->standardIcon(i.Fallback) : icon);
  }
}

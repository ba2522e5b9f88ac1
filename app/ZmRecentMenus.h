// TZmRecentMenus: shows a TZmRecentControl in Qt: its back and forward menus, the tooltips and
// status tips of the back and forward actions, and menu clicks routed back to the control.
//
// Binding takes the actions' current hints ("tooltip|status tip") as the control's base hints
// and installs itself as the control's OnMenusUpdated; after every UpdateMenus the menus are
// rebuilt and the actions' tips set from HintBack/HintForward (tooltip: the part before the
// first "|", status tip: the part after it; without a "|" both get the whole hint). While the
// history is empty each menu holds one disabled item "なし". Menus and actions are not owned;
// any of them may be null. The control must outlive this object.
#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

#include "app/ZmRecentControl.h"

class TZmRecentMenus : public QObject {
  Q_OBJECT

 public:
  TZmRecentMenus(TZmRecentControl& control, QMenu* backMenu, QMenu* forwardMenu, QAction* backAction,
                 QAction* forwardAction, QObject* parent = nullptr);
  ~TZmRecentMenus() override;

  // Shows the control's current menus and hints.
  void Rebuild();

  // The hint of an action as the control keeps it: tooltip and status tip joined by "|".
  static QString HintOf(const QAction& action);

 private:
  void Fill(QMenu* menu, const std::vector<TZmRecentMenuItem>& items);

  TZmRecentControl& Control_;
  QPointer<QMenu> BackMenu_;
  QPointer<QMenu> ForwardMenu_;
  QPointer<QAction> BackAction_;
  QPointer<QAction> ForwardAction_;
};

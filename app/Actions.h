// Helpers shared by the windows' command tables: hints, menus and icons of QActions.
#pragma once

#include <QString>
#include <QStyle>
#include <initializer_list>
#include <string_view>

class QAction;
class QString;
class QWidget;

// "tooltip|status text": the part before the first "|" becomes the tool tip, the part after it
// the status tip (both the whole text when there is no "|").
void SetActionHint(QAction& action, const QString& hint);

// UTF-8 text of the core as a QString (file paths go through QFile::decodeName instead).
inline QString ToQ(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// Executes an action the way a menu or a key does: nothing when it is disabled.
bool ExecuteAction(QAction* action);

// Adds the actions to a menu or tool bar; a null entry is a separator (in menus).
void AddMenuActions(QWidget* menu, std::initializer_list<QAction*> actions);

// An icon from the desktop's theme, or the style's own where the theme has none.
struct TActionIcon {
  QAction* Action;
  const char* Theme;
  QStyle::StandardPixmap Fallback;
};
void SetActionIcons(const QWidget& styled, std::initializer_list<TActionIcon> icons);

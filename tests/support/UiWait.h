// Waiting for the program's own windows in user-interface tests.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QWidget>

// The visible top-level window of that object name, or null.
template <class T = QWidget>
T* FindWindow(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->objectName() == QLatin1String(name))
      if (T* t = qobject_cast<T*>(w)) return t;
  return nullptr;
}

// The window of that name once it has opened; null when it does not within 10 s.
template <class T = QWidget>
T* WaitWindow(const char* name) {
  T* found = nullptr;
  return QTest::qWaitFor([&] { return (found = FindWindow<T>(name)) != nullptr; }, 10000) ? found : nullptr;
}

// Clicks the button of that name in the window of that name, once it has opened.
inline bool Answer(const char* window, const QString& button) {
  auto* w = WaitWindow(window);
  auto* b = w ? w->findChild<QAbstractButton*>(button) : nullptr;
  if (b) b->click();
  return b;
}

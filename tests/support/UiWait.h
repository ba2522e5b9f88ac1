// Waiting for the program's own windows in user-interface tests.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QWidget>

// How long a test waits for a condition or a child process. Long on purpose: on a machine whose
// cores are busy with other work a test may get a sliver of a core for minutes, and a passing test
// never waits this out.
constexpr int kUiWaitMs = 180000;

// Qt Test aborts a test function after 5 minutes; on such a machine one may take longer, and
// every wait in it is bounded anyway. Set before main, so that running a test alone gets it too.
inline const bool kUiWatchdogSet = qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT") ||
                                   qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(4 * kUiWaitMs));

// Qt's own waits give up after 5 s; these give up after kUiWaitMs.
#undef QTRY_VERIFY
#define QTRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT((expr), kUiWaitMs)
#undef QTRY_COMPARE
#define QTRY_COMPARE(expr, expected) QTRY_COMPARE_WITH_TIMEOUT((expr), (expected), kUiWaitMs)

// The visible top-level window of that object name, or null.
template <class T = QWidget>
T* FindWindow(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->objectName() == QLatin1String(name))
      if (T* t = qobject_cast<T*>(w)) return t;
  return nullptr;
}

// The window of that name once it has opened; null when it does not in time.
template <class T = QWidget>
T* WaitWindow(const char* name) {
  T* found = nullptr;
  return QTest::qWaitFor([&] { return (found = FindWindow<T>(name)) != nullptr; }, kUiWaitMs) ? found : nullptr;
}

// Clicks the button of that name in the window of that name, once it has opened.
inline bool Answer(const char* window, const QString& button) {
  auto* w = WaitWindow(window);
  auto* b = w ? w->findChild<QAbstractButton*>(button) : nullptr;
  if (b) b->click();
  return b;
}

// Runs the worker threads' synchronized calls on the Qt user-interface thread: whenever a worker
// queues one, a queued call wakes the event loop, which then runs them. One per application,
// created on the user-interface thread before any worker starts.
#pragma once

#include <QObject>

class TSynchronizePump : public QObject {
 public:
  TSynchronizePump();
  ~TSynchronizePump() override;
};

// Closes the given window when the process receives SIGTERM, SIGINT or SIGHUP, so that a session
// that ends, a closed terminal or a user's kill still saves the settings. Call once, after the window exists.
class QWidget;
void CloseOnTerminationSignals(QWidget* window);

#pragma once

#include <QObject>
#include <exception>
#include <functional>
#include <memory>

namespace kit {

// A token a component holds while it is alive. Work posted to the UI thread
// with the component's token is dropped once the component is gone.
using TAliveToken = std::shared_ptr<int>;
TAliveToken MakeAliveToken();

// Runs Work on the UI thread when its event loop next runs (and, in the second
// form, only if Alive has not expired by then). Callable from any thread. The
// hand-over goes through a queue guarded by a standard mutex, so thread
// checkers see it.
void PostToUiThread(std::function<void()> Work);
void PostToUiThread(std::function<void()> Work, std::weak_ptr<int> Alive);

// True on the UI thread: the process's main thread, which creates the
// application object and runs its event loop.
bool IsUiThread();

// Makes the UI-thread end of PostToUiThread; components call it when they are
// created on the UI thread, so that no worker has to.
void PrepareUiDispatch();

// Where errors raised by event handlers and worker threads end up: the
// application installs a handler; without one the message goes to the log.
using TExceptionHandler = std::function<void(QObject* Sender, const std::exception_ptr& Error)>;
void SetExceptionHandler(TExceptionHandler Handler);

// Reports Error with Sender on the UI thread: at once when called there,
// queued otherwise and dropped if Alive (Sender's token) has expired by then.
void ReportException(QObject* Sender, const std::exception_ptr& Error, std::weak_ptr<int> Alive);

// The text of an error for the log.
QString ExceptionText(const std::exception_ptr& Error);

}  // namespace kit

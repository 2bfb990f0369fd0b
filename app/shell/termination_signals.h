// SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C in the terminal, kill) close
// the main window as the user would, so that the session worker stops and
// the language choice and window state are saved.
#pragma once

class QWidget;

namespace zorbel {

// Call once, on the interface thread, after `window` exists.
void CloseOnTerminationSignals(QWidget* window);

}  // namespace zorbel

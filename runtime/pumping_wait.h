// Waiting on the window thread without freezing the windows.
#pragma once

namespace kivo::runtime {

// Returns at once when ms <= 0; otherwise handles every event of every window of this thread
// (a second click on the button whose handler waits included) until ms milliseconds have
// passed. Handlers that wait must read their state again afterwards.
void pumpingWait(int ms);

// Handles the events that are waiting now, without waiting for more.
void processPendingEvents();

}  // namespace kivo::runtime

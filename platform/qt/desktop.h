#pragma once
// The desktop session the program lives in: the window system's connection
// and its event queue, and the joystick and timer services.

// Connects to the window system; argc and argv lose the options it took for
// itself. False when there is no usable display.
bool OpenDesktop(int& argc, char** argv);

// Dispatches every event that is waiting, without blocking.
void DispatchPendingEvents();

// Blocks until at least one event arrives, then dispatches what is waiting.
void WaitForEvents();

// Stops the joystick and timer services.
void CloseDesktop();

// A request to end the program from outside (SIGTERM at logout or from
// kill, SIGINT from the terminal, SIGHUP when the terminal goes) calls quit
// from the event loop, like any other event; the signal handler itself
// only wakes the loop.
void OnTerminationRequest(void (*quit)());

#pragma once
// The desktop session the program lives in: the window system's connection
// and its event loop, and the gamepad service.

// Connects to the window system; argc and argv lose the options it took for
// itself. False when there is no usable display.
bool OpenDesktop(int& argc, char** argv);

// The program's event loop: runs until ExitEventLoop and returns its status.
int RunEventLoop();
void ExitEventLoop(int status);

// Stops the gamepad service.
void CloseDesktop();

// A request to end the program from outside (SIGTERM at logout or from
// kill, SIGINT from the terminal, SIGHUP when the terminal goes) calls quit
// from the event loop, like any other event; the signal handler itself
// only wakes the loop.
void OnTerminationRequest(void (*quit)());

#pragma once
// Opening the link's port where a program waits for it (the command-line
// tool): as the tick opens it, but a network connection being made is waited
// for, the event loop running, rather than retried at the next tick.

class DriveLink;

// True when the port is open; at most timeoutMs is spent waiting.
bool OpenPortAndWait(DriveLink &link, int timeoutMs);

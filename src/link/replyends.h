#pragma once
// Replies collected by the terminal driver: on a serial device the kernel
// holds what arrives until an end character has come and then hands the
// whole run over in one read, the end character included. The program is then
// woken once for a reply rather than once for each of its characters, and sees
// its end at the same moment as before.

// Sets the device open on fd to hand input over at either end character (and
// at a line feed, which a terminal always ends a run at). Every other
// character passes as it came: no character is special, none is echoed,
// changed or dropped. False when the device cannot be set so (it then stays
// as it was) or on a system where this is not done.
bool DeliverAtReplyEnds(int fd, char end, char otherEnd);

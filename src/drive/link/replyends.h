#pragma once
// Replies collected by the terminal driver: on a serial device the kernel can
// hold what arrives until an end character has come and then hand the whole
// run over in one read, the end character included. The program is then woken
// once for a reply rather than once for each of its characters, and spends a
// third of the CPU while polling at 9600 bit/s. The price is the wake-up from
// that longer sleep: a reply's end is seen up to about 0.2 ms later.

// With atEnds, sets the device open on fd to hand input over at either end
// character (and at a line feed, where a terminal always ends a run); every
// other character passes as it came: none is special, echoed, changed or
// dropped. Without, input is handed over as it arrives (raw). False when the
// device cannot be set so (it then stays as it was) or on a system where this
// is not done.
bool SetReplyDelivery(int fd, bool atEnds, char end, char otherEnd);

#pragma once
// The program's drive reached through a real ser2net on 127.0.0.1 (raw TCP
// and RFC 2217) against the same drive on its pseudo-terminal, in one run:
// the use of a 9600 bit/s line by the three transfers, and the turnaround
// the network path adds to an exchange.

struct PtyOptions;
class BenchReport;

void BenchNetwork(BenchReport &report, const PtyOptions &options);

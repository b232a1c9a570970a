#pragma once
// "orvex-cli monitor --mqtt": each drive's samples published to an MQTT
// broker as JSON (PREFIX/<drive>/status, /alarms, /monitor) with its retained
// online state. It only publishes; nothing it could receive moves an axis.

#include "monitorsample.h"

// The factory the tool takes for --mqtt: the broker's address and the
// password file are checked here, and a bad one is refused with the reason.
std::unique_ptr<MonitorSink> MakeMqttSink(const PublishOptions &options, QString *error);

// What the status bar says about the instrument session: which link, whether
// it is up, and how the last job ended, so that a user sees at once why
// nothing reaches the instrument. The one place in the program that reads the
// session's status codes and job flags for display.
#pragma once

#include <QString>

#include "zorbel/model/device_settings.h"

namespace zorbel {

struct SessionStatusTexts {
    QString link;     // "USB" or "LAN 192.168.1.100"
    QString state;    // demo, job running, online, offline
    QString outcome;  // the last job's result; the busy message (Text::InstrumentBusy) when another program held
                      // the instrument for longer than the wait
};

SessionStatusTexts DescribeSession(const DeviceSettings& settings);

// Language item of the progress text for a job that was just queued
// (10041 reading limits ... 10044 writing arbitrary data); 0 for none.
int ProgressTextItem(Job jobFlags);

}  // namespace zorbel

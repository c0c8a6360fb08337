// The communication window's serial control and its three timers: the reply
// timer Timer1 (500 ms), the status poll Timer2 (200 ms) and the reopen timer
// Timer3 (1000 ms). They exist apart from the window so the link can be used
// before (and without) it; the window sets the handlers when it loads.
#pragma once

#include "core/timer.h"
#include "serial/serialport.h"

struct CommControls {
    SerialPort MSComm1;
    host::Timer Timer1{500};
    host::Timer Timer2{200};
    host::Timer Timer3{1000};
};

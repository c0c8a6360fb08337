// What the panel may use of the custom controls: the level bar, the picture
// button and the scaling of their inner parts.
#pragma once

#include "controls/ctlfader.h"
#include "controls/sscommand.h"

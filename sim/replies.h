// The data bytes of the mixer's replies to each request, built from the model
// (without the acknowledgement "A" and the closing carriage return).
#pragma once

#include "sim/model.h"

#include <string>

namespace sim {

std::string RastData(const MixerModel& model);            // 74 bytes: the periodic status
std::string RimData(const MixerModel& model, int input);  // 40 bytes, input 1..6
std::string Ril3Data(const MixerModel& model);            // 18 bytes
std::string Ril4Data(const MixerModel& model);            // 63 bytes: input names and more
std::string RsioData(const MixerModel& model);            // 24 bytes: input status digits
std::string RgfData(const MixerModel& model, int master); // 12 bytes: master name, master 0..1
std::string RsciData(const MixerModel& model, int code);  // 8 bytes: scene name
std::string RrsaData(const MixerModel& model);            // 4 bytes: scene codes on A..D

} // namespace sim

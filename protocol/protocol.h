// What the other subsystems may call in the device protocol: the frame
// builders, the change queue, the reply checks and decoders, the full status
// read, the traffic log and the panel refresh routines.
#pragma once

#include "core/state.h"

#include <array>
#include <functional>
#include <stdexcept>

// Command kinds (MarkChange, BuildCommand).
constexpr Integer kindRecall = 0;    // "CRCL"
constexpr Integer kindTransport = 1; // "CRCS"
constexpr Integer kindLevelUp = 2;   // "CLV+"
constexpr Integer kindLevelDown = 3; // "CLV-"
constexpr Integer kindMute = 4;      // "CMUT"
constexpr Integer kindSelect = 5;    // "CSEL"
constexpr Integer kindLevelStop = 6; // "CLVS"
constexpr Integer kindReserved = 7;

// Request kinds (BuildRequest).
constexpr Integer requestStatus = 1;      // "RAST"
constexpr Integer requestStt = 2;         // "RSTT"
constexpr Integer requestInputs = 3;      // "RIM1".."RIM6", "RIL3", "RIL4"
constexpr Integer requestInputStatus = 4; // "RSIO"
constexpr Integer requestMasterName = 5;  // "RGFA", "RGFB", "RGF1".."RGF6"
constexpr Integer requestSceneName = 6;   // "RSCI"
constexpr Integer requestSceneSlots = 7;  // "RRSA"

// A programming error of a caller: a value that cannot become a byte, an
// index beyond a code list, a kind outside its range.
class ProtocolError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// --- Frames -----------------------------------------------------------------
// Builds the command frame of `kind` into buildBuffer; returns its length (5
// or 6), or 0 for a kind outside 0..6. Sets exchange[replyRecord].length to 1.
Integer BuildCommand(Integer kind, const PanelState& state, Integer index);
// Builds a request frame into sendBuffer and marks it ready; False when a
// frame is already waiting.
bool BuildRequest(Integer kind, Integer index, const std::array<Byte, 2>& param);

// --- Pending changes ----------------------------------------------------------
void MarkChange(Integer kind);
void SendPendingChange();
bool BuildPendingCommand();
void TransmitPending();

// --- Replies -------------------------------------------------------------------
void InitProtocolTables();
bool CheckReply(Integer kind, Integer length, Integer index);
bool ApplyReply(Integer kind, Integer index);
Integer LevelFromCode(Integer code);

// --- Full status read ---------------------------------------------------------
// Runs the series of requests and redraws the whole panel; true when the
// series is complete. It gives up (false, nothing redrawn, the poll left off)
// when the program ends or when `interrupted` says so.
bool ReadFullStatus(const std::function<bool()>& interrupted = {});

// --- Traffic log -------------------------------------------------------------
// direction 0 = sent (from sendBuffer), 1 = received (from replyBuffer).
void LogFrame(Integer direction, Integer length);

// --- Panel refresh -----------------------------------------------------------
void RefreshPanel();
void RefreshFromStatus(Integer kind);
void ShowSelectedInput(Integer index);
void ShowMuting(Integer master);
void ShowRadioButtons(Integer index);
void ShowOverGain(Integer master);
void ShowMugen(Integer master);

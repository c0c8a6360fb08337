// The panel, its link and the window host as the session-bus service reaches
// them. Every use of the panel's handlers and controls, of the serial port
// and of the host's program state by the service goes through here, so the
// rest of the service depends on the shared state records and the observer
// seam only.
#pragma once

#include <QString>

namespace panelaccess {

// The number of the panel's controls of each kind.
constexpr int inputButtonCount = 6;
constexpr int transportKeyCount = 7;
constexpr int masterCount = 2;
constexpr int sceneButtonCount = 4;

// True once the panel window exists.
bool PanelLoaded();
// True once the program is ending: nothing is operated any more.
bool ProgramEnding();

// The presses and releases, each as a left-button press on the control:
// the panel's own handler runs, sends the frame and redraws.
void PressInputButton(int input);               // input button 0..5
void PressTransportKey(int key);                // transport key 0..6, held
void ReleaseTransportKey(int key);              // transport key 0..6, let go
void PressMuteButton(int master);               // muting button of master 0..1
void PressLevelButton(int master, bool down);   // level button, held
void ReleaseLevelButton(int master, bool down); // level button, let go
// Scene radio button 0..3. Returns after the panel's wait for the mixer's
// recall (about 750 ms, processing events meanwhile).
void PressSceneButton(int button);

// Whether the control reacts to a press.
bool TransportKeyEnabled(int key);
bool LevelButtonsEnabled(int master); // false while the master is muted
// True while a scene button waits for its recall.
bool RecallWaitRunning();

// The device path of the port the link uses (empty when there is none).
QString PortPath();

// Brings the panel to the front: shown, not minimised, raised and active.
void RaisePanel();

} // namespace panelaccess

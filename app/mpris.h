// The player on the session bus over MPRIS 2, so the desktop's media controls (media keys, the
// shell's player controls, playerctl) show what plays and can stop it, play it again, raise the
// Main window or end the program.
#pragma once

class QObject;

namespace sonaro::app {

// Registers org.mpris.MediaPlayer2.org.sonaro.Sonaro for as long as owner lives. Without a session
// bus nothing happens: the program runs on without it.
void StartMpris(QObject* owner);

}  // namespace sonaro::app

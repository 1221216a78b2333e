// Tells the player when the network is back: the system woke from suspend (logind's
// PrepareForSleep(false)) or the network became reachable again (QNetworkInformation). A
// station that should be playing then reconnects at once instead of after its grown wait.
#pragma once

class QObject;

namespace sonaro::app {

// Watches for as long as owner lives. Without a system bus or a reachability backend, that
// half watches nothing; the stations' own retries go on as before.
void StartNetworkWatch(QObject* owner);

}  // namespace sonaro::app

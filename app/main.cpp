#include "app/program.h"
#include "radio/directory_tuning.h"
#include "services/service_host.h"

int main(int argc, char** argv) {
  // A build whose stations come from the public directory (-DSONARO_STATIONS=directory).
#ifdef SONARO_DIRECTORY_SERVER
  sonaro::radio::UseStationDirectory(SONARO_DIRECTORY_SERVER);
#endif
  // A test program built against a service host of its own.
#ifdef SONARO_TEST_SERVICE_HOST
  sonaro::services::OverrideServiceHostForTesting(SONARO_TEST_SERVICE_HOST);
#endif
  return sonaro::app::Run(argc, argv);
}

#include "app/program.h"
#include "radio/directory_tuning.h"

int main(int argc, char** argv) {
  // A build whose stations come from the public directory (-DSONARO_STATIONS=directory).
#ifdef SONARO_DIRECTORY_SERVER
  sonaro::radio::UseStationDirectory(SONARO_DIRECTORY_SERVER);
#endif
  return sonaro::app::Run(argc, argv);
}

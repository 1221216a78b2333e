// The dedication feed: the XML document the player's board reads.
#pragma once

#include <string>
#include <vector>

#include "host/store.h"

namespace sonaro::host {

// One root element with one child per dedication, in the order given (oldest first), each
// holding the fields' feed tags in kDedicationFields' order (core/service_contract.h). GBK bytes
// under an XML declaration that says so; every text escaped.
std::string BuildFeed(const std::vector<Dedication>& dedications);

}  // namespace sonaro::host

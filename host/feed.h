// The dedication feed: the XML document the player's board reads.
#pragma once

#include <string>
#include <vector>

#include "host/form.h"
#include "host/store.h"

namespace sonaro::host {

// One root element with one child per dedication, in the order given (oldest first), each
// holding the fields' feed tags in kDedicationFields' order (core/service_contract.h). GBK bytes
// under an XML declaration that says so; every text escaped. Each text is cut to the limit the
// form holds its field to, whole characters kept: a record written into the database by other
// means cannot make the feed any larger than submissions can.
std::string BuildFeed(const std::vector<Dedication>& dedications,
                      const FieldLimits& limits = FieldLimits{});

}  // namespace sonaro::host

// The simulated RIP server: one small handler per service, answering from
// the task file's "servers" entry, registered in the in-process middleware
// so that the converter's proxies reach them by server and service name.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "qxm_service.h"
#include "task_file.h"

namespace t2dhost {

// The handlers of the services of one server, by service name.
std::vector<std::pair<std::string, std::shared_ptr<QXM_IService>>> MakeServices(const ServerAnswers& answers);

// Offers the task file's servers in `registry` (which is cleared first).
void OfferServers(const std::vector<std::pair<std::string, ServerAnswers>>& servers, QXM_TRegistry& registry);

}  // namespace t2dhost

// The report page's stylesheet (host/report.css), embedded by the build.
#pragma once

#include <string_view>

namespace t2dhost {

std::string_view ReportStyleSheet();

}  // namespace t2dhost

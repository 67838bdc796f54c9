#include "demo/demo_pages.h"

namespace tarvisk::demo {

void RegisterMarketPages(httplib::Server&) {}

} // namespace tarvisk::demo

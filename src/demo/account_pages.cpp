#include "demo/demo_pages.h"

namespace tarvisk::demo {

void RegisterAccountPages(httplib::Server&) {}

} // namespace tarvisk::demo

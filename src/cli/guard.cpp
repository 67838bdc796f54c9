#include "cli/guard.h"

#include <exception>
#include <new>
#include <ostream>

namespace tarvisk::cli {

int RunGuarded(const std::function<int()>& body, std::ostream& errors) {
    const char* what = "unknown error";
    try {
        return body();
    } catch (const std::bad_alloc&) {
        what = "out of memory";
    } catch (const std::exception& error) {
        errors << "tarvisk-cli: unexpected failure: " << error.what() << std::endl;
        return kUnexpectedFailure;
    } catch (...) {
    }
    errors << "tarvisk-cli: unexpected failure: " << what << std::endl;
    return kUnexpectedFailure;
}

} // namespace tarvisk::cli

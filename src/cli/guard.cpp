#include "cli/guard.h"

#include <exception>
#include <new>
#include <ostream>

namespace tarvisk::cli {

int RunGuarded(const std::function<int()>& body, std::ostream& errors, std::string_view program) {
    const char* what = "未知的错误";
    try {
        return body();
    } catch (const std::bad_alloc&) {
        what = "内存不足";
    } catch (const std::exception& error) {
        errors << program << "：意外的错误：" << error.what() << std::endl;
        return kUnexpectedFailure;
    } catch (...) {
    }
    errors << program << "：意外的错误：" << what << std::endl;
    return kUnexpectedFailure;
}

} // namespace tarvisk::cli

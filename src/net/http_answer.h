#pragma once

#include <string>

// What the request routines tell of an answer beside its text, so that a job can tell a page the
// server sent as an error ("503 系统繁忙") from the page it asked for.

namespace tarvisk {

struct HttpAnswer {
    /// Where the answer came from, as each routine defines it; empty when no answer came.
    std::u16string address;
    /// The HTTP status code of the answer (200 for a page as asked); 0 when no answer came.
    int status = 0;
};

} // namespace tarvisk

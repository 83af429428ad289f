#include "services/page_server.h"

namespace services {

std::string PageRequest::Param(std::string_view name) const {
    for (const auto& [key, value] : params) {
        if (key == name) return value;
    }
    return {};
}

}  // namespace services

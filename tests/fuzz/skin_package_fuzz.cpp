// The skin loader over arbitrary package bytes: no crash, and a package it
// accepts holds at most kMaxSkinResources resources and loads again to the
// same table once written back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/skin_package.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    app::SkinPackage table;
    table.resources = {"untouched"};
    std::string message;
    if (!app::ParseSkinPackage(bytes, table, message)) {
        if (table.resources.size() != 1 || table.resources[0] != "untouched") std::abort();
        return 0;
    }
    if (table.resources.size() > app::kMaxSkinResources) std::abort();
    std::string package;
    if (app::BuildSkinPackage(table.resources, package)) {
        app::SkinPackage again;
        if (!app::ParseSkinPackage(package, again, message)) std::abort();
        if (again.resources != table.resources) std::abort();
    }
    return 0;
}

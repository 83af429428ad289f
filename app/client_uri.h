#pragma once

#include <string>
#include <string_view>

namespace app {

// The two kinds of address a download client is handed.
enum class LinkKind { Magnet, Ed2k };

// A row's address made into the URI the desktop hands to a download client,
// or the reason it is not handed out.
struct ClientUri {
    LinkKind kind = LinkKind::Magnet;
    std::string uri;      // printable ASCII; empty when refused
    std::string refusal;  // a sentence for the user (GBK); empty when accepted

    bool Refused() const { return uri.empty(); }
};

// Rows come from pages anyone can write, so only "magnet:?" and "ed2k://"
// addresses (any letter case, surrounding white space ignored) are accepted.
// The address is GBK: the display names (a magnet's dn= and dn.N= values,
// an ED2K file link's name field) are converted to UTF-8 and every byte a
// URI may not carry raw is percent-encoded; escapes already written stay as
// they are. Everything else is kept byte for byte and must already be
// printable ASCII a URI may carry, or the address is refused.
ClientUri MakeClientUri(std::string_view address);

// The user's name of a kind of address ("磁力链接", "电驴链接").
std::string_view LinkKindName(LinkKind kind);

}  // namespace app
